// tonefade-host on the outputs people name and the inputs the ffmpeg program makes: every
// type of output is written, its sound converted to a rate the container takes or left
// out with a warning; names with a colon are files; the input's orientation reaches the
// output.
#include <gtest/gtest.h>

#include <cmath>

#include "VideoReader.h"
#include "support/HostHarness.h"

extern "C" {
#include <libavutil/display.h>
}

namespace hosttest {
namespace {

namespace fs = std::filesystem;

// Every type of output the host writes: the clip's frames, and its sound at a rate the
// container takes, or left out with a warning. (The types it refuses are rows of
// tests/reliability/HostBadInputTest.cpp.)
struct OutputCase {
    const char* output;  // a name in out/
    const char* says;    // the one line on standard error; "" for none
    int sampleRate;      // of the written file's sound; 0 for none
};

class OutputTypes : public HostCliTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(OutputTypes, WrittenWholeWithTheirSound) {
    const OutputCase& c = GetParam();
    MakeClip(Path("in/clip.mp4"), 96, 72, 10);
    fs::create_directories(prefs);
    RunResult r = Host(Job({"render", "@/in/clip.mp4", std::string("@/out/") + c.output}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(LineCount(r.err), *c.says ? 1 : 0) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    ASSERT_EQ(FolderEntries(dir / "out"), std::vector<std::string>{c.output});
    std::string error;
    auto in = host::OpenClip(Path("in/clip.mp4"), {}, &error);
    auto out = host::OpenClip(Path(std::string("out/") + c.output), {}, &error);
    ASSERT_TRUE(in && out) << error;
    EXPECT_EQ(out->FrameCount(), in->FrameCount());
    EXPECT_EQ(out->AudioSampleRate(), c.sampleRate);
    // The tone at about its level in a frame inside the clip, whatever the rate.
    if (c.sampleRate != 0) {
        EXPECT_NEAR(Rms(out->FrameAudio(5)), Rms(in->FrameAudio(5)), 0.2 * Rms(in->FrameAudio(5)));
    }
}

// Opus (WebM) does not take 44.1 kHz, the rate of CD audio.
INSTANTIATE_TEST_SUITE_P(Render, OutputTypes,
                         ::testing::Values(OutputCase{"clip.webm", "", 48000}, OutputCase{"clip.3gp", "", 44100},
                                           OutputCase{"clip.mkv", "", 44100}, OutputCase{"100%.mkv", "", 44100},
                                           OutputCase{"clip.mjpeg", "clip.mjpeg: this type of file holds no sound; "
                                                                    "the clip's sound is left out", 0}),
                         [](const auto& info) { return testsupport::Replaced(
                                                    testsupport::Replaced(info.param.output, ".", "_"), "%", "_"); });

// Runs the program in the scratch folder, where names are given without a folder.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : saved_(fs::current_path()) { fs::current_path(folder); }
    ~InFolder() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

TEST_F(HostCliTest, NamesWithAColonAreFilesNotProtocols) {
    MakeClip(Path("take1:clip.mp4"), 96, 72, 10);
    fs::create_directories(prefs);
    InFolder here(dir);
    for (const char* output : {"take1:final.mp4", "take1:%02d.png"}) {
        RunResult r = Host(Job({"render", "take1:clip.mp4", output, "--frames", "2"}));
        EXPECT_EQ(r.status, 0) << output << ": " << r.err;
    }
    EXPECT_TRUE(fs::is_regular_file("take1:final.mp4"));
    EXPECT_TRUE(fs::is_regular_file("take1:01.png"));
}

struct RotationCase {
    int degrees;
    const char* output;
};

class Orientation : public HostCliTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(Orientation, TheInputsDisplayMatrixReachesTheOutput) {
    // As a phone's clip: the frames as the sensor saw them, and a matrix that turns them.
    MakeClip(Path("in/plain.mp4"), 96, 72, 10);
    Ffmpeg({"-i", Path("in/plain.mp4"), "-c", "copy", "-metadata:s:v:0", "rotate=" + std::to_string(GetParam().degrees),
            Path("in/turned.mp4")});
    fs::create_directories(prefs);
    const std::string out = Path(std::string("out/") + GetParam().output);
    RunResult r = Host(Job({"render", "@/in/turned.mp4", out}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string error;
    auto in = host::OpenClip(Path("in/turned.mp4"), {}, &error);
    auto back = host::OpenClip(out, {}, &error);
    ASSERT_TRUE(in && back) << error;
    std::vector<int32_t> matrix = in->DisplayMatrix();
    ASSERT_EQ(matrix.size(), 9u);
    EXPECT_NEAR(std::fmod(av_display_rotation_get(matrix.data()) + 360.0, 360.0), GetParam().degrees, 0.01);
    EXPECT_EQ(back->DisplayMatrix(), matrix);
}

INSTANTIATE_TEST_SUITE_P(Rotations, Orientation,
                         ::testing::Values(RotationCase{90, "clip.mp4"}, RotationCase{180, "clip.mp4"},
                                           RotationCase{270, "clip.mp4"}, RotationCase{90, "clip.mov"},
                                           RotationCase{270, "clip.mov"}),
                         [](const auto& info) {
                             return std::to_string(info.param.degrees) + "_" +
                                    std::string(info.param.output).substr(5);
                         });

}  // namespace
}  // namespace hosttest
