// The render pass: fades, opacity schedule, proxy quality and audio, and whole clips
// compared with the reference effect and the host's blend. (Failing callbacks and
// allocations, selectors out of order: tests/reliability.)
#include <climits>
#include <cstring>

#include "Carbon.h"
#include "RenderDriver.h"
#include "glue/PlugInMain.h"
#include "glue/RenderPass.h"
#include "support/PluginTestSupport.h"

using testsupport::PluginTest;

namespace {

using testsupport::CollectingSink;

class RenderPassTest : public PluginTest {
protected:
    static constexpr int W = 24, H = 16;
    host::MemoryClip clip = testsupport::PatternClip(W, H, 20, 8);
    host::HostSession session{clip, W, H};

    // Initialises the plug-in and gives the master record an amount and a rectangle.
    void Configure(SInt16 amount, relRect rect) {
        ASSERT_EQ(host::CallPlugin(&PlugInMain, session, kPlugGetInfo), kPluginOK);
        gEffectData->sliders[0] = amount;
        gEffectData->startRel = rect;
    }
    host::PassResult Render(const host::PassOptions& options, CollectingSink& sink) {
        return host::RunRenderPass(&PlugInMain, session, options, sink);
    }
    std::vector<UInt8> Processed(int frame, SInt16 amount, const Rect& r) {
        std::vector<UInt8> out(std::size_t(W) * H * 4);
        testsupport::ReferenceTonefade(clip.Pixels(frame).data(), out.data(), W, H, r, amount);
        return out;
    }
};

TEST(FadeArithmetic, ClampingAndOpacitySchedule) {
    struct Clamp {
        SInt32 frames, in, out, wantIn, wantOut;
    } clamps[] = {{100, 80, 80, 50, 50}, {100, 150, 0, 100, 0}, {100, 0, 150, 0, 100}, {101, 80, 30, 50, 30},
                  {100, -5, 10, 0, 10},  {100, -5, -5, 0, 0},   {0, 10, 0, 0, 0},      {-3, 10, 10, 0, 0},
                  // A negative length is still a length set: the other fade keeps to half the clip.
                  {100, -5, 80, 0, 50},  {100, 80, -5, 50, 0},  {100, INT_MIN, 150, 0, 50}, {101, 100, -1, 50, 0}};
    for (const Clamp& c : clamps) {
        SInt32 in = c.in, out = c.out;
        ClampFades(c.frames, &in, &out);
        EXPECT_EQ(in, c.wantIn) << c.frames << " " << c.in << " " << c.out;
        EXPECT_EQ(out, c.wantOut) << c.frames << " " << c.in << " " << c.out;
    }
    struct Opacity {
        SInt32 frame, frames, in, out;
        SInt16 want;
    } opacities[] = {{0, 100, 10, 0, 255},  {5, 100, 10, 0, 127},  {9, 100, 10, 0, 25},   {10, 100, 10, 0, -1},
                     {90, 100, 0, 10, -1},  {91, 100, 0, 10, 25},  {99, 100, 0, 10, 229}, {50, 100, 0, 0, -1},
                     {-4, 100, 0, 10, -1},  {-4, 100, 10, 0, 255}, {120, 100, 0, 10, 255}};
    for (const Opacity& o : opacities)
        EXPECT_EQ(FadeOpacity(o.frame, o.frames, o.in, o.out), o.want) << o.frame << " " << o.in << " " << o.out;
}

TEST_F(RenderPassTest, WholeClipMatchesTheReferenceOutsideFadesAndTheBlendInside) {
    Configure(57, relRect{0.25, 0.75, 0.125, 0.875});
    const Rect r{2, 6, 14, 18};
    host::PassOptions options;
    options.fadeIn = 4;
    options.fadeOut = 5;
    CollectingSink sink;
    ASSERT_TRUE(Render(options, sink).ok());
    ASSERT_EQ(sink.frames.size(), 20u);
    for (int f = 0; f < 20; ++f) {
        std::vector<UInt8> expected = Processed(f, 57, r);
        SInt16 opacity = FadeOpacity(f, 20, 4, 5);
        if (opacity >= 0) {
            PixMap src{reinterpret_cast<Ptr>(const_cast<UInt8*>(clip.Pixels(f).data())), W * 4, {0, 0, H, W},
                       16, 32, 3, 8, k32ARGBPixelFormat};
            PixMap dst{reinterpret_cast<Ptr>(expected.data()), W * 4, {0, 0, H, W}, 16, 32, 3, 8, k32ARGBPixelFormat};
            host::HostSession::BlendPixMaps(src, dst, src.bounds, dst.bounds, opacity);
        }
        EXPECT_EQ(sink.frames[std::size_t(f)], expected) << "frame " << f;
    }
    EXPECT_EQ(sink.frames[0], clip.Pixels(0));  // fully covered by the unprocessed frame
    EXPECT_EQ(session.Counters().blitOpacities, (std::vector<SInt16>{255, 191, 127, 63, 50, 102, 153, 204}));
    EXPECT_EQ(session.OutstandingFrames(), 0);
    EXPECT_EQ(toolbox::LiveGWorldCount() - host::HostSpareWorlds(), 1);  // only the host's target
}

TEST_F(RenderPassTest, WithoutFadesNothingIsBlittedAndAudioIsMixedAtFullVolume) {
    Configure(100, relRect{0, 1, 0, 1});
    CollectingSink sink;
    ASSERT_TRUE(Render(host::PassOptions{}, sink).ok());
    EXPECT_EQ(session.Counters().blitCalls, 0);
    EXPECT_EQ(session.Counters().mixVolumes, std::vector<SInt32>(20, 256));
    for (int f = 0; f < 20; ++f) EXPECT_EQ(sink.audio[std::size_t(f)], clip.FrameAudio(f));
    EXPECT_EQ(sink.frames[7], Processed(7, 100, Rect{0, 0, H, W}));
}

TEST_F(RenderPassTest, ProxyQualityFollowsTheFrameHeight) {
    struct Case {
        bool proxy;
        int height;
        HYRefDVQuality quality;
        bool mixes;
    } cases[] = {{true, 240, kDVLowQuality, false}, {true, 259, kDVLowQuality, false},
                 {true, 260, kDVHighQuality, false}, {false, 240, kDVHighQuality, true}};
    for (const Case& c : cases) {
        host::HostSession s(clip, 32, c.height);
        host::CallPlugin(&PlugInMain, s, kPlugGetInfo);
        host::PassOptions options;
        options.proxy = c.proxy;
        options.count = 2;
        CollectingSink sink;
        ASSERT_TRUE(host::RunRenderPass(&PlugInMain, s, options, sink).ok());
        EXPECT_EQ(s.Counters().qualities, std::vector<HYRefDVQuality>(2, c.quality)) << c.height;
        EXPECT_EQ(s.Counters().mixAudioCalls, c.mixes ? 2 : 0) << c.height;
    }
}

TEST_F(RenderPassTest, MissingFilterRecordLeavesFadesAtZeroAndReturnsTheHostsResult) {
    Configure(10, relRect{0, 1, 0, 1});
    session.FilterInfo().fadeInFrames = 5;
    session.Faults().filterInfoMissing = true;
    EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugInitialize), kPluginFailed);
    session.Params().renderFrame = 0;
    EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugDoFrame), kPluginOK);
    EXPECT_EQ(session.Counters().blitCalls, 0);
    EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugTerminate), kPluginOK);
}

