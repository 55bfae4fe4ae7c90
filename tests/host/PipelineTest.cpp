// Render passes with the reader ahead of the plug-in and the sink behind it give exactly
// what the pass on one thread gives: frames, sound, counts and failures. Also run under
// ThreadSanitizer (label tsan).
#include <gtest/gtest.h>

#include "Carbon.h"
#include "RenderDriver.h"
#include "glue/PlugInMain.h"
#include "support/HostHarness.h"
#include "support/PluginTestSupport.h"

namespace {

namespace fs = std::filesystem;
using hosttest::RunOptions;
using hosttest::RunResult;
using testsupport::CollectingSink;

// Keeps what it is given, and refuses frame `refuse`.
struct RefusingSink : CollectingSink {
    int refuse = -1;
    bool Consume(int index, GWorldPtr frame, const std::vector<int16_t>& sound, std::string* error) override {
        if (index == refuse) {
            *error = "no room for frame " + std::to_string(index);
            return false;
        }
        return CollectingSink::Consume(index, frame, sound, error);
    }
};

struct Outcome {
    host::PassResult result;
    std::vector<std::vector<UInt8>> frames;
    std::vector<std::vector<int16_t>> audio;
    host::HostCounters counters;
};

class PipelinePass : public testsupport::PluginTest {
protected:
    static constexpr int W = 40, H = 22;
    host::MemoryClip clip = testsupport::PatternClip(W, H, 24, 16);

    int width = W, height = H;  // the session's frame size

    Outcome Render(host::PassOptions options, bool threads, int refuse = -1, int getFrameFailsAt = -1) {
        const long worlds = toolbox::LiveGWorldCount();
        Outcome out;
        {
            host::HostSession session(clip, width, height);
            EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugGetInfo), kPluginOK);
            gEffectData->sliders[0] = 63;
            gEffectData->startRel = relRect{0.1, 0.7, 0.2, 0.9};
            session.Faults().getFrameFailsAt = getFrameFailsAt;
            options.threads = threads;
            RefusingSink sink;
            sink.refuse = refuse;
            out = Outcome{host::RunRenderPass(&PlugInMain, session, options, sink), sink.frames, sink.audio,
                          session.Counters()};
            EXPECT_EQ(session.OutstandingFrames(), 0);
            EXPECT_EQ(session.Params().frame, session.Target());
        }
        EXPECT_EQ(toolbox::LiveGWorldCount(), worlds);  // targets, frames read ahead: all gone
        return out;
    }
    void ExpectSame(const host::PassOptions& options, int refuse = -1, int getFrameFailsAt = -1) {
        const Outcome one = Render(options, false, refuse, getFrameFailsAt);
        const Outcome threaded = Render(options, true, refuse, getFrameFailsAt);
        EXPECT_EQ(threaded.frames, one.frames);
        EXPECT_EQ(threaded.audio, one.audio);
        EXPECT_EQ(threaded.result.result, one.result.result);
        EXPECT_STREQ(threaded.result.selector, one.result.selector);
        EXPECT_EQ(threaded.result.failedFrame, one.result.failedFrame);
        EXPECT_EQ(threaded.result.framesRendered, one.result.framesRendered);
        EXPECT_EQ(threaded.result.sinkError, one.result.sinkError);
        // Past a frame the sink refused, the threaded pass may have rendered a frame or two more.
        if (refuse < 0) {
            EXPECT_EQ(threaded.counters.blitOpacities, one.counters.blitOpacities);
            EXPECT_EQ(threaded.counters.mixVolumes, one.counters.mixVolumes);
        }
    }
};

TEST_F(PipelinePass, ThreadedPassesAreThePassOnOneThread) {
    host::PassOptions options;
    options.fadeIn = 5;
    options.fadeOut = 6;
    ExpectSame(options);  // the whole clip, fades at both ends
    options.start = 3;
    options.count = 9;
    ExpectSame(options);  // a segment
    options.start = 23;
    options.count = 1;
    ExpectSame(options);  // its last frame alone
    options.start = 0;
    options.count = -1;
    options.proxy = true;
    ExpectSame(options);  // no sound mixed
    width = 27;
    height = 15;
    ExpectSame(options);  // frames scaled from the clip's
}

TEST_F(PipelinePass, FailuresStopTheThreadedPassWhereTheyStopTheOther) {
    host::PassOptions options;
    options.fadeIn = 4;
    for (int at : {0, 5, 23}) {
        SCOPED_TRACE("at frame " + std::to_string(at));
        ExpectSame(options, at);      // the sink refuses a frame
        ExpectSame(options, -1, at);  // a frame cannot be had
        ExpectSame(options, at + 1 < 24 ? at + 1 : -1, at);  // both, the frame first
        ExpectSame(options, at, at + 1);                     // both, the sink first
    }
    const Outcome refused = Render(options, true, 7);
    EXPECT_EQ(refused.result.sinkError, "no room for frame 7");
    EXPECT_EQ(refused.result.framesRendered, 7);
}

// The real program on a real clip with sound: one thread or several, the same files.
using PipelineCli = hosttest::HostCliTest;

TEST_F(PipelineCli, RendersTheSameFilesOnOneThreadAsOnSeveral) {
    WriteSettings(60, "0.25,0.25,0.75,0.75");
    hosttest::MakeClip(Path("in/clip.mp4"), 96, 54, 30);
    // Raw frames come straight from the file, on the reader's thread when there is one.
    hosttest::Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=96x54:rate=30", "-frames:v", "20", "-pix_fmt", "bgra",
                      "-c:v", "rawvideo", Path("in/raw.mov")});
    const char* const jobs[][2] = {{"clip.mp4", "clip.mp4"}, {"clip.mp4", "%03d.pam"}, {"raw.mov", "raw%03d.pam"}};
    for (const auto& [in, out] : jobs) {  // Matroska files differ run to run
        for (const char* single : {"1", "0"}) {
            fs::create_directories(dir / "out" / single);
            const std::string to = std::string("@/out/") + single + "/" + out;
            RunResult r = hosttest::Host(Job({"render", std::string("@/in/") + in, to, "--threads", "1",
                                              "--fade-in", "6", "--fade-out", "6"}),
                                         RunOptions{120, {std::string("TONEFADE_SINGLE_THREAD=") + single}});
            ASSERT_EQ(r.status, 0) << r.err;
        }
    }
    const std::vector<std::string> files = testsupport::FolderEntries(dir / "out/1");
    EXPECT_EQ(files.size(), 51u);
    EXPECT_EQ(testsupport::FolderEntries(dir / "out/0"), files);
    for (const std::string& f : files)
        EXPECT_EQ(testsupport::ReadBytes(dir / "out/0" / f), testsupport::ReadBytes(dir / "out/1" / f)) << f;
}

}  // namespace
