// The settings record: defaults, reset, copies, and the assertions of its life cycle.
#include <cstring>

#include "effect/CommonProcs.h"
#include "effect/DataHandling.h"
#include "effect/EffectBridge.h"
#include "support/PluginTestSupport.h"
#include "support/Toolbox.h"

namespace {

pluginDataRec Scribbled() {
    pluginDataRec r;
    std::memset(&r, 0x5A, sizeof r);
    r.startRel = relRect{0.1, 0.2, 0.3, 0.4};
    r.endRel = relRect{-1.0, 2.0, 0.5, 0.25};
    r.frameEndColor = RGBColor{1, 2, 3};
    r.mediaType = 7;
    return r;
}

TEST(SettingsRecord, ResetGivesTheDefaultsAndKeepsFrameEndColor) {
    pluginDataRec fresh{};
    ResetConfig(&fresh);
    pluginDataRec used = Scribbled();
    ResetConfig(&used);
    const relRect whole{0.0, 1.0, 0.0, 1.0};
    for (const pluginDataRec* r : {&fresh, &used}) {
        EXPECT_EQ(std::tie(r->startRel, r->endRel, r->frameStartColor, r->mediaType),
                  std::make_tuple(whole, whole, RGBColor{65535, 0, 0}, SInt16(1)));
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(std::tie(r->sliders[i], r->colors[i]), std::make_tuple(SInt16(0), RGBColor{}));
    }
    EXPECT_EQ(fresh.frameEndColor, (RGBColor{0, 0, 0}));
    EXPECT_EQ(used.frameEndColor, (RGBColor{1, 2, 3}));
}

TEST(SettingsRecord, CopyReproducesEveryByteAndIgnoresNil) {
    Ptr a = nullptr, b = nullptr;
    pNewConfig(&a);
    pNewConfig(&b);
    pluginDataRec source = Scribbled();
    std::memcpy(a, &source, sizeof source);
    pCopyConfig(a, b);
    EXPECT_EQ(std::memcmp(a, b, sizeof(pluginDataRec)), 0);
    std::vector<char> before(b, b + sizeof(pluginDataRec));
    pCopyConfig(nullptr, b);
    pCopyConfig(a, nullptr);
    EXPECT_EQ(std::memcmp(before.data(), b, sizeof(pluginDataRec)), 0);
    pDestroyConfig(a);
    pDestroyConfig(b);
    pDestroyConfig(nullptr);
}

TEST(SettingsRecordDeathTest, CopyBetweenBlocksOfDifferentSizeTerminates) {
    Ptr a = nullptr;
    pNewConfig(&a);
    Ptr small = NewPtrClear(64);
    EXPECT_EXIT(pCopyConfig(a, small), ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
                "Non-Matching Blocks: The Size of Source and Dest do not match\n");
    DisposePtr(small);
    pDestroyConfig(a);
}

TEST(SettingsRecordDeathTest, NilRecordsEndTheProcessWithTheirMessages) {
    const auto exits = ::testing::ExitedWithCode(toolbox::kExitToShellStatus);
    pluginDataPtr none = nullptr;
    EXPECT_EXIT(InitMyPlugIn(&none), exits, "Assertion failed in: Unable to allocate new data structure\n");
    EXPECT_EXIT(InitPluginData(nullptr), exits, "Assertion failed in: Nil theConfig on InitPluginData\n");
    EXPECT_EXIT(
        {
            toolbox::ArmFault(toolbox::FaultSite::Memory, 1);
            Ptr p;
            pNewConfig(&p);
        },
        exits, "Assertion failed in: Unable to allocate new data structure in pNewConfig\n");
    EXPECT_EXIT(DoEffect(nullptr, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0, nullptr), exits,
                "Assertion failed in: uninited theData in Plugin Effect master proc. need to call init "
                "before calling me\n");
}

TEST(AssertDeathTest, NonNilReturnsAndNilShowsTheStopAlertThenEnds) {
    int value = 0;
    Assert(&value, "never shown");
    EXPECT_EXIT(Assert(nullptr, "Nil theConfig on DoConfig"), ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
                "\\[Stop\\] Assertion Failure: Assertion failed in: Nil theConfig on DoConfig\n");
}

}  // namespace