TEST_F(RenderPassTest, NegativeFrameNumbersFetchNothing) {
    Configure(10, relRect{0, 1, 0, 1});
    ASSERT_EQ(host::CallPlugin(&PlugInMain, session, kPlugInitialize), kPluginOK);
    session.Params().startFrame = 2;
    session.Params().renderFrame = -3;
    EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugDoFrame), kPluginOK);
    EXPECT_EQ(session.Counters().getFrameCalls, 0);
    EXPECT_EQ(session.Counters().releaseFrameCalls, 0);
    EXPECT_EQ(gMostRecentStartFrame, 2);
    EXPECT_EQ(gMostRecentFrameCount, 20);
    EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugTerminate), kPluginOK);
}

// A segment of the clip renders exactly the frames of the whole pass.
TEST_F(RenderPassTest, SegmentsJoinIntoTheFullRender) {
    Configure(80, relRect{0.1, 0.9, 0.2, 0.7});
    host::PassOptions options;
    options.fadeIn = 6;
    options.fadeOut = 6;
    CollectingSink full, first, second;
    ASSERT_TRUE(Render(options, full).ok());
    options.start = 0;
    options.count = 9;
    ASSERT_TRUE(Render(options, first).ok());
    options.start = 9;
    options.count = 100;
    ASSERT_TRUE(Render(options, second).ok());
    first.frames.insert(first.frames.end(), second.frames.begin(), second.frames.end());
    EXPECT_EQ(first.frames, full.frames);
}

