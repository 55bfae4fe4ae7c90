// What the host reads its clips from: regular files only. A named pipe, a device or a
// socket would block a read for ever or never end, and a name the system cannot look up
// (too long, a loop of links) is an error to report, not an exception. Every reader asks here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// The most a single image file of a sequence may hold: a 16-bit RGBA frame of the most
// pixels one offscreen world takes, with room to spare.
constexpr std::uintmax_t kMaxImageFileBytes = std::uintmax_t(1) << 30;

// True when something is at `path` (links followed). Nothing there is not an error; a name
// that cannot be looked up is: false, with "PATH: reason" in *error.
bool InputExists(const std::string& path, std::string* error);

// True when `path` is a regular file (links followed) this process may read, of at most
// `maxBytes`; otherwise false with "PATH: reason" in *error.
bool CheckInputFile(const std::string& path, std::string* error, std::uintmax_t maxBytes = UINTMAX_MAX);

// The whole of the regular file at `path`, of at most `maxBytes`. Opened without blocking
// and checked after opening, so that whatever is there when it is read is what counts.
bool ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::vector<std::uint8_t>* bytes,
                   std::string* error);

// Standard input ("-") kept whole in a file that has no name, so that the reader can seek
// in it and count its frames (the plug-in is told the clip's length before the first
// frame): an unlinked temporary file in $TMPDIR, opened by its /proc/self/fd path. Nothing
// is left behind however the process ends.
class StandardInputCopy {
public:
    StandardInputCopy() = default;
    ~StandardInputCopy();
    StandardInputCopy(const StandardInputCopy&) = delete;
    StandardInputCopy& operator=(const StandardInputCopy&) = delete;
    // False with the reason when standard input is a terminal, or cannot be read or kept.
    bool Take(std::string* error);
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace host
