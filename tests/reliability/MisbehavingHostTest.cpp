// A host that misbehaves: selectors out of order, frame numbers and fade lengths outside
// the clip, a frame rectangle that does not fit the target, frames of the wrong size or
// none, and callbacks that fail. Whatever it does, the plug-in answers with a result
// code, writes nothing outside the target's pixels (guard bytes), keeps the current port
// and device, releases every frame and leaves no memory or world behind.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>

#include "Carbon.h"
#include "RenderDriver.h"
#include "dialog/IMovieGlue.h"
#include "glue/PlugInMain.h"
#include "reliability/ReliabilitySupport.h"
#include "support/PluginTestSupport.h"

namespace {

constexpr int W = 20, H = 14, kFrames = 10;
constexpr SInt16 kAmount = 70;

class MisbehavingHost : public testsupport::PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        ASSERT_EQ(host::CallPlugin(&PlugInMain, session, kPlugGetInfo), kPluginOK);
        gEffectData->sliders[0] = kAmount;  // whole frame, so that every fetched pixel changes
        watch = std::make_unique<reliability::PortWatch>();
        // The host keeps one world of the clip's own size once it has scaled a frame; it is
        // the host's, so it is made before the plug-in's holdings are counted.
        (void)Processed(0, W + 1, H + 1);
        Reset();
        holdings = reliability::Holdings::Now();
    }
    void TearDown() override {
        watch.reset();
        PluginTest::TearDown();
    }

    // The block as a well-behaved host leaves it between passes, over a fresh target.
    void Reset() {
        HYPluginParams& p = session.Params();
        EXPECT_EQ(p.clientData, nullptr);
        p.frame = target.Port();
        p.frameRect = Rect{0, 0, H, W};
        p.startFrame = p.renderFrame = 0;
        p.frameCount = kFrames;
        p.proxyOnly = false;
        session.Faults() = host::HostFaults{};
        session.Counters() = host::HostCounters{};
        session.FilterInfo().fadeInFrames = session.FilterInfo().fadeOutFrames = 0;
        target.Fill(testsupport::PatternFrame(W, H, 77));
    }

    // One call of the entry point, with the checks that hold after every call.
    HYPluginResult Call(HYPluginSelector selector, const std::string& context) {
        HYPluginResult result = host::CallPlugin(&PlugInMain, session, selector);
        EXPECT_TRUE(watch->Unchanged()) << context << ": the current port or device changed";
        EXPECT_EQ(target.DamagedGuardBytes(), 0) << context << ": wrote outside the target";
        EXPECT_EQ(GetPixelsState(GetGWorldPixMap(target.Port())), 0u) << context << ": target left locked";
        return result;
    }

    // Ends the case: the pass's block is given back and nothing else is left over.
    void EndCase(const std::string& context) {
        EXPECT_EQ(Call(kPlugTerminate, context), kPluginOK) << context;
        EXPECT_EQ(session.Params().clientData, nullptr) << context;
        EXPECT_EQ(session.OutstandingFrames(), 0) << context << ": frames not released";
        EXPECT_EQ(holdings.Compare(reliability::Holdings::Now()), "") << context;
        Reset();
    }

    // The processed frame as the plug-in must draw it: the host's frame at the asked size
    // with the effect over the whole of it.
    std::vector<UInt8> Processed(SInt32 frameNumber, int width, int height) {
        HYPluginParams& p = session.Params();
        GWorldPtr world = nullptr;
        void* cookie = nullptr;
        SInt16 volume = 0;
        EXPECT_EQ(p.procs->GetFrame(p.instance, frameNumber, &world, SInt16(width), SInt16(height), kDVHighQuality,
                                    &volume, &cookie),
                  kPluginOK);
        std::vector<UInt8> source = testsupport::WorldPixels(world), out(source.size());
        p.procs->ReleaseFrame(p.instance, cookie);
        testsupport::ReferenceTonefade(source.data(), out.data(), width, height, Rect{0, 0, SInt16(height),
                                       SInt16(width)}, kAmount);
        return out;
    }

    // The target after `processed` (width × height) was copied to `r`, clipped to the target.
    static std::vector<UInt8> Placed(std::vector<UInt8> before, const std::vector<UInt8>& processed, const Rect& r) {
        const int width = r.right - r.left;
        for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, H); ++y)
            for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, W); ++x)
                std::memcpy(&before[(std::size_t(y) * W + std::size_t(x)) * 4],
                            &processed[(std::size_t(y - r.top) * std::size_t(width) + std::size_t(x - r.left)) * 4], 4);
        return before;
    }

    host::MemoryClip clip = testsupport::PatternClip(W, H, kFrames, 4);
    host::HostSession session{clip, W, H};
    reliability::GuardedTarget target{W, H};
    std::unique_ptr<reliability::PortWatch> watch;
    reliability::Holdings holdings;
};