// What the pass hands DoEffect, seen through the linker's wrapper around it.
struct DoEffectCall {
    SInt32 frame, fadeIn, fadeOut, totalFrames;
    double s1, s2, s3;
    bool operator==(const DoEffectCall&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const DoEffectCall& c) {
        return os << "{frame " << c.frame << ", fades " << c.fadeIn << "/" << c.fadeOut << ", of " << c.totalFrames
                  << ", sliders " << c.s1 << " " << c.s2 << " " << c.s3 << "}";
    }
};
std::vector<DoEffectCall> gDoEffectCalls;

TEST_F(RenderPassTest, DoEffectGetsTheFrameTheClampedFadesTheClipLengthAndTheSliders) {
    Configure(30, relRect{0, 1, 0, 1});
    host::PassOptions options;
    options.start = 17;
    options.fadeIn = -2;
    options.fadeOut = 15;
    options.sliders[0] = 0.25f, options.sliders[1] = 0.5f, options.sliders[2] = 0.75f;
    CollectingSink sink;
    gDoEffectCalls.clear();
    ASSERT_TRUE(Render(options, sink).ok());
    // Fade-out 15 of a 20-frame clip with a fade-in set: limited to 10.
    const std::vector<DoEffectCall> want = {{17, 0, 10, 20, 0.25, 0.5, 0.75},
                                            {18, 0, 10, 20, 0.25, 0.5, 0.75},
                                            {19, 0, 10, 20, 0.25, 0.5, 0.75}};
    EXPECT_EQ(gDoEffectCalls, want);
}

// Lengths as the host gives them, in both orders: each fade is clamped as if both were
// set, then a negative one means no fade.
TEST_F(RenderPassTest, ANegativeFadeLengthStillHalvesTheOther) {
    struct Case {
        SInt32 fadeIn, fadeOut, frame;
        SInt16 opacity;  // -1: not blitted
    } cases[] = {
        {-5, 80, 0, -1},  {-5, 80, 4, -1},  {-5, 80, 50, -1}, {-5, 80, 51, 5},  {-5, 80, 60, 50},  {-5, 80, 99, 249},
        {80, -5, 0, 255}, {80, -5, 40, 50}, {80, -5, 49, 5},  {80, -5, 50, -1}, {80, -5, 99, -1},
        {INT_MIN, 100, 60, 50}, {100, INT_MIN, 40, 50},
    };
    host::MemoryClip longClip = testsupport::PatternClip(4, 2, 100);
    for (const Case& c : cases) {
        host::HostSession s(longClip, 4, 2);
        ASSERT_EQ(host::CallPlugin(&PlugInMain, s, kPlugGetInfo), kPluginOK);
        s.FilterInfo().fadeInFrames = c.fadeIn;
        s.FilterInfo().fadeOutFrames = c.fadeOut;
        ASSERT_EQ(host::CallPlugin(&PlugInMain, s, kPlugInitialize), kPluginOK);
        s.Params().renderFrame = c.frame;
        EXPECT_EQ(host::CallPlugin(&PlugInMain, s, kPlugDoFrame), kPluginOK);
        const std::vector<SInt16> want = c.opacity < 0 ? std::vector<SInt16>{} : std::vector<SInt16>{c.opacity};
        EXPECT_EQ(s.Counters().blitOpacities, want) << "fades " << c.fadeIn << "/" << c.fadeOut << ", frame " << c.frame;
        EXPECT_EQ(host::CallPlugin(&PlugInMain, s, kPlugTerminate), kPluginOK);
    }
}

}  // namespace

extern "C" {
void __real_DoEffect(pluginDataPtr, HYPluginParams*, GWorldPtr, GWorldPtr, SInt32, SInt32, SInt32, SInt32, double,
                     double, double, SInt16*);
void __wrap_DoEffect(pluginDataPtr myConfig, HYPluginParams* params, GWorldPtr theSource, GWorldPtr theTarget,
                     SInt32 currentFrameIndex, SInt32 fadeInFrames, SInt32 fadeOutFrames, SInt32 totalFrames,
                     double s1, double s2, double s3, SInt16* opacity) {
    gDoEffectCalls.push_back({currentFrameIndex, fadeInFrames, fadeOutFrames, totalFrames, s1, s2, s3});
    __real_DoEffect(myConfig, params, theSource, theTarget, currentFrameIndex, fadeInFrames, fadeOutFrames,
                    totalFrames, s1, s2, s3, opacity);
}
}
