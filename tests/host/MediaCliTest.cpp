// tonefade-host on the outputs people name and the inputs the ffmpeg program makes: every
// type of output is written (its sound converted to a rate the container takes, or left
// out with a warning) or refused with one line before any frame is rendered; names with
// a colon are files; the input's orientation reaches the output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "CliHarness.h"
#include "FfmpegCli.h"
#include "VideoReader.h"

extern "C" {
#include <libavutil/display.h>
}

namespace hosttest {
namespace {

namespace fs = std::filesystem;

long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

double Rms(const std::vector<int16_t>& samples) {
    double power = 0;
    for (int16_t s : samples) power += double(s) * s;
    return samples.empty() ? 0.0 : std::sqrt(power / double(samples.size()));
}

// 10 frames of 96x72 H.264 with a 440 Hz tone at 44.1 kHz, the rate of CD audio, which
// Opus (WebM) does not take.
void MakeClip(const std::string& path) {
    Ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=96x72:r=30", "-f", "lavfi", "-i", "sine=f=440:r=44100", "-frames:v",
            "10", "-t", "0.334", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac",
            path});
}

struct OutputCase {
    const char* output;  // a name in out/
    int status;
    const char* says;    // in the one line on standard error; "" for none
    int sampleRate;      // of the written file's sound; 0 for none
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.output; }

class OutputTypes : public HostCliTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(OutputTypes, WrittenWholeOrRefusedInOneLineBeforeAnyFrame) {
    const OutputCase& c = GetParam();
    MakeClip(Path("in/clip.mp4"));
    fs::create_directories(prefs);
    RunResult r = Host({"render", Path("in/clip.mp4"), Path(std::string("out/") + c.output), "--prefs-dir", prefs,
                        "--quiet"});
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(Lines(r.err), *c.says ? 1 : 0) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    if (c.status != 0) {
        EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{});
        return;
    }
    ASSERT_EQ(Listing(dir / "out"), std::vector<std::string>{c.output});
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

INSTANTIATE_TEST_SUITE_P(
    Render, OutputTypes,
    ::testing::Values(
        OutputCase{"clip.webm", 0, "", 48000}, OutputCase{"clip.3gp", 0, "", 44100},
        OutputCase{"clip.mkv", 0, "", 44100}, OutputCase{"100%.mkv", 0, "", 44100},
        OutputCase{"clip.mjpeg", 0, "clip.mjpeg: this type of file holds no sound; the clip's sound is left out", 0},
        OutputCase{"one.png", 2, "one.png: one image file cannot hold a clip", 0},
        OutputCase{"one.jpg", 2, "one image file cannot hold a clip", 0},
        OutputCase{"one.bmp", 2, "one image file cannot hold a clip", 0},
        OutputCase{"one.tiff", 2, "one image file cannot hold a clip", 0},
        OutputCase{"one.ppm", 2, "one image file cannot hold a clip", 0},
        OutputCase{"one.pam", 2, "one image file cannot hold a clip", 0},
        OutputCase{"f%010d.png", 2, "f%010d.png: not a frame pattern", 0},
        OutputCase{"f%d_%d.png", 2, "not a frame pattern", 0}, OutputCase{"f%03x.png", 2, "not a frame pattern", 0},
        OutputCase{"list.m3u8", 2, "list.m3u8: the hls output writes several files", 0},
        OutputCase{"manifest.mpd", 2, "the dash output writes several files", 0},
        OutputCase{"sound.wav", 2, "sound.wav: this type of file holds no video", 0},
        OutputCase{"sound.mp3", 2, "this type of file holds no video", 0},
        OutputCase{"anim.gif", 2, "anim.gif: the gif encoder writes no more than 256 colours", 0},
        OutputCase{"clip.h261", 1, "clip.h261: the h261 encoder refused these frames (invalid argument)", 0}),
    [](const auto& info) {
        std::string name = info.param.output;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

// Runs the program in the scratch folder, where names are given without a folder.
class InFolder {
public:
    explicit InFolder(const fs::path& folder) : saved_(fs::current_path()) { fs::current_path(folder); }
    ~InFolder() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

TEST_F(HostCliTest, NamesWithAColonAreFilesNotProtocols) {
    MakeClip(Path("take1:clip.mp4"));
    fs::create_directories(prefs);
    InFolder here(dir);
    for (const char* output : {"take1:final.mp4", "take1:%02d.png"}) {
        RunResult r = Host({"render", "take1:clip.mp4", output, "--prefs-dir", prefs, "--quiet", "--frames", "2"});
        EXPECT_EQ(r.status, 0) << output << ": " << r.err;
    }
    EXPECT_TRUE(fs::is_regular_file("take1:final.mp4"));
    EXPECT_TRUE(fs::is_regular_file("take1:01.png"));
}

struct RotationCase {
    int degrees;
    const char* output;
};

void PrintTo(const RotationCase& c, std::ostream* os) { *os << c.degrees << " " << c.output; }

class Orientation : public HostCliTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(Orientation, TheInputsDisplayMatrixReachesTheOutput) {
    // As a phone's clip: the frames as the sensor saw them, and a matrix that turns them.
    MakeClip(Path("in/plain.mp4"));
    Ffmpeg({"-i", Path("in/plain.mp4"), "-c", "copy", "-metadata:s:v:0", "rotate=" + std::to_string(GetParam().degrees),
            Path("in/turned.mp4")});
    fs::create_directories(prefs);
    const std::string out = Path(std::string("out/") + GetParam().output);
    RunResult r = Host({"render", Path("in/turned.mp4"), out, "--prefs-dir", prefs, "--quiet"});
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
