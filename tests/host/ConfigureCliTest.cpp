// tonefade-host configure end to end: the real program presses the plug-in's button on a
// clip, a script drives the dialog, and the next render uses what OK saved.
#include <gtest/gtest.h>

#include <fstream>

#include "CliHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

class ConfigureCliTest : public HostCliTest {
protected:
    std::string Script(const std::string& text) {
        std::ofstream(Path("drive.txt")) << text;
        return Path("drive.txt");
    }
    std::string PrefsBytes() {
        std::ifstream in(fs::path(prefs) / "vardo-Prefs", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

TEST_F(ConfigureCliTest, OKSavesWhatTheScriptSetAndTheNextRenderUsesIt) {
    fs::create_directories(prefs);
    std::vector<Image> frames = WriteSequence("ppm", 3, 96, 64);
    // Amount 60; the top-left handle dragged with Option to a quarter of the preview.
    RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--frame", "2", "--events",
                        Script("slider Sldr 1 60\ndrag 16 16 196 136 6 option\ncommand \"ok  \"\n"), "--snapshot",
                        Path("dialog.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("settings saved in"), std::string::npos) << r.err;
    Image shot = ReadPngFile(Path("dialog.png"));
    EXPECT_EQ(shot.width, 992);
    EXPECT_EQ(shot.height, 548 + 22);

    r = Host({"render", Path("in/%04d.ppm"), Path("out/%04d.ppm"), "--prefs-dir", prefs, "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "out/%04d.ppm", i);
        EXPECT_TRUE(ReadPnm(Path(name)).argb == Processed(frames[std::size_t(i)], Rect{16, 24, 48, 72}, 60).argb)
            << "frame " << i;
    }
}

TEST_F(ConfigureCliTest, WithoutAScriptTheSnapshotShowsTheOpenDialogAndNothingIsSaved) {
    fs::create_directories(prefs);
    WriteSequence("ppm", 2, 96, 64);
    ASSERT_EQ(Host({"info", "--prefs-dir", prefs}).status, 0);
    const std::string before = PrefsBytes();
    RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--snapshot", Path("open.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("settings unchanged"), std::string::npos) << r.err;
    EXPECT_EQ(ReadPngFile(Path("open.png")).width, 992);
    EXPECT_EQ(PrefsBytes(), before);
}

TEST_F(ConfigureCliTest, AScriptThatCannotBeCarriedOutFailsTheJobAndNamesItsLine) {
    fs::create_directories(prefs);
    WriteSequence("ppm", 2, 96, 64);
    RunResult r = Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--events",
                        Script("slider Sldr 1 20\nslider Sldr 2 50\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("event script line 2"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace hosttest
