// Progress end to end: the bar on a terminal of 40 and of 200 columns stays on one line,
// redrawn in place and never wider than the terminal, and --progress writes ffmpeg's
// key=value blocks, the last one progress=end.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "support/HostHarness.h"
#include "support/Pty.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

// What a terminal shows of `drawn`: escape sequences (CSI ... letter) dropped.
std::string Visible(const std::string& drawn) {
    std::string out;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (drawn[i] == '\x1b' && i + 1 < drawn.size() && drawn[i + 1] == '[') {
            i += 2;
            while (i < drawn.size() && !std::isalpha(static_cast<unsigned char>(drawn[i]))) ++i;
            continue;
        }
        out += drawn[i];
    }
    return out;
}

TEST_F(HostCliTest, TheBarFitsTheTerminalAndRedrawsOnOneLine) {
    MakeClip(Path("in/clip.mp4"), 1280, 720, 150, true);
    fs::create_directories(prefs);
    for (int columns : {40, 200}) {
        SCOPED_TRACE(columns);
        testsupport::PtyRun terminal;
        terminal.columns = columns;
        const RunResult r = testsupport::RunOnTerminal(
            HostBinary(), {"render", Path("in/clip.mp4"), "/dev/null", "--prefs-dir", prefs}, terminal);
        ASSERT_EQ(r.status, 0) << r.out;
        // On a terminal the settings come first, with the warning (amount 0); the bar is
        // all that follows them up to the summary, which starts on the line the bar cleared.
        const std::size_t summary = r.out.find("tonefade-host: rendered");
        ASSERT_NE(summary, std::string::npos) << r.out;
        const std::size_t warning = r.out.find("warning: the amount is 0");
        ASSERT_LT(warning, summary) << "the warning comes before the first frame";
        const std::size_t start = r.out.find('\n', warning) + 1;
        const std::string bar = r.out.substr(start, summary - start);
        EXPECT_EQ(bar.find('\n'), std::string::npos) << "the bar took more than one line";
        int redraws = 0;
        std::stringstream parts(bar);
        for (std::string part; std::getline(parts, part, '\r');) {
            const std::string shown = Visible(part);
            if (shown.empty()) continue;
            ++redraws;
            EXPECT_LT(int(shown.size()), columns) << shown;
            EXPECT_NE(shown.find("/150 frames"), std::string::npos) << shown;
            if (columns == 200) {
                EXPECT_EQ(shown.front(), '[') << shown;
            }
        }
        EXPECT_GE(redraws, 2) << bar;
    }
}

TEST_F(HostCliTest, ProgressBlocksParseAndEndWithProgressEnd) {
    WriteSequence("ppm", 12, 64, 48);
    fs::create_directories(prefs);
    const RunResult r = Host(Job({"render", "@/in/%04d.ppm", "@/out.mkv", "--progress", "-"}));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::map<std::string, std::string>> blocks(1);
    std::stringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << "not key=value: " << line;
        blocks.back()[line.substr(0, eq)] = line.substr(eq + 1);
        if (line.rfind("progress=", 0) == 0) blocks.emplace_back();
    }
    blocks.pop_back();  // what follows the last progress= line: nothing
    ASSERT_FALSE(blocks.empty()) << r.out;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        for (const char* key : {"frame", "fps", "out_time_us", "out_time", "speed"}) EXPECT_EQ(blocks[i].count(key), 1u);
        EXPECT_EQ(blocks[i]["progress"], i + 1 == blocks.size() ? "end" : "continue");
    }
    EXPECT_EQ(blocks.back()["frame"], "12");
    EXPECT_EQ(blocks.back()["out_time_us"], "400000");  // 12 frames at 30 a second
    EXPECT_EQ(blocks.back()["out_time"], "00:00:00.400000");
    // Into a file, and a file that cannot be written is one clean failure.
    ASSERT_EQ(Host(Job({"render", "@/in/%04d.ppm", "/dev/null", "--progress", "@/p.txt"})).status, 0);
    EXPECT_NE(testsupport::ReadText(Path("p.txt")).find("frame=12\n"), std::string::npos);
    const RunResult bad = Host(Job({"render", "@/in/%04d.ppm", "/dev/null", "--progress", "@/no/such/p.txt"}));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("cannot write the progress there"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace hosttest
