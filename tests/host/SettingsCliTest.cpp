// ffmpeg users' habits end to end: the settings command (shown, set, kept as a JSON
// preset and applied again, used by a render), -y/-n and the question on a terminal
// before an output is replaced, and --version.
#include <gtest/gtest.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "support/HostHarness.h"
#include "support/Pty.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

std::string Frame(const std::string& folder, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "/%04d.ppm", i);
    return folder + name;
}

class SettingsCliTest : public HostCliTest {
protected:
    SettingsCliTest() { fs::create_directories(prefs); }
    RunResult Settings(std::vector<std::string> args) {
        args.insert(args.begin(), "settings");
        args.insert(args.end(), {"--prefs-dir", prefs});
        return Host(args);
    }
    nlohmann::json Json() {
        const RunResult r = Settings({"--json"});
        EXPECT_EQ(r.status, 0) << r.err;
        return nlohmann::json::parse(r.out);
    }
};

TEST_F(SettingsCliTest, SetShowKeepAsPresetApplyAgainAndRenderWithThem) {
    // Fresh: the defaults, and the warning that nothing will change.
    RunResult fresh = Settings({"--size", "64x48"});
    ASSERT_EQ(fresh.status, 0) << fresh.err;
    EXPECT_NE(fresh.out.find("nothing saved: the defaults"), std::string::npos) << fresh.out;
    EXPECT_NE(fresh.err.find("warning: the amount is 0, so nothing will change"), std::string::npos) << fresh.err;

    RunResult set = Settings({"--amount", "60", "--rect", "0.25,0.25,0.75,0.75", "--format", "pal", "--size", "64x48"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.err, "");
    for (const char* line : {"amount     60 %\n", "rectangle  left 0.25, top 0.25, right 0.75, bottom 0.75",
                             "pixels     left 16, top 12, right 48, bottom 36 on a 64x48 frame\n", "format     pal\n"})
        EXPECT_NE(set.out.find(line), std::string::npos) << set.out;

    const nlohmann::json shown = Json();
    EXPECT_EQ(shown["amount"], 60);
    EXPECT_EQ(shown["rect"], (nlohmann::json{{"left", 0.25}, {"top", 0.25}, {"right", 0.75}, {"bottom", 0.75}}));
    EXPECT_EQ(shown["pixels"]["size"], "720x576");  // the format's frame without --size
    EXPECT_EQ(shown["pixels"]["bottom"], 432);
    EXPECT_EQ(shown["file"], prefs + "/vardo-Prefs");
    std::ofstream(Path("preset.json")) << shown.dump();

    // An odd fraction survives the text and the JSON exactly.
    ASSERT_EQ(Settings({"--reset", "--rect", "0.1,0.2,0.3,0.30000000000000004"}).status, 0);
    EXPECT_EQ(Json()["rect"]["bottom"].get<double>(), 0.30000000000000004);
    EXPECT_EQ(Json()["amount"], 0);

    ASSERT_EQ(Settings({"--json", Path("preset.json")}).status, 0);
    EXPECT_EQ(Json(), shown);
    // From standard input, and single settings over the preset.
    RunResult piped = RunProgram("/bin/sh", {"-c", "exec \"$0\" settings --prefs-dir \"$1\" --json - --amount 30 < \"$2\"",
                                             HostBinary(), prefs, Path("preset.json")});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(Json()["amount"], 30);
    EXPECT_EQ(Json()["format"], "pal");

    // A render uses them and says so.
    const std::vector<Image> in = WriteSequence("ppm", 2, 64, 48);
    RunResult render = Host({"render", Path("in/%04d.ppm"), Path("out/%04d.ppm"), "--prefs-dir", prefs});
    ASSERT_EQ(render.status, 0) << render.err;
    EXPECT_NE(render.err.find("settings: amount 30 %, rectangle 0.25,0.25,0.75,0.75 (pixels 16,12 to 48,36 of 64x48)"),
              std::string::npos)
        << render.err;
    EXPECT_EQ(render.err.find("warning"), std::string::npos) << render.err;
    EXPECT_EQ(ReadPnm(Frame(Path("out"), 1)).argb, Processed(in[1], Rect{12, 16, 36, 48}, 30).argb);

    // An empty rectangle warns as well.
    ASSERT_EQ(Settings({"--rect", "0.5,0,0.5,1"}).status, 0);
    RunResult empty = Host({"render", Path("in/%04d.ppm"), "/dev/null", "--prefs-dir", prefs});
    EXPECT_NE(empty.err.find("warning: the rectangle is empty, so nothing will change"), std::string::npos) << empty.err;
}

// Wrong values are refused before anything is saved; a bad preset changes nothing.
TEST_F(SettingsCliTest, BadValuesAndPresetsLeaveTheSettingsAsTheyWere) {
    ASSERT_EQ(Settings({"--amount", "40"}).status, 0);
    const std::string before = testsupport::ReadText(prefs + "/vardo-Prefs");
    std::ofstream(Path("bad.json")) << "{\"amount\": 250}";
    std::ofstream(Path("broken.json")) << "{\"amount\": ";
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"--amount", "101"}, 2, "--amount takes a whole number from 0 to 100"},
        {{"--rect", "0,0,1"}, 2, "--rect takes four numbers"},
        {{"--rect", "0,0,1,1.5"}, 2, "--rect takes a number from 0 to 1"},
        {{"--format", "secam"}, 2, "--format takes ntsc, pal or hd"},
        {{"--json", Path("bad.json")}, 2, "the amount is a whole number from 0 to 100"},
        {{"--json", Path("broken.json")}, 1, "not a settings preset"},
        {{"--json", Path("missing.json")}, 1, "no such preset file"},
    };
    for (const auto& c : cases) {
        RunResult r = Settings(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[1] << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(testsupport::ReadText(prefs + "/vardo-Prefs"), before) << c.args[1];
    }
    RunResult missing = Host({"settings", "--prefs-dir", Path("nowhere"), "--amount", "5"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(fs::exists(Path("nowhere")));
}

// An output that exists: -y replaces it, -n never does, and without either only a
// person at a terminal who answers y does.
TEST_F(SettingsCliTest, ExistingOutputsAreReplacedOnlyWhenSaidSo) {
    WriteSequence("ppm", 3, 32, 24);
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "vfx");  // the same frames numbered from 1001
    for (int i = 0; i < 3; ++i) fs::copy_file(Frame(Path("in"), i), Frame(Path("vfx"), 1001 + i));
    const struct {
        std::vector<std::string> job;
        std::string existing;  // the file that is in the way
    } jobs[] = {
        {{"render", Path("in/%04d.ppm"), Path("out/v.mkv")}, Path("out/v.mkv")},
        {{"render", Path("in/%04d.ppm"), Path("out/%04d.ppm")}, Frame(Path("out"), 2)},  // one frame of three
        {{"thumbnail", Path("in/%04d.ppm"), Path("out/t.png")}, Path("out/t.png")},
        {{"render", Path("vfx/%04d.ppm"), Path("out/%04d.ppm"), "--start-number", "1001"}, Frame(Path("out"), 1003)},
    };
    const struct {
        const char* flag;  // "" for none
        const char* typed;  // on a terminal; nullptr: standard input is /dev/null
        int status;
        bool replaced;
        const char* message;
    } cases[] = {
        {"", nullptr, 1, false, "already exists; not overwriting without a terminal to ask (-y overwrites"},
        {"-n", nullptr, 1, false, "already exists; not overwriting (-n)"},
        {"--no-overwrite", "y\n", 1, false, "not overwriting (-n)"},
        {"-y", nullptr, 0, true, ""},
        {"", "y\n", 0, true, "already exists"},
        {"", "\n", 1, false, "Overwrite? [y/N] "},
        {"", "no\n", 1, false, "not overwriting"},
        {"", "\x03", 130, false, "Overwrite? [y/N] "},  // Ctrl-C at the question
    };
    for (const auto& job : jobs)
        for (const auto& c : cases) {
            SCOPED_TRACE(job.job[0] + " " + job.existing + " '" + c.flag + "' typed " + (c.typed ? c.typed : "-"));
            std::ofstream(job.existing) << "keep me";
            std::vector<std::string> args = job.job;
            args.insert(args.end(), {"--prefs-dir", prefs, "--quiet"});
            if (*c.flag) args.push_back(c.flag);
            testsupport::PtyRun terminal;
            terminal.input = c.typed ? c.typed : "";
            RunResult r = c.typed ? testsupport::RunOnTerminal(HostBinary(), args, terminal) : Host(args);
            EXPECT_EQ(r.status, c.status) << r.out << r.err;
            EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << r.out << r.err;
            EXPECT_EQ(testsupport::ReadText(job.existing) != "keep me", c.replaced);
        }
    // -y and -n together contradict each other.
    EXPECT_EQ(Host({"render", Path("in/%04d.ppm"), "/dev/null", "-y", "-n", "--prefs-dir", prefs}).status, 2);
}

// The demo's contact sheet and frames are outputs like any other.
TEST_F(SettingsCliTest, ASecondDemoReplacesTheFirstOnlyWithY) {
    const std::vector<std::string> demo = {"demo", "--out", Path("demo"), "--frames", "4", "--quiet"};
    ASSERT_EQ(Host(demo).status, 0);
    const std::string sheet = testsupport::ReadText(Path("demo/contact-sheet.png"));
    std::ofstream(Path("demo/contact-sheet.png")) << "keep me";
    for (const char* flag : {"", "-n"}) {
        std::vector<std::string> again = demo;
        if (*flag) again.push_back(flag);
        RunResult r = Host(again);
        EXPECT_EQ(r.status, 1) << flag;
        EXPECT_NE(r.err.find("/demo/demo.mp4' already exists (and 7 more of the outputs)"), std::string::npos) << r.err;
        EXPECT_EQ(testsupport::ReadText(Path("demo/contact-sheet.png")), "keep me");
    }
    std::vector<std::string> replace = demo;
    replace.push_back("-y");
    ASSERT_EQ(Host(replace).status, 0);
    EXPECT_EQ(testsupport::ReadText(Path("demo/contact-sheet.png")), sheet);
}

TEST_F(SettingsCliTest, VersionNamesTheProgramThePluginAndFFmpeg) {
    RunResult r = Host({"--version"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part : {"tonefade-host 1.", "plug-in: Tonefade 1.0, ", "Tonefade.bundle\n", "FFmpeg ",
                             "libavformat ", "libavcodec ", "libswscale "})
        EXPECT_NE(r.out.find(part), std::string::npos) << r.out;
}

}  // namespace
}  // namespace hosttest
