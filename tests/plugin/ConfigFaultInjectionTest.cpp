// A scripted configuration session with every allocation failing in turn: memory blocks,
// then offscreen worlds. Each point runs in a child process, since the dialog may end the
// host with its assertion alert. A point survives when the session finishes and leaves no
// window, world or host block behind, or ends the process the documented way: an
// "Assertion Failure" or "OpenNibWindow Failed" alert, or a window that cannot be made
// (the low byte of memFullErr as the exit status). A crash or a leak fails the test.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "ConfigDialogTest.h"

namespace configtest {
namespace {

constexpr const char* kSession = "slider Sldr 1 40\ncommand \"ok  \"\n";
constexpr int kLeaked = 3;

class ConfigFaultInjection : public ConfigDialogTest {
protected:
    // Allocations of `site` that one undisturbed button press makes.
    int CountCalls(toolbox::FaultSite site) {
        int calls = 0;
        Press(kSession, 0, [&] { toolbox::ResetFaultCounters(); });
        calls = toolbox::FaultSiteCalls(site);
        return calls;
    }
    // Runs the session in a child with allocation `n` of `site` failing; answers its
    // wait status, with its standard error in `err`.
    int RunPoint(toolbox::FaultSite site, int n, std::string* err) {
        std::string errFile = scratch + "/stderr.txt";
        std::fflush(nullptr);  // the child must not print what the parent has buffered
        pid_t pid = fork();
        if (pid == 0) {
            int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) dup2(fd, 2);
            long blocks = 0, worlds = 0;
            Press(kSession, 0, [&] {
                blocks = host::HostLiveBlocks();
                worlds = toolbox::LiveGWorldCount();
                toolbox::ArmFault(site, n);
            });
            bool clean = toolbox::LiveWindowCount() == 0 && toolbox::LiveGWorldCount() == worlds &&
                         host::HostLiveBlocks() == blocks;
            std::fflush(nullptr);
            _exit(clean ? 0 : kLeaked);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        std::ifstream in(errFile);
        std::stringstream text;
        text << in.rdbuf();
        *err = text.str();
        return status;
    }
};

// Describes one point's outcome; empty when it is one of the allowed ones.
std::string Problem(int status, const std::string& err) {
    if (WIFSIGNALED(status)) return "crashed with signal " + std::to_string(WTERMSIG(status));
    int code = WEXITSTATUS(status);
    if (code == 0) return "";
    if (code == kLeaked) return "left a window, world or host block behind";
    if (code == toolbox::kExitToShellStatus &&
        (err.find("Assertion Failure") != std::string::npos || err.find("OpenNibWindow Failed") != std::string::npos))
        return "";
    if (code == (memFullErr & 0xFF)) return "";
    return "ended with status " + std::to_string(code) + ": " + err.substr(0, 200);
}

TEST_F(ConfigFaultInjection, EveryAllocationOfASessionFailingInTurn) {
    struct Site {
        toolbox::FaultSite site;
        const char* name;
    } sites[] = {{toolbox::FaultSite::Memory, "memory"}, {toolbox::FaultSite::GWorld, "NewGWorld"}};
    for (const Site& s : sites) {
        const int calls = CountCalls(s.site);
        ASSERT_GT(calls, 0) << s.name;
        int survived = 0, ended = 0;
        for (int n = 1; n <= calls; ++n) {
            std::string err;
            int status = RunPoint(s.site, n, &err);
            std::string problem = Problem(status, err);
            EXPECT_EQ(problem, "") << s.name << " #" << n;
            if (problem.empty()) ++survived;
            if (problem.empty() && WEXITSTATUS(status) != 0) ++ended;
        }
        std::printf("configuration session, %s: %d points, %d survived (%d of them by ending the host "
                    "the documented way)\n", s.name, calls, survived, ended);
    }
}

}  // namespace
}  // namespace configtest
