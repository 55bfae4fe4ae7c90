// tonefade-host configure end to end: the real program presses the plug-in's button on a
// clip, a script drives the dialog, and the next render uses what OK saved.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <sstream>

#include "support/HostHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

class ConfigureCliTest : public HostCliTest {
protected:
    void SetUp() override {
        fs::create_directories(prefs);
        frames = WriteSequence("ppm", 3, 96, 64);
    }
    std::string Script(const std::string& text) {
        testsupport::WriteText(Path("drive.txt"), text);
        return Path("drive.txt");
    }
    std::vector<Image> frames;
};

TEST_F(ConfigureCliTest, OKSavesWhatTheScriptSetAndTheNextRenderUsesIt) {
    // Amount 60; the top-left handle dragged with Option to a quarter of the preview.
    RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--frame", "2", "--events",
                        Script("slider Sldr 1 60\ndrag 16 16 196 136 6 option\ncommand \"ok  \"\n"), "--snapshot",
                        Path("dialog.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("settings saved in"), std::string::npos) << r.err;
    Image shot = ReadPngFile(Path("dialog.png"));
    EXPECT_EQ(shot.width, 992);
    EXPECT_EQ(shot.height, 548 + 22);

    r = Host(Job({"render", "@/in/%04d.ppm", "@/out/%04d.ppm"}));
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "out/%04d.ppm", i);
        EXPECT_TRUE(ReadPnm(Path(name)).argb == Processed(frames[std::size_t(i)], Rect{16, 24, 48, 72}, 60).argb)
            << "frame " << i;
    }
}

TEST_F(ConfigureCliTest, WithoutAScriptTheSnapshotShowsTheOpenDialogAndNothingIsSaved) {
    ASSERT_EQ(Host({"info", "--prefs-dir", prefs}).status, 0);
    const std::string before = testsupport::ReadText(prefs + "/vardo-Prefs");
    RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--snapshot", Path("open.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("settings unchanged"), std::string::npos) << r.err;
    EXPECT_EQ(ReadPngFile(Path("open.png")).width, 992);
    EXPECT_EQ(testsupport::ReadText(prefs + "/vardo-Prefs"), before);
}

TEST_F(ConfigureCliTest, AScriptThatCannotBeCarriedOutFailsTheJobInOneLineNamingFileAndLine) {
    struct Case {
        const char* script;
        const char* message;
    } const cases[] = {
        {"slider Sldr 1 20\nslider Sldr 2 50\n", "drive.txt: event script line 2: 'Sldr' 2 is not a visible"},
        {"slider Sldr 1 20\nslider Sldr 1 99999\n", "drive.txt: event script line 2: value 99999 is outside"},
        {"slider Sldr 1 20\n\npopup Medi 1 Bogus\n", "drive.txt: event script line 3: the pop-up has no item"},
        {"bogus 1 2\n", "drive.txt: event script line 1: "},
    };
    for (const Case& c : cases) {
        RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--events", Script(c.script)});
        EXPECT_EQ(r.status, 1) << c.script;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(LineCount(r.err), 1) << "one line: " << r.err;
    }
}

// A display named that no server answers: one line says why, and the dialog closes at
// once as without a display, instead of waiting for ever in a window nobody sees.
TEST_F(ConfigureCliTest, ADisplayThatCannotBeOpenedIsSaidInOneLineAndTheDialogRunsWithout) {
    // A runtime folder with a short name: Wayland's socket path must fit 108 bytes.
    testsupport::TempFolder runtimeDir;
    const std::string runtime = "XDG_RUNTIME_DIR=" + runtimeDir.path().string();
    // SDL's video start-up loads libdbus, which keeps a buffer for the life of the process;
    // the sanitizer build would count it as a leak of ours.
    testsupport::WriteText(Path("lsan.supp"), "leak:libdbus-1.so\n");
    const std::string suppressions = "LSAN_OPTIONS=print_suppressions=0:suppressions=" + Path("lsan.supp");
    struct Case {
        std::vector<std::string> environment;
        const char* message;
    } const cases[] = {
        {{"DISPLAY=:99999", "WAYLAND_DISPLAY"}, "cannot open the display :99999 ("},
        {{"DISPLAY=no-such-host.invalid:0", "WAYLAND_DISPLAY"}, "cannot open the display no-such-host.invalid:0 ("},
        {{"DISPLAY", "WAYLAND_DISPLAY=tonefade-no-compositor", runtime}, "cannot open the display tonefade-no-compositor ("},
    };
    for (const Case& c : cases) {
        RunOptions options;
        options.timeoutSeconds = 20;
        options.environment = c.environment;
        options.environment.insert(options.environment.end(), {"SDL_VIDEODRIVER", suppressions});
        RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs}, options);
        ASSERT_FALSE(r.timedOut) << c.message << ": the dialog waited in a window nobody sees";
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find(std::string("tonefade-host: ") + c.message), 0u) << r.err;
        EXPECT_NE(r.err.find("; the dialog runs without a window\ntonefade-host: the dialog closed; settings unchanged\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(LineCount(r.err), 2) << r.err;
    }
}