// --- Selectors out of order ------------------------------------------------------------------

struct Step {
    HYPluginSelector selector;
    HYPluginResult want;
};
struct SequenceCase {
    const char* name;
    std::vector<Step> steps;
    long blocksAfter;  // host blocks held by the plug-in after the steps, beyond the master record
    int fetches;       // frames the host is asked for
};

TEST_F(MisbehavingHost, SelectorsOutOfOrder) {
    const SequenceCase cases[] = {
        {"kPlugDoFrame without kPlugInitialize", {{kPlugDoFrame, kPluginBadParams}}, 0, 0},
        {"kPlugTerminate without kPlugInitialize", {{kPlugTerminate, kPluginOK}}, 0, 0},
        {"kPlugInitialize twice",
         {{kPlugInitialize, kPluginOK}, {kPlugInitialize, kPluginOK}, {kPlugDoFrame, kPluginOK}}, 2, 1},
        {"kPlugTerminate twice",
         {{kPlugInitialize, kPluginOK}, {kPlugDoFrame, kPluginOK}, {kPlugTerminate, kPluginOK},
          {kPlugTerminate, kPluginOK}}, 0, 1},
        {"kPlugDoFrame after kPlugTerminate",
         {{kPlugInitialize, kPluginOK}, {kPlugTerminate, kPluginOK}, {kPlugDoFrame, kPluginBadParams}}, 0, 0},
        {"placeholder in the middle of a pass",
         {{kPlugInitialize, kPluginOK}, {kPlugFilePlaceHolder, kPluginOK}, {kPlugDoFrame, kPluginOK}}, 2, 2},
    };
    for (const SequenceCase& c : cases) {
        for (std::size_t i = 0; i < c.steps.size(); ++i)
            EXPECT_EQ(Call(c.steps[i].selector, c.name), c.steps[i].want) << c.name << ", step " << i + 1;
        EXPECT_EQ(host::HostLiveBlocks(), holdings.hostBlocks + c.blocksAfter) << c.name;
        EXPECT_EQ(session.Counters().getFrameCalls, c.fetches) << c.name;
        EndCase(c.name);
    }
}

// --- Frame numbers -----------------------------------------------------------------------------

struct FrameCase {
    const char* name;
    SInt32 startFrame, renderFrame;
    std::vector<int> allowed;  // result codes (-1: the dialog's "before the clip")
    int fetched;  // the clip frame that must be drawn, or -1 when none may be
};

