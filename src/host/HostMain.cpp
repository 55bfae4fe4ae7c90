// tonefade-host: loads the plug-in bundle and renders video through it.
// Exit status: 0 done, 1 the job failed, 2 wrong usage, 128+signal when interrupted.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include "Commands.h"
#include "FFmpegUtil.h"
#include "HostJob.h"
#include "Version.h"

namespace {

// The last resort, for what no command foresaw: one line and a failed job, never an abort.
int Unforeseen() {
    std::string what;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        what = "out of memory";
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "an unknown error";
    }
    for (char& c : what)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "tonefade-host: the job failed: %s\n", what.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) try {
    if (argc < 2) return std::fputs(host::ProgramUsage().c_str(), stderr), 2;
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help")
        return std::fputs(host::ProgramUsage().c_str(), stdout), 0;
    if (command == "--version" || command == "-version")
        return std::fputs(host::VersionText(host::DefaultBundlePath()).c_str(), stdout), 0;
    host::av::QuietLogs();
    try {
        return host::RunCommand(command, argc, argv);
    } catch (const host::UsageError& e) {
        std::fprintf(stderr, "tonefade-host %s: %s (see tonefade-host %s --help)\n", command.c_str(), e.what(),
                     command.c_str());
        return 2;
    } catch (const host::JobFailure& e) {
        std::fprintf(stderr, "tonefade-host: %s\n", e.what());
        return 1;
    }
} catch (...) {
    return Unforeseen();
}
