// The host's argument parsing and its progress line.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "CommandLine.h"
#include "Progress.h"
#include "support/HostHarness.h"

namespace {

using host::UsageError;

struct SizeCase {
    const char* text;
    int width, height;  // 0: refused
};

TEST(CommandLine, SizesUpToWhatThePluginAddresses) {
    const SizeCase cases[] = {{"640x360", 640, 360}, {"1X1", 1, 1},       {"32767x32767", 32767, 32767},
                              {"32768x10", 0, 0},    {"10x0", 0, 0},      {"-4x4", 0, 0},
                              {"640", 0, 0},         {"640x", 0, 0},      {"x480", 0, 0},
                              {"640x480x2", 0, 0},   {"640 x 480", 0, 0}, {"1e3x10", 0, 0}};
    for (const SizeCase& c : cases) {
        int w = 0, h = 0;
        if (c.width == 0) {
            EXPECT_THROW(host::ParseSize("--size", c.text, &w, &h), UsageError) << c.text;
        } else {
            host::ParseSize("--size", c.text, &w, &h);
            EXPECT_EQ(w, c.width) << c.text;
            EXPECT_EQ(h, c.height) << c.text;
        }
    }
}

TEST(CommandLine, SlidersAreThreeNumbersFromZeroToOne) {
    float s[3] = {};
    host::ParseSliders("--sliders", "0,0.25,1", s);
    EXPECT_EQ(s[0], 0.0f);
    EXPECT_EQ(s[1], 0.25f);
    EXPECT_EQ(s[2], 1.0f);
    for (const char* bad : {"0.5,0.5", "0.5,0.5,0.5,0.5", "0.5,,0.5", "1.01,0,0", "-0.1,0,0", "a,b,c", "nan,0,0", ""})
        EXPECT_THROW(host::ParseSliders("--sliders", bad, s), UsageError) << bad;
}

TEST(CommandLine, IntegersWithinTheirRangeOnly) {
    EXPECT_EQ(host::ParseInteger("--n", "0", 0, 5), 0);
    EXPECT_EQ(host::ParseInteger("--n", "5", 0, 5), 5);
    for (const char* bad : {"6", "-1", "", "2.0", "3x", "99999999999999999999"})
        EXPECT_THROW(host::ParseInteger("--n", bad, 0, 5), UsageError) << bad;
    try {
        host::ParseInteger("--fade-in", "-1", 0, 9);
        FAIL();
    } catch (const UsageError& e) {
        EXPECT_STREQ(e.what(), "--fade-in takes a whole number from 0 to 9, not '-1'");
    }
}

TEST(CommandLine, OptionsValuesSwitchesAndPositionals) {
    const char* argv[] = {"tonefade-host", "render", "in.mp4", "--start=3", "--quiet", "--frames", "7", "--",
                          "--odd-name.mkv"};
    host::Args args(9, const_cast<char**>(argv), 2, {"--quiet"}, {"--start", "--frames"});
    EXPECT_EQ(args.Positional(), (std::vector<std::string>{"in.mp4", "--odd-name.mkv"}));
    EXPECT_EQ(args.Value("--start"), "3");
    EXPECT_EQ(args.Value("--frames"), "7");
    EXPECT_TRUE(args.Has("--quiet"));
    EXPECT_FALSE(args.Has("--proxy"));
    const char* unknown[] = {"tonefade-host", "render", "--quiet=1"};
    EXPECT_THROW(host::Args(3, const_cast<char**>(unknown), 2, {"--quiet"}, {}), UsageError);
    const char* dangling[] = {"tonefade-host", "render", "--start"};
    EXPECT_THROW(host::Args(3, const_cast<char**>(dangling), 2, {}, {"--start"}), UsageError);
}

TEST(CommandLine, MistakesNameWhatIsMissing) {
    struct Case {
        std::vector<const char*> argv;  // after the command
        const char* message;
    } const cases[] = {
        {{"--fade-in", "--prefs-dir", "p1"}, "--fade-in needs a value"},
        {{"--fade-in", "--quiet"}, "--fade-in needs a value"},
        {{"--fade-in", "--prefs-dir=p1"}, "--fade-in needs a value"},
        {{"in.mp4", "--fade-in"}, "--fade-in needs a value"},
        {{}, "missing INPUT and OUTPUT"},
        {{"in.mp4"}, "missing OUTPUT"},
        {{"in.mp4", "out.mkv", "more.mkv"}, "unexpected argument more.mkv"},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("tonefade-host"), const_cast<char*>("render")};
        for (const char* a : c.argv) argv.push_back(const_cast<char*>(a));
        try {
            host::Args args(int(argv.size()), argv.data(), 2, {"--quiet"}, {"--fade-in", "--prefs-dir"});
            args.ExpectPositional({"INPUT", "OUTPUT"});
            ADD_FAILURE() << "accepted; expected: " << c.message;
        } catch (const UsageError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    // A value that only looks like an option is a value.
    const char* negative[] = {"tonefade-host", "render", "--fade-in", "-1", "--prefs-dir", "--odd"};
    host::Args args(6, const_cast<char**>(negative), 2, {"--quiet"}, {"--fade-in", "--prefs-dir"});
    EXPECT_EQ(args.Value("--fade-in"), "-1");
    EXPECT_EQ(args.Value("--prefs-dir"), "--odd");
}

// info --json on clips whose names are not UTF-8: the output parses, each stray byte
// becomes U+FFFD, and well-formed characters stay as they are.
class InfoJsonNames : public hosttest::HostCliTest {};

TEST_F(InfoJsonNames, ParseWhateverBytesTheNamesHold) {
    if (std::system("python3 -c pass >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 is not installed";
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string bytes, decoded;
    } const cases[] = {
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC"},
        {"latin1 \xE9t\xE9", "latin1 " + fffd + "t" + fffd},
        {"stray \x80 \xBF \xFF \xFE", "stray " + fffd + " " + fffd + " " + fffd + " " + fffd},
        {"overlong \xC0\xAF \xE0\x80\xAF", "overlong " + fffd + fffd + " " + fffd + fffd + fffd},
        {"surrogate \xED\xA0\x80", "surrogate " + fffd + fffd + fffd},
        {"beyond \xF4\x90\x80\x80", "beyond " + fffd + fffd + fffd + fffd},
        {"cut \xE2\x82", "cut " + fffd + fffd},
        {"quote \" backslash \\ tab \t", "quote \" backslash \\ tab \t"},
        {std::string(200, 'd') + "/" + std::string(200, 'e') + "/\xFF", std::string(200, 'd') + "/" +
                                                                        std::string(200, 'e') + "/" + fffd},
    };
    const std::string parse =
        "import json, sys\n"
        "clip = json.load(open(sys.argv[1], encoding='utf-8'))['clip']['path']\n"
        "sys.stdout.buffer.write(clip.encode('utf-8'))\n";
    for (const Case& c : cases) {
        std::filesystem::create_directories(dir / c.bytes);
        hosttest::WritePpm(Path(c.bytes + "/0000.ppm"), hosttest::Pattern(8, 8, 1));
        const std::string input = Path(c.bytes + "/%04d.ppm");
        hosttest::RunResult info = hosttest::Host({"info", input, "--json", "--prefs-dir", Path("out")});
        ASSERT_EQ(info.status, 0) << info.err;
        std::ofstream(Path("info.json"), std::ios::binary | std::ios::trunc) << info.out;
        hosttest::RunResult read = hosttest::RunProgram("/usr/bin/env", {"python3", "-c", parse, Path("info.json")});
        EXPECT_EQ(read.status, 0) << "not JSON: " << info.out << read.err;
        EXPECT_EQ(read.out, Path(c.decoded + "/%04d.ppm")) << c.decoded;
    }
}

// The line fits the terminal with a column to spare; the bar takes the rest, or goes.
TEST(ProgressBar, ShowsDoneOfTotalRateAndTimeLeftInTheTerminalsWidth) {
    const std::string text = " 150/300 frames  50.0 fps  0:03 left";  // 36 characters
    const struct {
        int columns;
        std::string line;
    } cases[] = {
        {49, "[#####-----]" + text},  // 48 = 12 + 36: the narrowest with a bar of 10
        {48, text.substr(1)},         // a bar of 9: none
        {20, text.substr(1, 19)},
        {1, text.substr(1, 1)},
        {89, "[" + std::string(25, '#') + std::string(25, '-') + "]" + text},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host::ProgressBar::Line(150, 300, 3.0, c.columns), c.line) << c.columns;
        EXPECT_LE(int(c.line.size()), std::max(1, c.columns - 1));
    }
    EXPECT_EQ(host::ProgressBar::Line(300, 300, 6.0, 38), "[##########] 300/300 frames  50.0 fps");
    EXPECT_EQ(host::ProgressBar::Line(0, 300, 0.0, 35), "[----------] 0/300 frames  0.0 fps");
}

// ffmpeg's -progress blocks: out_time from the frames and the rate, not the clock.
TEST(ProgressReport, BlocksAsFFmpegWritesThem) {
    EXPECT_EQ(host::ProgressReport::Block(3600 * 30 + 45, 10.0, 30000.0 / 1001, false),
              "frame=108045\nfps=10804.50\nout_time_us=3605101500\nout_time=01:00:05.101500\nspeed=361x\n"
              "progress=continue\n");
    EXPECT_EQ(host::ProgressReport::Block(0, 0.0, 25, true),
              "frame=0\nfps=0.00\nout_time_us=0\nout_time=00:00:00.000000\nspeed=0x\nprogress=end\n");
}

}  // namespace