TEST_F(MisbehavingHost, FrameNumbersOutsideTheClip) {
    const FrameCase cases[] = {
        {"renderFrame -1", 0, -1, {kPluginOK}, -1},
        {"startFrame and sum negative", -5, 2, {kPluginOK}, -1},
        {"negative startFrame, sum inside", -2, 5, {kPluginOK}, 3},
        {"negative renderFrame, sum inside", 6, -2, {kPluginOK}, 4},
        {"one past the end", 0, kFrames, {kPluginCantGetNeededFrame}, -1},
        {"far past the end", 3, INT_MAX - 3, {kPluginCantGetNeededFrame}, -1},
        // Sums beyond 32 bits name no frame: nothing may be drawn, however it is answered.
        {"sum above 32 bits", 1, INT_MAX, {kPluginOK, kPluginCantGetNeededFrame}, -1},
        {"sum below 32 bits", -2, INT_MIN, {kPluginOK, kPluginCantGetNeededFrame}, -1},
    };
    for (const FrameCase& c : cases) {
        ASSERT_EQ(Call(kPlugInitialize, c.name), kPluginOK);
        HYPluginParams& p = session.Params();
        p.startFrame = c.startFrame;
        p.renderFrame = c.renderFrame;
        const std::vector<UInt8> before = target.Pixels();
        const HYPluginResult got = Call(kPlugDoFrame, c.name);
        EXPECT_NE(std::find(c.allowed.begin(), c.allowed.end(), int(got)), c.allowed.end())
            << c.name << ": " << host::ResultName(got);
        const std::vector<UInt8> expected = c.fetched < 0 ? before : Processed(c.fetched, W, H);
        EXPECT_EQ(target.Pixels(), expected) << c.name << (c.fetched < 0 ? ": drew a frame that is not there" : "");
        EndCase(c.name);
    }
}

// The dialog fetches further frames with the host's startFrame: the same sums.
TEST_F(MisbehavingHost, DialogFrameFetchOutsideTheClip) {
    const FrameCase cases[] = {
        {"frame before the clip", 0, -1, {-1}, -1},
        {"one past the end", 0, kFrames, {kPluginCantGetNeededFrame}, -1},
        {"inside, from a negative startFrame", -3, 8, {kPluginOK}, 5},
        {"sum above 32 bits", INT_MAX, 1, {-1, kPluginCantGetNeededFrame}, -1},
        {"sum below 32 bits", INT_MIN, -1, {-1, kPluginCantGetNeededFrame}, -1},
    };
    for (const FrameCase& c : cases) {
        GWorldPtr world = testsupport::NewTestWorld(W, H);
        testsupport::FillWorld(world, testsupport::PatternFrame(W, H, 5));
        const std::vector<UInt8> before = testsupport::WorldPixels(world);
        session.Params().startFrame = c.startFrame;
        const SInt16 got = GetFrameIntoGW(world, &session.Params(), c.renderFrame, 1);
        EXPECT_NE(std::find(c.allowed.begin(), c.allowed.end(), int(got)), c.allowed.end())
            << c.name << ": " << got;
        const std::vector<UInt8> expected = c.fetched < 0 ? before : clip.Pixels(c.fetched);
        EXPECT_EQ(testsupport::WorldPixels(world), expected) << c.name;
        EXPECT_TRUE(watch->Unchanged()) << c.name;
        DisposeGWorld(world);
        EndCase(c.name);
    }
}

// --- Fade lengths ------------------------------------------------------------------------------

struct FadeCase {
    const char* name;
    SInt32 frameCount, fadeIn, fadeOut;
};

// The opacities a pass over the clip must blit: when both lengths are set (negative ones
// too) each is limited to half the clip, otherwise the one set to the clip; after that a
// negative length counts as no fade.
std::vector<SInt16> ExpectedOpacities(const FadeCase& c) {
    const SInt64 n = std::max<SInt32>(c.frameCount, 0);
    const SInt64 limit = c.fadeIn != 0 && c.fadeOut != 0 ? n / 2 : n;
    const SInt64 in = std::max<SInt64>(std::min<SInt64>(c.fadeIn, limit), 0);
    const SInt64 out = std::max<SInt64>(std::min<SInt64>(c.fadeOut, limit), 0);
    std::vector<SInt16> opacities;
    for (SInt64 f = 0; f < kFrames; ++f) {
        double progress;
        if (in > 0 && f < in) progress = double(f) / double(in);
        else if (out > 0 && f > n - out) progress = double(n - f) / double(out);
        else continue;
        opacities.push_back(SInt16(std::trunc((1.0 - std::clamp(progress, 0.0, 1.0)) * 255.0)));
    }
    return opacities;
}

