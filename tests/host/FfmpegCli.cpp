// The ffmpeg program, found on the PATH.
#include "FfmpegCli.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "CliHarness.h"

namespace hosttest {

namespace {

std::string FfmpegProgram() {
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin";
    for (std::size_t start = 0, end; start <= dirs.size(); start = end + 1) {
        end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / "ffmpeg";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return "/usr/bin/ffmpeg";
}

}  // namespace

void Ffmpeg(std::vector<std::string> args) {
    args.insert(args.begin(), {"-nostdin", "-v", "error", "-y"});
    RunResult r = Run(FfmpegProgram(), args);
    ASSERT_EQ(r.status, 0) << "ffmpeg: " << r.err;
}

}  // namespace hosttest
