// Programs on a pseudo-terminal.
#include "support/Pty.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace testsupport {

namespace {

[[noreturn]] void Exec(const std::string& program, const std::vector<std::string>& args, const PtyRun& how) {
    for (const std::string& e : how.environment) {
        const std::size_t eq = e.find('=');
        if (eq == std::string::npos) unsetenv(e.c_str());
        else setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

}  // namespace

RunResult RunOnTerminal(const std::string& program, const std::vector<std::string>& args, const PtyRun& how) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(how.columns);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) Exec(program, args, how);
    RunResult result;
    if (pid < 0) return result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(how.timeoutSeconds);
    bool typed = how.input.empty();
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0 && errno != EINTR) break;  // EIO: the program and its terminal are gone
            if (n > 0) result.out.append(buffer, std::size_t(n));
            if (!typed && n > 0) typed = write(master, how.input.data(), how.input.size()) >= 0;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
    }
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    result.signaled = WIFSIGNALED(status);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace testsupport
