// Frames through FFmpeg with every world and conversion buffer ending on an inaccessible
// page: real clips made by the ffmpeg program, every width from 1 to 130 in the pixel
// formats people meet, decoded into worlds and encoded from them, and the common frame
// sizes rendered and configured by the real program. libswscale is not instrumented, so
// the sanitizers cannot see it write past a row; a guard page stops it at the write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "quickdraw/QuickDraw.h"
#include "VideoReader.h"
#include "VideoWriter.h"
#include "quickdraw/PixelMemory.h"
#include "support/Frames.h"
#include "support/HostHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxWidth = 130;
constexpr int kFrames = 2;
int HeightFor(int width) { return 1 + (width * 7) % 23; }  // 1 to 23, odd and even

// The case being run, for the fault handler: the only report a dead child can give.
char gCase[96];
void OnFault(int signal) {
    const char prefix[] = "touched memory past a buffer at ";
    (void)!::write(2, prefix, sizeof prefix - 1);
    (void)!::write(2, gCase, std::strlen(gCase));
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Runs `body` in a child with guard pages on; it passes by returning "" (else the
// problem), and fails by dying at a guard page, naming its case.
template <typename Body>
void InGuardedChild(Body body) {
    EXPECT_EXIT(
        {
            std::signal(SIGSEGV, OnFault);
            std::signal(SIGBUS, OnFault);
            toolbox::GuardPagesScope guard;
            const std::string problem = body();
            std::fputs(problem.c_str(), stderr);
            std::fflush(stderr);
            std::_Exit(problem.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

struct DecodeCase {
    const char* pixelFormat;
    const char* codec;
    const char* extension;
};

class DecodeIntoGuardedWorlds : public HostCliTest, public ::testing::WithParamInterface<DecodeCase> {
protected:
    std::string Clip(int width) const { return Path("in/" + std::to_string(width) + "." + GetParam().extension); }
    std::string Reference(int width) const { return Path("in/" + std::to_string(width) + ".bgra"); }

    // One ffmpeg run: for every width, a clip of that size in the case's pixel format, and
    // ffmpeg's own conversion of the same frames to B,G,R,A as the reference.
    void MakeClips() {
        std::string graph = "[0]split=" + std::to_string(kMaxWidth);
        std::vector<std::string> args{"-f", "lavfi", "-i", "testsrc2=s=130x24:r=10", "-filter_complex", ""};
        for (int w = 1; w <= kMaxWidth; ++w) graph += "[s" + std::to_string(w) + "]";
        for (int w = 1; w <= kMaxWidth; ++w) {
            const std::string n = std::to_string(w);
            graph += ";[s" + n + "]crop=" + n + ":" + std::to_string(HeightFor(w)) + ":0:0:exact=1,format=" +
                     GetParam().pixelFormat + ",split[c" + n + "][r" + n + "]";
            args.insert(args.end(), {"-map", "[c" + n + "]", "-c:v", GetParam().codec, "-frames:v",
                                     std::to_string(kFrames), Clip(w), "-map", "[r" + n + "]", "-f", "rawvideo",
                                     "-pix_fmt", "bgra", "-frames:v", std::to_string(kFrames), Reference(w)});
        }
        args[5] = graph;
        Ffmpeg(args);
    }
};

// The largest difference from ffmpeg's own conversion over all pixels and channels.
int LargestDifference(const std::vector<UInt8>& argb, const std::string& bgra, std::size_t offset) {
    int worst = 0;
    for (std::size_t i = 0; i < argb.size(); i += 4)
        for (std::size_t c = 0; c < 3; ++c)
            worst = std::max(worst, std::abs(int(argb[i + 1 + c]) - int(UInt8(bgra[offset + i + 2 - c]))));
    return worst;
}

TEST_P(DecodeIntoGuardedWorlds, EveryWidthFrom1To130) {
    MakeClips();
    InGuardedChild([&]() -> std::string {
        for (int w = 1; w <= kMaxWidth; ++w) {
            const int h = HeightFor(w);
            std::snprintf(gCase, sizeof gCase, "%s %dx%d\n", GetParam().pixelFormat, w, h);
            std::string error;
            std::unique_ptr<host::FrameSource> clip = host::OpenClip(Clip(w), host::ReaderOptions{1, 30}, &error);
            if (!clip || clip->FrameCount() != kFrames) return gCase + error + " (or not 2 frames)";
            const std::string reference = testsupport::ReadText(Reference(w));
            const std::size_t frameBytes = std::size_t(w) * std::size_t(h) * 4;
            if (reference.size() != frameBytes * kFrames) return gCase + std::string("reference of the wrong size");
            GWorldPtr world = testsupport::NewTestWorld(w, h);
            for (int f = 0; f < kFrames && error.empty(); ++f) {
                // Every pixel within one step of ffmpeg's own conversion, the last column too.
                if (!clip->ReadFrame(f, world, &error)) break;
                const int worst = LargestDifference(testsupport::WorldPixels(world), reference, std::size_t(f) * frameBytes);
                if (worst > 1) error = "pixels differ from ffmpeg's by up to " + std::to_string(worst);
            }
            DisposeGWorld(world);
            if (!error.empty()) return gCase + error;
        }
        return "";
    });
}

INSTANTIATE_TEST_SUITE_P(PixelFormats, DecodeIntoGuardedWorlds,
                         ::testing::Values(DecodeCase{"yuv420p", "ffv1", "mkv"}, DecodeCase{"yuv422p", "ffv1", "mkv"},
                                           DecodeCase{"yuv444p", "ffv1", "mkv"}, DecodeCase{"nv12", "rawvideo", "nut"},
                                           DecodeCase{"gray", "ffv1", "mkv"}, DecodeCase{"rgb24", "rawvideo", "nut"},
                                           DecodeCase{"bgra", "ffv1", "mkv"},
                                           DecodeCase{"yuv420p10le", "ffv1", "mkv"}),
                         [](const auto& info) { return std::string(info.param.pixelFormat); });

// The other direction: guarded worlds of every width into the encoder's frames (4:2:0
// for even sizes, 4:4:4 asked for odd ones), and back.
TEST_F(HostCliTest, EncodeFromGuardedWorldsOfEveryWidthFrom1To130) {
    InGuardedChild([&]() -> std::string {
        for (int w = 1; w <= kMaxWidth; ++w) {
            const int h = HeightFor(w);
            std::snprintf(gCase, sizeof gCase, "encoding %dx%d\n", w, h);
            host::MemoryClip clip(w, h);
            for (int f = 0; f < kFrames; ++f) clip.AddFrame(testsupport::PatternFrame(w, h, f + 1));
            const std::string path = Path("out/" + std::to_string(w) + ".mkv");
            std::string error;
            host::OutputSpec format{w, h, 30.0, 0, 0, 1};
            if (w % 2 != 0 || h % 2 != 0) format.pixelFormat = "yuv444p";  // 4:2:0 takes even sides only
            std::unique_ptr<host::OutputSink> sink = host::OpenOutput(path, format, &error);
            if (!sink) return gCase + error;
            GWorldPtr world = testsupport::NewTestWorld(w, h);
            for (int f = 0; f < kFrames && error.empty(); ++f)
                if (clip.ReadFrame(f, world, &error)) sink->Consume(f, world, {}, &error);
            DisposeGWorld(world);
            if (!error.empty() || !sink->Finish(&error)) return gCase + error;
            std::unique_ptr<host::FrameSource> back = host::OpenClip(path, {}, &error);
            if (!back || back->Width() != w || back->Height() != h || back->FrameCount() != kFrames)
                return gCase + std::string("not read back as written ") + error;
        }
        return "";
    });
}

// The real program on H.264 clips of the sizes people use, guard pages on through the
// environment: rendered to a video file (both directions) and opened in the dialog.
struct NamedSize {
    int width, height;
};

class CommonSizesUnderGuardPages : public HostCliTest, public ::testing::WithParamInterface<NamedSize> {};

TEST_P(CommonSizesUnderGuardPages, RenderAndConfigure) {
    MakeClip(Path("in/clip.mp4"), GetParam().width, GetParam().height, 6, true);
    fs::create_directories(prefs);
    for (const auto& args : {Job({"render", "@/in/clip.mp4", "@/out/clip.mkv"}),
                             Job({"configure", "@/in/clip.mp4", "--no-display", "--frame", "3"})}) {
        RunResult r = Host(args, RunOptions{120, {"TONEFADE_GUARD_PAGES=1"}});
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
    }
}

INSTANTIATE_TEST_SUITE_P(H264, CommonSizesUnderGuardPages,
                         ::testing::Values(NamedSize{854, 480}, NamedSize{1366, 768}, NamedSize{426, 240},
                                           NamedSize{640, 360}, NamedSize{202, 114}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

}  // namespace
}  // namespace hosttest