TEST_F(MisbehavingHost, FadeLengthsOutsideTheClip) {
    const FadeCase cases[] = {
        {"fade-in longer than the clip", kFrames, 1000, 0},
        {"fade-out longer than the clip", kFrames, 0, 1000},
        {"both longer than the clip", kFrames, 1000, 1000},
        {"largest lengths", kFrames, INT_MAX, INT_MAX},
        {"negative fades", kFrames, -5, -5},
        {"most negative fade-out", kFrames, 3, INT_MIN},
        {"most negative fade-in", kFrames, INT_MIN, 4},
        {"negative fade-in, fade-out past half", kFrames, -1, kFrames - 1},
        {"fade-in past half, negative fade-out", kFrames, kFrames - 1, -1},
        {"clip of no frames", 0, 3, 3},
        {"clip of negative length", -5, 3, 3},
    };
    for (const FadeCase& c : cases) {
        session.FilterInfo().fadeInFrames = c.fadeIn;
        session.FilterInfo().fadeOutFrames = c.fadeOut;
        session.Params().frameCount = c.frameCount;
        ASSERT_EQ(Call(kPlugInitialize, c.name), kPluginOK);
        for (SInt32 f = 0; f < kFrames; ++f) {
            session.Params().renderFrame = f;
            EXPECT_EQ(Call(kPlugDoFrame, c.name), kPluginOK) << c.name << ", frame " << f;
        }
        EXPECT_EQ(session.Counters().blitOpacities, ExpectedOpacities(c)) << c.name;
        EndCase(c.name);
    }
}

// --- The frame rectangle against the target --------------------------------------------------

// Pixels outside `r` (within the W × H target) that differ between the two.
int ChangedOutside(const std::vector<UInt8>& before, const std::vector<UInt8>& now, const Rect& r) {
    int changed = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (y >= r.top && y < r.bottom && x >= r.left && x < r.right) continue;
            std::size_t i = (std::size_t(y) * W + std::size_t(x)) * 4;
            changed += std::memcmp(&now[i], &before[i], 4) != 0;
        }
    return changed;
}

struct RectCase {
    const char* name;
    Rect frameRect;
    int fadeIn;
    HYPluginResult want;
};

TEST_F(MisbehavingHost, FrameRectangleLargerOrSmallerThanTheTarget) {
    const RectCase cases[] = {
        {"the target's own", Rect{0, 0, H, W}, 0, kPluginOK},
        {"smaller, inside", Rect{2, 3, H - 2, W - 4}, 0, kPluginOK},
        {"larger on every side", Rect{-4, -6, H + 4, W + 6}, 0, kPluginOK},
        {"hanging over the bottom right", Rect{H - 5, W - 7, H + 9, W + 11}, 0, kPluginOK},
        {"hanging over the top left", Rect{-9, -11, 5, 7}, 0, kPluginOK},
        {"wholly outside", Rect{H + 10, W + 10, H + 20, W + 30}, 0, kPluginOK},
        {"larger, inside a fade", Rect{-4, -6, H + 4, W + 6}, 5, kPluginOK},
        {"smaller, inside a fade", Rect{2, 3, H - 2, W - 4}, 5, kPluginOK},
        {"hanging over, inside a fade", Rect{H - 5, W - 7, H + 9, W + 11}, 5, kPluginOK},
        {"empty", Rect{5, 5, 5, 5}, 0, kPluginCantGetNeededFrame},
        {"upside down", Rect{H, W, 0, 0}, 0, kPluginCantGetNeededFrame},
        {"wider than 16 bits", Rect{-32768, -32768, 32767, 32767}, 0, kPluginCantGetNeededFrame},
    };
    for (const RectCase& c : cases) {
        session.FilterInfo().fadeInFrames = c.fadeIn;
        ASSERT_EQ(Call(kPlugInitialize, c.name), kPluginOK);
        HYPluginParams& p = session.Params();
        p.frameRect = c.frameRect;
        p.renderFrame = 1;
        const std::vector<UInt8> before = target.Pixels();
        EXPECT_EQ(Call(kPlugDoFrame, c.name), c.want) << c.name;
        const Rect& r = c.frameRect;
        const int width = r.right - r.left, height = r.bottom - r.top;
        std::vector<UInt8> expected = before;
        if (c.want == kPluginOK && c.fadeIn == 0) expected = Placed(before, Processed(1, width, height), r);
        if (c.fadeIn == 0) {
            EXPECT_EQ(target.Pixels(), expected) << c.name;
        } else {
            // Inside a fade the blend is the host's; outside the rectangle nothing may change.
            EXPECT_EQ(ChangedOutside(before, target.Pixels(), r), 0) << c.name;
        }
        EndCase(c.name);
    }
}

