// The entry point: block checks, one-time initialisation and the dispatch table.
#include <cstring>
#include <tuple>

#include "Carbon.h"
#include "RenderDriver.h"
#include "glue/PlugInMain.h"
#include "support/PluginTestSupport.h"

using testsupport::PluginTest;

namespace {

class EntryPointTest : public PluginTest {
protected:
    host::MemoryClip clip = testsupport::PatternClip(8, 6, 3);
    host::HostSession session{clip, 8, 6};
};

TEST_F(EntryPointTest, NullBlockOrTableIsRefusedAndNothingIsInitialised) {
    EXPECT_EQ(PlugInMain(0, nullptr), kPluginBadParams);
    HYPluginParams& p = session.Params();
    HYProcs* procs = p.procs;
    p.procs = nullptr;
    EXPECT_EQ(PlugInMain(0, &p), kPluginBadParams);
    p.procs = procs;
    EXPECT_FALSE(gEffectInited);
    EXPECT_EQ(gEffectData, nullptr);
}

TEST_F(EntryPointTest, HostOfVersionThreeOrLessIsTooOld) {
    HYPluginParams& p = session.Params();
    for (SInt16 version : {SInt16(-1), SInt16(0), SInt16(3)}) {
        p.interfaceVersion = version;
        p.selector = kPlugGetInfo;
        EXPECT_EQ(PlugInMain(0, &p), kPluginAppIsTooOld) << version;
    }
    EXPECT_FALSE(gEffectInited);
    EXPECT_EQ(gEffectData, nullptr);
    p.interfaceVersion = 4;
    EXPECT_EQ(PlugInMain(0, &p), kPluginOK);
    EXPECT_TRUE(gEffectInited);
}

// Selectors without a handler answer OK and leave the block, the port and the worlds
// as they were, yet the first call of all still creates the master record.
TEST_F(EntryPointTest, UnhandledSelectorsChangeNothingButTheFirstCallInitialises) {
    HYPluginParams& p = session.Params();
    const long before = host::HostLiveBlocks(), worlds = toolbox::LiveGWorldCount();
    CGrafPtr port, portBefore;
    GDHandle device, deviceBefore;
    GetGWorld(&portBefore, &deviceBefore);
    for (UInt8 selector : {UInt8(0), UInt8(3), UInt8(4), UInt8(7), UInt8(10), UInt8(100), UInt8(200), UInt8(255)}) {
        p.selector = selector;
        HYPluginParams snapshot;
        std::memcpy(&snapshot, &p, sizeof p);
        EXPECT_EQ(PlugInMain(0, &p), kPluginOK) << int(selector);
        EXPECT_EQ(std::memcmp(&snapshot, &p, sizeof p), 0) << int(selector);
        GetGWorld(&port, &device);
        EXPECT_EQ(std::make_tuple(port, device, toolbox::LiveGWorldCount()),
                  std::make_tuple(portBefore, deviceBefore, worlds));
    }
    EXPECT_TRUE(gEffectInited);
    ASSERT_NE(gEffectData, nullptr);
    EXPECT_EQ(host::HostLiveBlocks(), before + 1);  // exactly one master record
    EXPECT_EQ(GetPtrSize(reinterpret_cast<Ptr>(gEffectData)), Size(sizeof(pluginDataRec)));
}

TEST_F(EntryPointTest, MasterRecordIsAllocatedOnce) {
    HYPluginParams& p = session.Params();
    p.selector = kPlugGetInfo;
    ASSERT_EQ(PlugInMain(0, &p), kPluginOK);
    pluginDataPtr first = gEffectData;
    const long blocks = host::HostLiveBlocks();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(PlugInMain(0, &p), kPluginOK);
    EXPECT_EQ(gEffectData, first);
    EXPECT_EQ(host::HostLiveBlocks(), blocks);
}

TEST_F(EntryPointTest, EveryHandlerRestoresTheCurrentPortAndDevice) {
    GWorldPtr other = testsupport::NewTestWorld(4, 4);
    SetGWorld(other, nullptr);
    CGrafPtr portBefore;
    GDHandle deviceBefore;
    GetGWorld(&portBefore, &deviceBefore);
    HYPluginParams& p = session.Params();
    for (HYPluginSelector s : {kPlugGetInfo, kPlugInitialize, kPlugDoFrame, kPlugDoFrame, kPlugTerminate,
                               kPlugFilePlaceHolder, kPlugDrawIcon}) {
        p.selector = s;
        PlugInMain(0, &p);
        CGrafPtr port;
        GDHandle device;
        GetGWorld(&port, &device);
        EXPECT_EQ(port, portBefore) << int(s);
        EXPECT_EQ(device, deviceBefore) << int(s);
    }
    SetGWorld(portBefore, deviceBefore);
    DisposeGWorld(other);
}

TEST_F(EntryPointTest, FailingMasterRecordAllocationEndsTheHostWithTheAssertion) {
    HYPluginParams& p = session.Params();
    EXPECT_EXIT(
        {
            toolbox::ArmFault(toolbox::FaultSite::Memory, 1);
            PlugInMain(0, &p);
        },
        ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
        "Assertion Failure: Assertion failed in: Unable to allocate new data structure\n");
}

}  // namespace
