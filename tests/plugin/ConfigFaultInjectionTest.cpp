// A scripted configuration session with every allocation failing in turn: memory blocks,
// then offscreen worlds. Each point runs in a child process, since the dialog may end the
// host with its assertion alert. A point survives when the session finishes and leaves no
// window, world or host block behind, or ends the process the documented way: an
// "Assertion Failure" or "OpenNibWindow Failed" alert, or a window that cannot be made
// (the low byte of memFullErr as the exit status). A crash or a leak fails the test.
#include <cstdio>

#include "ConfigDialogTest.h"
#include "support/Processes.h"

namespace configtest {
namespace {

constexpr const char* kSession = "slider Sldr 1 40\ncommand \"ok  \"\n";
constexpr int kLeaked = 3;

using ConfigFaultInjection = ConfigDialogTest;

// Describes one point's outcome; empty when it is one of the allowed ones.
std::string Problem(const testsupport::RunResult& r) {
    if (r.signaled) return "crashed with signal " + std::to_string(r.status - 128);
    if (r.status == 0) return "";
    if (r.status == kLeaked) return "left a window, world or host block behind";
    if (r.status == toolbox::kExitToShellStatus &&
        (r.err.find("Assertion Failure") != std::string::npos || r.err.find("OpenNibWindow Failed") != std::string::npos))
        return "";
    if (r.status == (memFullErr & 0xFF)) return "";
    return "ended with status " + std::to_string(r.status) + ": " + r.err.substr(0, 200);
}

TEST_F(ConfigFaultInjection, EveryAllocationOfASessionFailingInTurn) {
    for (auto [site, name] :
         {std::pair{toolbox::FaultSite::Memory, "memory"}, {toolbox::FaultSite::GWorld, "NewGWorld"}}) {
        Press(kSession, 0, [] { toolbox::ResetFaultCounters(); });  // the allocations of one undisturbed press
        const int calls = toolbox::FaultSiteCalls(site);
        ASSERT_GT(calls, 0) << name;
        int survived = 0, ended = 0;
        for (int n = 1; n <= calls; ++n) {
            const testsupport::RunResult r = testsupport::Child([&, site = site] {  // the session, `n` failing
                long blocks = 0, worlds = 0;
                Press(kSession, 0, [&] {
                    blocks = host::HostLiveBlocks();
                    worlds = toolbox::LiveGWorldCount() - host::HostSpareWorlds();
                    toolbox::ArmFault(site, n);
                });
                const bool clean = toolbox::LiveWindowCount() == 0 && toolbox::LiveGWorldCount() - host::HostSpareWorlds() == worlds &&
                                   host::HostLiveBlocks() == blocks;
                return clean ? 0 : kLeaked;
            }).Wait();
            EXPECT_EQ(Problem(r), "") << name << " #" << n;
            survived += Problem(r).empty();
            ended += Problem(r).empty() && r.status != 0;
        }
        std::printf("configuration session, %s: %d points, %d survived (%d of them by ending the host "
                    "the documented way)\n", name, calls, survived, ended);
    }
}

}  // namespace
}  // namespace configtest