// --- Host callbacks that fail or hand back the wrong thing ----------------------------------------

struct CallbackCase {
    const char* name;
    std::function<void(host::HostSession&)> arm;
    int fadeIn;
    HYPluginResult want;
    bool drawsNothing;
};

TEST_F(MisbehavingHost, HostCallbacksFailingOrWrong) {
    using S = host::HostSession;
    const CallbackCase cases[] = {
        {"GetFrame fails", [](S& s) { s.Faults().getFrameFailsAt = 2; }, 0, kPluginCantGetNeededFrame, true},
        {"GetFrame fails in a fade", [](S& s) { s.Faults().getFrameFailsAt = 2; }, 5, kPluginCantGetNeededFrame, true},
        {"GetFrame gives no world", [](S& s) { s.Faults().getFrameGivesNoWorld = true; }, 0,
         kPluginCantGetNeededFrame, true},
        {"GetFrame gives no world in a fade", [](S& s) { s.Faults().getFrameGivesNoWorld = true; }, 5,
         kPluginCantGetNeededFrame, true},
        {"GetFrame world 7 pixels larger", [](S& s) { s.Faults().getFrameWrongSize = 7; }, 0, kPluginOK, false},
        {"GetFrame world 5 pixels smaller", [](S& s) { s.Faults().getFrameWrongSize = -5; }, 0, kPluginOK, false},
        {"GetFrame world larger, in a fade", [](S& s) { s.Faults().getFrameWrongSize = 7; }, 5, kPluginOK, false},
        {"GetFrame world smaller, in a fade", [](S& s) { s.Faults().getFrameWrongSize = -5; }, 5, kPluginOK, false},
        {"GetFrame world with no rows", [](S& s) { s.Faults().getFrameWrongSize = -H; }, 5, kPluginOK, false},
        {"Blit fails", [](S& s) { s.Faults().blitFails = true; }, 5, kPluginFailed, false},
        {"MixAudio fails", [](S& s) { s.Faults().mixAudioFails = true; }, 0, kPluginFailed, false},
        {"ReleaseFrame fails", [](S& s) { s.Faults().releaseFrameFails = true; }, 0, kPluginFailed, false},
        {"ReleaseFrame fails after GetFrame failed", [](S& s) {
             s.Faults().releaseFrameFails = true;
             s.Faults().getFrameFailsAt = 2;
         }, 0, kPluginCantGetNeededFrame, true},
        {"no target world", [](S& s) { s.Params().frame = nullptr; }, 0, kPluginBadParams, true},
    };
    for (const CallbackCase& c : cases) {
        session.FilterInfo().fadeInFrames = c.fadeIn;
        ASSERT_EQ(Call(kPlugInitialize, c.name), kPluginOK);
        session.Params().renderFrame = 2;
        const std::vector<UInt8> before = target.Pixels();
        c.arm(session);
        EXPECT_EQ(Call(kPlugDoFrame, c.name), c.want) << c.name;
        if (c.drawsNothing) {
            EXPECT_EQ(target.Pixels(), before) << c.name << ": drew although it failed";
        }
        session.Params().frame = target.Port();
        EndCase(c.name);
    }
}

}  // namespace
