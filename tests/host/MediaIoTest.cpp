// The host's video input and output in process: sequence patterns, each frame's share
// of the audio, video files written and read back, seeking, and output that only
// appears when it is finished.
#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <cmath>
#include <numbers>

#include "AudioReader.h"
#include "quickdraw/QuickDraw.h"
#include "ImageSequence.h"
#include "VideoReader.h"
#include "VideoWriter.h"
#include "support/Frames.h"
#include "support/HostHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

struct PatternCase {
    const char* pattern;
    bool valid;
    const char* seven;  // the file of frame 7
};

TEST(SequencePattern, DirectivesAndEscapes) {
    const PatternCase cases[] = {
        {"a/%04d.png", true, "a/0007.png"},      {"%d.ppm", true, "7.ppm"},
        {"f%%_%03d.pam", true, "f%_007.pam"},    {"%4d.png", true, "0007.png"},
        {"%04d_%04d.png", false, nullptr},       {"%s.png", false, nullptr},
        {"plain.png", false, nullptr},           {"100%.png", false, nullptr},
        {"%012d.png", false, nullptr},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(host::IsSequencePattern(c.pattern), c.valid) << c.pattern;
        if (c.valid) {
            EXPECT_EQ(host::SequenceFileName(c.pattern, 7), c.seven) << c.pattern;
        }
    }
}

TEST(FrameSamples, FramesShareTheTrackWithoutGapOrOverlap) {
    const std::pair<int, double> rates[] = {{48000, 30.0}, {44100, 30000.0 / 1001.0}, {48000, 25.0}, {22050, 24.0}};
    for (auto [rate, fps] : rates) {
        int64_t next = 0;
        for (int i = 0; i < 1000; ++i) {
            host::SampleRange r = host::FrameSamples(i, rate, fps);
            ASSERT_EQ(r.first, next) << rate << " Hz at " << fps << " fps, frame " << i;
            EXPECT_NEAR(double(r.count), rate / fps, 1.0);
            next = r.first + r.count;
        }
        EXPECT_EQ(next, std::llround(1000 * rate / fps));
    }
}

// A clip of moving colour with a tone on both channels.
host::MemoryClip ToneClip(int width, int height, int frames) {
    host::MemoryClip clip(width, height);
    for (int f = 0; f < frames; ++f) {
        std::vector<UInt8> argb(std::size_t(width) * std::size_t(height) * 4);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                UInt8* p = &argb[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
                p[0] = 255, p[1] = UInt8(x * 2 + f * 8), p[2] = UInt8(y * 3), p[3] = UInt8((x + y) / 2 + f * 5);
            }
        host::SampleRange share = host::FrameSamples(f, 48000, 30.0);
        std::vector<int16_t> audio(std::size_t(share.count) * 2);
        for (int64_t s = 0; s < share.count; ++s)
            audio[std::size_t(s) * 2] = audio[std::size_t(s) * 2 + 1] =
                int16_t(8000 * std::sin(2 * std::numbers::pi * 440.0 * double(share.first + s) / 48000.0));
        clip.AddFrame(std::move(argb), std::move(audio));
    }
    return clip;
}

void WriteClip(host::FrameSource& clip, const std::string& path, bool withAudio = true) {
    host::OutputSpec fileSpec{clip.Width(), clip.Height(), clip.FrameRate(), withAudio ? clip.AudioSampleRate() : 0,
                          withAudio ? clip.AudioChannels() : 0, 1};
    std::string error;
    std::unique_ptr<host::OutputSink> sink = host::OpenOutput(path, fileSpec, &error);
    ASSERT_TRUE(sink) << error;
    GWorldPtr world = testsupport::NewTestWorld(clip.Width(), clip.Height());
    for (int i = 0; i < clip.FrameCount(); ++i) {
        ASSERT_TRUE(clip.ReadFrame(i, world, &error)) << error;
        ASSERT_TRUE(sink->Consume(i, world, clip.FrameAudio(i), &error)) << error;
    }
    DisposeGWorld(world);
    ASSERT_TRUE(sink->Finish(&error)) << error;
}

std::vector<UInt8> ReadPixels(host::FrameSource& clip, int index) {
    GWorldPtr world = testsupport::NewTestWorld(clip.Width(), clip.Height());
    std::string error;
    EXPECT_TRUE(clip.ReadFrame(index, world, &error)) << error;
    std::vector<UInt8> pixels = testsupport::WorldPixels(world);
    DisposeGWorld(world);
    return pixels;
}

