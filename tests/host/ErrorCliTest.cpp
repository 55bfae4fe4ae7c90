// tonefade-host's failures: each gives one clear message naming the file and the
// problem, exit status 2 for wrong usage and 1 for a failed job, and leaves no output
// (not even a temporary file) behind.
#include <gtest/gtest.h>

#include <fstream>

#include "CliHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

struct ErrorCase {
    const char* name;
    std::vector<std::string> args;  // "@" is replaced by the test's folder
    int status;
    const char* message;
};

class HostErrors : public HostCliTest, public ::testing::WithParamInterface<ErrorCase> {
protected:
    void SetUp() override {
        HostCliTest::SetUp();
        WriteSettings(100, "0,0,1,1");
        WriteSequence("ppm", 4, 64, 48);
        std::ofstream(Path("in/junk.mp4")) << "this is not a video\n";
        // A sequence whose frame 2 is damaged, and one whose frame 1 has another size.
        fs::create_directories(dir / "bad");
        fs::create_directories(dir / "mixed");
        for (int i = 0; i < 4; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/%04d.ppm", i);
            fs::copy_file(Path("in") + name, Path("bad") + name);
            WritePpm(Path("mixed") + name, Pattern(i == 1 ? 32 : 64, i == 1 ? 32 : 48, i));
        }
        std::ofstream(Path("bad/0002.ppm"), std::ios::trunc) << "P6\n64 48\n255\nshort";
    }
};

TEST_P(HostErrors, ReportsAndLeavesNothing) {
    const ErrorCase& c = GetParam();
    std::vector<std::string> args;
    for (std::string a : c.args) {
        for (std::size_t at; (at = a.find('@')) != std::string::npos;) a.replace(at, 1, dir.string());
        args.push_back(a);
    }
    if (args.size() > 1 && args[0] != "info") args.insert(args.begin() + 1, {"--prefs-dir", prefs});
    RunResult r = Host(args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
    EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(dir / "nofolder"));
}

const ErrorCase kErrors[] = {
    {"MissingInput", {"render", "@/in/nothere.mp4", "@/out/x.mkv"}, 1, "in/nothere.mp4: no such file"},
    {"FolderAsInput", {"render", "@/in", "@/out/x.mkv"}, 1, "is a folder"},
    {"NotAVideo", {"render", "@/in/junk.mp4", "@/out/x.mkv"}, 1, "in/junk.mp4: not a video file"},
    {"PatternMatchesNothing", {"render", "@/in/none_%04d.png", "@/out/x.mkv"}, 1, "no file matches the pattern"},
    {"OutputFolderMissing", {"render", "@/in/%04d.ppm", "@/nofolder/x.mkv"}, 1, "does not exist"},
    {"SequenceFolderMissing", {"render", "@/in/%04d.ppm", "@/nofolder/%04d.png"}, 1, "does not exist"},
    {"DamagedFrame", {"render", "@/bad/%04d.ppm", "@/out/%04d.ppm"}, 1, "bad/0002.ppm"},
    {"DamagedFrameNamesTheCall", {"render", "@/bad/%04d.ppm", "@/out/x.mkv"}, 1, "kPlugDoFrame with kPlugin"},
    {"FrameOfAnotherSize", {"render", "@/mixed/%04d.ppm", "@/out/%04d.ppm"}, 1, "mixed/0001.ppm: 32x32, but"},
    {"MissingBundle", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--plugin", "@/none.bundle"}, 1, "no plug-in bundle"},
    {"MissingPrefsFolder", {"info", "--prefs-dir", "@/noprefs"}, 1, "noprefs: the preferences folder does not exist"},
    {"NegativeFade", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--fade-in", "-1"}, 2, "--fade-in takes"},
    {"FadeNotANumber", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--fade-out", "3x"}, 2, "--fade-out takes"},
    {"SliderAboveOne", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--sliders", "0.5,2,0"}, 2, "--sliders"},
    {"TwoSliders", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--sliders", "0.5,0.5"}, 2, "three numbers"},
    {"SizeBeyond16Bits", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--size", "32768x100"}, 2, "32767"},
    {"SizeWithoutX", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--size", "640"}, 2, "WIDTHxHEIGHT"},
    {"TooManyPixels", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--size", "32767x32767"}, 2, "more pixels"},
    {"StartPastEnd", {"render", "@/in/%04d.ppm", "@/out/%04d.ppm", "--start", "4"}, 2, "past the end"},
    {"SegmentPastEnd", {"render", "@/in/%04d.ppm", "@/out/%04d.ppm", "--start", "2", "--frames", "3"}, 2,
     "reaches past the end"},
    {"NoFrames", {"render", "@/in/%04d.ppm", "@/out/%04d.ppm", "--frames", "0"}, 2, "--frames takes"},
    {"UnknownOutputType", {"render", "@/in/%04d.ppm", "@/out/x.xyz"}, 2, "unknown type of output"},
    {"LossySequence", {"render", "@/in/%04d.ppm", "@/out/%04d.jpg"}, 2, ".png, .ppm or .pam"},
    {"OutputIsInput", {"render", "@/in/0000.ppm", "@/in/0000.ppm"}, 2, "same file"},
    {"UnknownOption", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--bogus"}, 2, "unknown option --bogus"},
    {"MissingValue", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--start"}, 2, "--start needs a value"},
    {"MissingOutput", {"render", "@/in/%04d.ppm"}, 2, "render: missing OUTPUT ("},
    {"MissingInputAndOutput", {"render"}, 2, "missing INPUT and OUTPUT"},
    {"ThumbnailMissingOutput", {"thumbnail", "@/in/%04d.ppm"}, 2, "thumbnail: missing OUTPUT.png ("},
    {"ConfigureMissingInput", {"configure"}, 2, "configure: missing INPUT ("},
    {"ValueMissingBeforeOption", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--fade-in", "--prefs-dir", "@/p1"}, 2,
     "--fade-in needs a value"},
    {"ValueMissingBeforeSwitch", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--start", "--quiet"}, 2,
     "--start needs a value"},
    {"DashIsAFileName", {"render", "-", "@/out/x.mkv"}, 1, "-: no such file"},
    {"ConfigureDamagedFrame", {"configure", "@/bad/%04d.ppm", "--frame", "2", "--no-display"}, 1,
     "bad/0002.ppm: not a readable PPM image"},
    {"ConfigureDamagedFrameNamesTheCall", {"configure", "@/bad/%04d.ppm", "--frame", "2", "--no-display"}, 1,
     "; the plug-in answered kPlugDoFrame with kPlugin"},
    {"UnknownCommand", {"transcode", "@/in/%04d.ppm"}, 2, "unknown command transcode"},
    {"ThumbnailPastEnd", {"thumbnail", "@/in/%04d.ppm", "@/out/t.png", "--frame", "4"}, 2, "past the end"},
    {"ThumbnailNotAnImage", {"thumbnail", "@/in/%04d.ppm", "@/out/t.mkv"}, 2, "one .png"},
    {"ThumbnailDamagedFrame", {"thumbnail", "@/bad/%04d.ppm", "@/out/t.png", "--frame", "2"}, 1, "bad/0002.ppm"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostErrors, ::testing::ValuesIn(kErrors),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hosttest
