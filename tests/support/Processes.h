// Processes started by a test: a program run to its end with a time limit, and a child
// (a program, or a function in a forked copy of the test) running in the background.
// Standard input is /dev/null; standard output and error are kept and read back.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/Files.h"

namespace testsupport {

struct RunResult {
    int status = -1;        // exit status, or 128 + signal
    bool signaled = false;  // ended by a signal it did not handle
    bool timedOut = false;  // killed for running past its time
    std::string out, err;
};

struct RunOptions {
    // A program that hangs is killed after this long, so that a hang fails the test
    // instead of stopping the suite.
    int timeoutSeconds = 120;
    std::vector<std::string> environment;  // "NAME=value" sets, a plain "NAME" unsets
};

class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});
    // `body`'s answer is the exit status (70 for an exception); nothing of the test's own
    // ending runs in the child.
    explicit Child(const std::function<int()>& body);
    ~Child();  // kills a child still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    // True once the child has ended; waits for that at most `limit`.
    bool Ended(std::chrono::milliseconds limit = std::chrono::milliseconds(0));
    // Waits for the end, killing the child (SIGKILL) when it runs past `limit`.
    RunResult Wait(std::chrono::milliseconds limit = std::chrono::hours(24));

private:
    TempFolder folder_;
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
    void Start(const std::function<void()>& inChild);
};

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {});

// Runs `work` over and over in a child process and kills the child with SIGKILL after
// a random delay of up to `maxDelay`, `kills` times; `check` runs after each kill.
void KillRepeatedly(int kills, std::chrono::microseconds maxDelay, unsigned seed, const std::function<void()>& work,
                    const std::function<void()>& check);

}  // namespace testsupport