double MeanError(const std::vector<UInt8>& a, const std::vector<UInt8>& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

class VideoFiles : public HostCliTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(VideoFiles, ReadBackWithFramesSoundAndRate) {
    host::MemoryClip clip = ToneClip(96, 64, 24);
    const std::string path = Path(std::string("out/clip") + GetParam());
    WriteClip(clip, path);
    EXPECT_EQ(FolderEntries(dir / "out"), std::vector<std::string>{fs::path(path).filename().string()});
    std::string error;
    std::unique_ptr<host::FrameSource> back = host::OpenClip(path, host::ReaderOptions{1, 30}, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(std::make_tuple(back->FrameCount(), back->Width(), back->Height(), back->AudioSampleRate(),
                              back->AudioChannels()), std::make_tuple(24, 96, 64, 48000, 2));
    EXPECT_NEAR(back->FrameRate(), 30.0, 1e-6);
    for (int i : {0, 11, 23}) EXPECT_LT(MeanError(ReadPixels(*back, i), clip.Pixels(i)), 6.0) << "frame " << i;
    // The tone comes back at about its level in a frame well inside the clip.
    std::vector<int16_t> audio = back->FrameAudio(12);
    ASSERT_EQ(audio.size(), 1600u * 2);
    EXPECT_NEAR(Rms(audio), 8000 / std::sqrt(2.0), 800);
}

TEST_P(VideoFiles, FramesReadOutOfOrderMatchTheSameFramesReadInOrder) {
    // Three seconds: key frames at 0 and 60, so reading 70 or 75 seeks into the middle.
    host::MemoryClip clip = ToneClip(64, 48, 90);
    const std::string path = Path(std::string("out/long") + GetParam());
    WriteClip(clip, path, false);
    std::string error;
    auto inOrder = host::OpenClip(path, {}, &error);
    ASSERT_TRUE(inOrder) << error;
    ASSERT_EQ(inOrder->FrameCount(), 90);
    std::vector<std::vector<UInt8>> frames;
    for (int i = 0; i < 90; ++i) frames.push_back(ReadPixels(*inOrder, i));
    auto jumping = host::OpenClip(path, {}, &error);
    for (int i : {70, 3, 89, 0, 40, 41, 10, 75})
        EXPECT_EQ(ReadPixels(*jumping, i), frames[std::size_t(i)]) << "frame " << i;
}

// x264's pictures stay in small pages once its encoder is open (fresh huge pages are
// slow to fault in on a virtual machine); other encoders leave the process as it was.
TEST_F(HostCliTest, OnlyTheX264EncoderGivesUpHugePages) {
    const std::pair<const char*, int> cases[] = {{"out/clip.mp4", 1}, {"out/clip.avi", 0}, {"out/clip.mkv", 1}};
    for (auto [name, smallPages] : cases) {
        ASSERT_EQ(::prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0), 0);
        host::MemoryClip clip = ToneClip(64, 48, 2);
        WriteClip(clip, Path(name), false);
        EXPECT_EQ(::prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0), smallPages) << name;
    }
    ::prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0);
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoFiles, ::testing::Values(".mp4", ".mkv", ".mov"),
                         [](const auto& info) { return std::string(info.param + 1); });

TEST_F(HostCliTest, UnfinishedOutputLeavesNothing) {
    host::MemoryClip clip = ToneClip(64, 48, 3);
    for (const char* name : {"out/x.mp4", "out/%04d.png", "out/%04d.pam"}) {
        std::string error;
        auto sink = host::OpenOutput(Path(name), {64, 48, 30.0, 48000, 2, 1}, &error);
        ASSERT_TRUE(sink) << error;
        GWorldPtr world = testsupport::NewTestWorld(64, 48);
        ASSERT_TRUE(clip.ReadFrame(0, world, &error));
        ASSERT_TRUE(sink->Consume(0, world, clip.FrameAudio(0), &error)) << error;
        DisposeGWorld(world);
        EXPECT_FALSE(FolderEntries(dir / "out").empty()) << name << ": the frame is being written somewhere";
        for (const std::string& file : FolderEntries(dir / "out")) EXPECT_EQ(file.back(), 't') << file << " is temporary";
        sink.reset();
        EXPECT_EQ(FolderEntries(dir / "out"), std::vector<std::string>{}) << name;
    }
}

TEST_F(HostCliTest, ProxyRendersSmallFramesWithoutSound) {
    WriteSettings(100, "0,0,1,1");
    host::MemoryClip clip = ToneClip(640, 480, 12);
    WriteClip(clip, Path("in/clip.mkv"));
    for (bool proxy : {false, true}) {
        std::string out = Path(proxy ? "out/proxy.mkv" : "out/full.mkv");
        RunResult r = Host(Job(proxy ? std::vector<std::string>{"render", "@/in/clip.mkv", out, "--proxy"}
                                     : std::vector<std::string>{"render", "@/in/clip.mkv", out}));
        ASSERT_EQ(r.status, 0) << r.err;
        std::string error;
        auto back = host::OpenClip(out, {}, &error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(std::make_pair(back->Width(), back->Height()),
                  proxy ? std::make_pair(320, 240) : std::make_pair(640, 480));
        int loudest = 0;
        for (int i = 0; i < back->FrameCount(); ++i)
            for (int16_t s : back->FrameAudio(i)) loudest = std::max(loudest, std::abs(int(s)));
        if (proxy) {
            EXPECT_LE(loudest, 1) << "the plug-in mixes no audio for a proxy";
        } else {
            EXPECT_GT(loudest, 6000);
        }
    }
}

}  // namespace
}  // namespace hosttest
