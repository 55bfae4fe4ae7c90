// The plug-in tests' own.
#include "support/PluginTestSupport.h"

#include <cstring>

#include "Carbon.h"
#include "effect/DataHandling.h"
#include "glue/PlugInMain.h"
#include "resources/StringLists.h"

namespace testsupport {

pluginDataRec DefaultSettings() {
    pluginDataRec r{};
    ResetConfig(&r);
    return r;
}

pluginDataRec SettingsWith(SInt16 amount, relRect rect, SInt16 mediaType) {
    pluginDataRec r = DefaultSettings();
    r.sliders[0] = amount;
    r.startRel = rect;
    r.mediaType = mediaType;
    return r;
}

pluginDataRec DistinctSettings(int seed) {
    pluginDataRec r{};
    r.startRel = relRect{0.1 * seed, 1.0 / 3.0 + seed, -0.0 - seed, 1e-300 * seed};
    r.endRel = relRect{0.25 + seed, 0.5 + seed, 0.75 + seed, 1.0 + seed};
    for (int i = 0; i < 6; ++i) {
        r.sliders[i] = SInt16(-300 + 100 * i + seed);
        r.colors[i] = RGBColor{UInt16(1000 * i + seed), UInt16(65535 - i - seed), UInt16(0x0102 * (i + 1))};
    }
    r.frameStartColor = RGBColor{UInt16(11 + seed), 12, 13};
    r.frameEndColor = RGBColor{UInt16(0xFFF0 + seed), 0x8000, 1};
    r.mediaType = SInt16(4 + seed);  // outside 1..3: reading applies no limits
    return r;
}

bool SameSettings(const pluginDataRec& a, const pluginDataRec& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

ResFileRefNum OpenStringListFile(const std::string& path, const StringLists& lists) {
    FSSpec fileSpec;
    toolbox::PathToFSSpec(path, &fileSpec);
    FSpCreateResFile(&fileSpec, FOUR_CHAR_CODE("test"), FOUR_CHAR_CODE("rsrc"), -1);
    const ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    EXPECT_GT(refNum, 0) << path;
    for (const auto& [id, strings] : lists) {
        const std::vector<UInt8> data = toolbox::BuildStringList(strings).value();
        Handle h = NewHandle(Size(data.size()));
        std::memcpy(*h, data.data(), data.size());
        AddResource(h, kStringListResourceType, id, reinterpret_cast<ConstStr255Param>("\0"));
    }
    UpdateResFile(refNum);
    return refNum;
}

void PluginTest::SetUp() {
    toolbox::SetPreferencesFolder(prefsDir.string());
    ResetPlugInForTesting(host::HostDisposePtrProc());
}

void PluginTest::TearDown() {
    ResetPlugInForTesting(host::HostDisposePtrProc());
}

}  // namespace testsupport