// Lines of `text` that mention `what`.
int LinesWith(const std::string& text, const std::string& what) {
    int n = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) n += line.find(what) != std::string::npos;
    return n;
}

// Preferences files that cannot be used, under configure with OK. Each is named once as
// it is met at loading, and OK's save either fails with one line naming the file and the
// reason (status 1) or, for a record the plug-in replaces, succeeds. What is at the path
// stays what it was; a link to a regular file elsewhere is saved through.
struct UnusablePrefs {
    const char* name;
    std::function<void(const fs::path& prefsFile, const fs::path& dir)> make;
    const char* reason;  // "" when the file is usable
    int status;
};

class ConfigureUnusablePrefs : public ConfigureCliTest, public ::testing::WithParamInterface<UnusablePrefs> {};

TEST_P(ConfigureUnusablePrefs, IsNamedOnceAndAFailedSaveFailsTheJob) {
    const UnusablePrefs& c = GetParam();
    WriteSettings(30, "0,0,1,1");
    const fs::path file = fs::path(prefs) / "vardo-Prefs";
    c.make(file, dir);
    struct stat before {};
    ASSERT_EQ(::lstat(file.c_str(), &before), 0);
    // A pipe or /dev/zero read at the wrong place must not hang the suite.
    RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--events",
                        Script("slider Sldr 1 60\ncommand \"ok  \"\n")}, RunOptions{60, {}});
    EXPECT_EQ(r.status, c.status) << (r.timedOut ? "hung: " : "") << r.err;
    const std::string warning = file.string() + ": " + c.reason + "; the default settings apply";
    EXPECT_EQ(LinesWith(r.err, warning), *c.reason ? 1 : 0) << r.err;
    if (c.status == 1) {
        const std::string failure =
            "tonefade-host: " + file.string() + ": the settings could not be saved: " + c.reason;
        EXPECT_EQ(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1), failure + "\n") << r.err;
    } else {
        EXPECT_EQ(LinesWith(r.err, "settings saved in " + file.string()), 1) << r.err;
    }
    struct stat after {};
    ASSERT_EQ(::lstat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
    if (c.status == 1) {
        EXPECT_EQ(after.st_size, before.st_size);
    }
}

const UnusablePrefs kUnusablePrefs[] = {
    {"Folder", [](const fs::path& f, const fs::path&) { fs::remove(f), fs::create_directory(f); },
     "not a regular file", 1},
    {"LinkToDevZero", [](const fs::path& f, const fs::path&) { fs::remove(f), fs::create_symlink("/dev/zero", f); },
     "not a regular file", 1},
    {"NamedPipe", [](const fs::path& f, const fs::path&) { fs::remove(f), ::mkfifo(f.c_str(), 0600); },
     "not a regular file", 1},
    {"Damaged", [](const fs::path& f, const fs::path&) { testsupport::WriteText(f, "not a resource file"); },
     "the file is damaged (not a resource file)", 1},
    {"Over32MiB", [](const fs::path& f, const fs::path&) { fs::resize_file(f, 40u << 20); },
     "too large for a resource file (16 MB of resources at most)", 1},
    // The record's version field lies 8 bytes into the data area, which starts at 256.
    {"RecordOfVersion4", [](const fs::path& f, const fs::path&) {
         std::string bytes = testsupport::ReadText(f);
         bytes[256 + 4 + 4] = 4;
         testsupport::WriteText(f, bytes);
     }, "the saved settings are damaged or of another version or kind of computer", 0},
    {"LinkToAFileElsewhere", [](const fs::path& f, const fs::path& dir) {
         fs::create_directories(dir / "dotfiles");
         fs::rename(f, dir / "dotfiles" / "vardo-Prefs");
         fs::create_symlink(dir / "dotfiles" / "vardo-Prefs", f);
     }, "", 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConfigureUnusablePrefs, ::testing::ValuesIn(kUnusablePrefs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hosttest
