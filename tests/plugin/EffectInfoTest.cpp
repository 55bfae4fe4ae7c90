// The description the host reads (kPlugGetInfo) and the placeholder frame.
#include <cstring>
#include <filesystem>

#include "Carbon.h"
#include "RenderDriver.h"
#include "effect/CommonProcs.h"
#include "glue/PlugInMain.h"
#include "support/PluginTestSupport.h"

using testsupport::PluginTest;

namespace {

// A resource file with the four string lists, opened at the head of the chain.
class EffectInfoTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        refNum = testsupport::OpenStringListFile((prefsDir / "strings.rsrc").string(),
                                                 {{128, {"Amount A", "Amount B", std::string(255, 'x')}},
                                                  {129, {"lo0", "hi0", "lo1", "hi1", "lo2", "hi2"}},
                                                  {130, {std::string(40, 'b')}},
                                                  {17000, {"Qorvel"}}});
    }
    void TearDown() override {
        if (refNum > 0) CloseResFile(refNum);
        PluginTest::TearDown();
    }
    host::MemoryClip clip = testsupport::PatternClip(16, 12, 12);
    host::HostSession session{clip, 16, 12};
    ResFileRefNum refNum = -1;
};

TEST_F(EffectInfoTest, DescriptionFlagsFramesAndTexts) {
    HYPluginParams& p = session.Params();
    for (UInt32 flags : {0u, 0x4u}) {
        p.getInfo.pluginFlags = flags;
        p.getInfo2.selectedFrames = 12;
        p.getInfo.takeFromClipBefore = 99;
        p.getInfo.mustTakeFromSingleClips = true;
        for (auto& s : p.getInfo2.filterSliders) s.defaultValue = 0.0f;
        ASSERT_EQ(host::CallPlugin(&PlugInMain, session, kPlugGetInfo), kPluginOK);
        EXPECT_EQ(p.getInfo.pluginFlags, flags | 0x1380u);
        EXPECT_EQ(p.getInfo.pluginType, kPluginFilterType);
        EXPECT_EQ(p.getInfo.framesToBeRendered, 12);
        EXPECT_EQ(p.getInfo.takeFromClipAfter, 12);
        EXPECT_EQ(p.getInfo.takeFromClipBefore, 0);
        EXPECT_FALSE(p.getInfo.mustTakeFromSingleClips);
        EXPECT_EQ(p.getInfo2.baseMemoryNeeded, 50000);
        for (auto& s : p.getInfo2.filterSliders) EXPECT_EQ(s.defaultValue, 0.5f);
    }
    EXPECT_STREQ(p.getInfo2.filterSliders[0].label, "Amount A");
    EXPECT_STREQ(p.getInfo2.filterSliders[1].label, "Amount B");
    EXPECT_EQ(std::string(p.getInfo2.filterSliders[2].label), std::string(127, 'x'));  // cut to fit
    EXPECT_STREQ(p.getInfo2.filterSliders[1].minLabel, "lo1");
    EXPECT_STREQ(p.getInfo2.filterSliders[2].maxLabel, "hi2");
    EXPECT_EQ(std::string(p.getInfo3.buttonTitle), std::string(31, 'b'));
    EXPECT_STREQ(p.getInfo2.group, "Qorvel");
}

TEST_F(EffectInfoTest, PlaceholderRendersTheThumbFrameAndLeavesTheBlockAlone) {
    HYPluginParams& p = session.Params();
    ASSERT_EQ(host::CallPlugin(&PlugInMain, session, kPlugGetInfo), kPluginOK);
    gEffectData->sliders[0] = 100;
    p.getInfo.bestThumbOffset = 7;
    p.renderFrame = 3;
    void* marker = &refNum;
    p.clientData = marker;  // as if a pass were under way: the placeholder must not touch it
    const long blocks = host::HostLiveBlocks();
    ASSERT_EQ(host::CallPlugin(&PlugInMain, session, kPlugFilePlaceHolder), kPluginOK);
    EXPECT_EQ(p.clientData, marker);
    EXPECT_EQ(p.renderFrame, 3);
    EXPECT_EQ(p.selector, kPlugFilePlaceHolder);
    EXPECT_EQ(host::HostLiveBlocks(), blocks);
    std::vector<UInt8> expected(16 * 12 * 4);
    testsupport::ReferenceTonefade(clip.Pixels(7).data(), expected.data(), 16, 12, Rect{0, 0, 12, 16}, 100);
    EXPECT_EQ(testsupport::WorldPixels(session.Target()), expected);
    p.clientData = nullptr;

    toolbox::ArmFault(toolbox::FaultSite::Memory, 1);
    EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugFilePlaceHolder), kPluginOutOfMemory);
    toolbox::ArmFault(toolbox::FaultSite::Memory, 2);
    EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugFilePlaceHolder), kPluginOutOfMemory);
    EXPECT_EQ(host::HostLiveBlocks(), blocks);  // nothing of the failed starts is left behind
}

TEST(OffscreenWorlds, AllocateCloneClearAndCopy) {
    GWorldPtr gw = AllocateRectGWorld(Rect{10, 20, 250, 340});
    ASSERT_NE(gw, nullptr);
    Rect r = GetPortRect(gw);
    EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 240 && r.right == 320);
    EXPECT_EQ(GetPixelsState(GetGWorldPixMap(gw)), GWorldFlags(pixelsLocked));
    ClearGW(gw, RGBColor{0x1200, 0x3400, 0x5600});
    GWorldPtr clone = MakeGWorldClone(gw);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(testsupport::WorldPixels(clone), testsupport::WorldPixels(gw));
    EXPECT_EQ(testsupport::WorldPixels(clone)[1], 0x12);
    GWorldPtr small = AllocateGWorld(4, 3);
    Source2Target(gw, small);
    const std::vector<UInt8> px = testsupport::WorldPixels(small);
    for (std::size_t i = 0; i < px.size(); i += 4) EXPECT_EQ(px[i + 3], 0x56);
    EXPECT_EQ(MakeGWorldClone(nullptr), nullptr);
    ClearGW(nullptr, RGBColor{});
    Source2Target(nullptr, small);
    toolbox::ArmFault(toolbox::FaultSite::GWorld, 1);
    EXPECT_EQ(MakeGWorldClone(gw), nullptr);
    DisposeGWorld(small);
    DisposeGWorld(clone);
    DisposeGWorld(gw);
}

}  // namespace
