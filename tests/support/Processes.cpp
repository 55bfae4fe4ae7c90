// Processes started by a test.
#include "support/Processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

namespace testsupport {

void Child::Start(const std::function<void()>& inChild) {
    const std::string out = folder_ / "out", err = folder_ / "err";
    std::fflush(nullptr);  // the child must not print again what the test has buffered
    pid_ = ::fork();
    if (pid_ != 0) return;
    ::dup2(::open("/dev/null", O_RDONLY), 0);  // never the test's own input
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    inChild();
}

Child::Child(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    Start([&] {
        for (const std::string& v : options.environment) {
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos) ::unsetenv(v.c_str());
            else ::setenv(v.substr(0, eq).c_str(), v.c_str() + eq + 1, 1);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    });
}

Child::Child(const std::function<int()>& body) {
    Start([&] {
        int status = 70;  // nothing may escape into the test's own run: its ending is the parent's
        try {
            status = body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "uncaught exception: %s\n", e.what());
        }
        std::fflush(nullptr);
        std::_Exit(status);
    });
}

Child::~Child() {
    if (pid_ > 0 && !Ended()) Wait(std::chrono::milliseconds(0));
}

bool Child::Ended(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ended_) {
        if (::waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
        else if (std::chrono::steady_clock::now() >= deadline) return false;
        else std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

RunResult Child::Wait(std::chrono::milliseconds limit) {
    RunResult r;
    if (!Ended(limit)) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
        ended_ = r.timedOut = true;
    }
    r.signaled = WIFSIGNALED(status_);
    r.status = r.signaled ? 128 + WTERMSIG(status_) : WEXITSTATUS(status_);
    r.out = ReadText(folder_ / "out");
    r.err = ReadText(folder_ / "err");
    return r;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    return Child(program, args, options).Wait(std::chrono::seconds(options.timeoutSeconds));
}

void KillRepeatedly(int kills, std::chrono::microseconds maxDelay, unsigned seed, const std::function<void()>& work,
                    const std::function<void()>& check) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> delay(0, long(maxDelay.count()));
    for (int k = 0; k < kills && !::testing::Test::HasFailure(); ++k) {
        Child child([&] {
            for (;;) work();
            return 0;
        });
        ASSERT_GT(child.Pid(), 0);
        ::usleep(useconds_t(delay(random)));
        ::kill(child.Pid(), SIGKILL);
        const RunResult r = child.Wait();
        ASSERT_TRUE(r.signaled && r.status == 128 + SIGKILL) << "the child ended by itself: " << r.status;
        check();
    }
}

}  // namespace testsupport
