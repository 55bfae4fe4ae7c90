// Input files: looked up, checked and read without blocking or throwing.
#include "InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {

std::string LookupFailure(const std::string& path, int err) {
    if (err == ENOENT || err == ENOTDIR) return path + ": no such file";
    if (err == EACCES) return path + ": cannot be read (" + std::strerror(err) + ")";
    return path + ": cannot be looked up (" + std::strerror(err) + ")";
}

// Empty for a regular file of at most maxBytes; otherwise what is wrong with it.
std::string Unfit(const std::string& path, const struct stat& st, std::uintmax_t maxBytes) {
    const char* what = S_ISDIR(st.st_mode)                          ? "is a folder"
                       : S_ISFIFO(st.st_mode)                       ? "is a named pipe"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "is a device"
                       : S_ISSOCK(st.st_mode)                       ? "is a socket"
                       : S_ISREG(st.st_mode)                        ? nullptr
                                                                    : "is not a file";
    if (what != nullptr) return path + ": " + what + ", not a regular file";
    if (std::uintmax_t(st.st_size) > maxBytes)
        return path + ": " + std::to_string(st.st_size) + " bytes, more than the " + std::to_string(maxBytes) +
               " an input file of its kind may hold";
    return {};
}

}  // namespace

bool InputExists(const std::string& path, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return true;
    if (errno != ENOENT && errno != ENOTDIR) *error = LookupFailure(path, errno);
    return false;
}

bool CheckInputFile(const std::string& path, std::string* error, std::uintmax_t maxBytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        *error = LookupFailure(path, errno);
        return false;
    }
    *error = Unfit(path, st, maxBytes);
    if (error->empty() && ::access(path.c_str(), R_OK) != 0)
        *error = path + ": cannot be read (" + std::strerror(errno) + ")";
    return error->empty();
}

bool ReadInputFile(const std::string& path, std::uintmax_t maxBytes, std::vector<std::uint8_t>* bytes,
                   std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = LookupFailure(path, errno);
        return false;
    }
    struct stat st {};
    *error = ::fstat(fd, &st) != 0 ? path + ": " + std::strerror(errno) : Unfit(path, st, maxBytes);
    bytes->clear();
    if (error->empty()) bytes->reserve(std::size_t(st.st_size));
    std::uint8_t chunk[65536];
    while (error->empty()) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) *error = path + ": " + std::strerror(errno);
        if (n <= 0) break;
        if (bytes->size() + std::size_t(n) > maxBytes) *error = path + ": grew past its size while being read";
        else bytes->insert(bytes->end(), chunk, chunk + n);
    }
    ::close(fd);
    if (!error->empty()) bytes->clear();
    return error->empty();
}

StandardInputCopy::~StandardInputCopy() {
    if (fd_ >= 0) ::close(fd_);
}

bool StandardInputCopy::Take(std::string* error) {
    if (::isatty(STDIN_FILENO)) return *error = "-: standard input is a terminal; pipe a stream into it", false;
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tonefade-stdin-XXXXXX";
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) return *error = name + ": cannot keep standard input (" + std::strerror(errno) + ")", false;
    ::unlink(name.c_str());
    char buffer[1 << 16];
    for (;;) {
        ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return *error = std::string("-: cannot read standard input (") + std::strerror(errno) + ")", false;
        for (ssize_t done = 0; done < got;) {
            ssize_t put = ::write(fd_, buffer + done, std::size_t(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0)
                return *error = std::string("-: cannot keep standard input (") + std::strerror(errno) + ")", false;
            done += put;
        }
    }
    if (::lseek(fd_, 0, SEEK_END) == 0) return *error = "-: nothing came on standard input", false;
    path_ = "/proc/self/fd/" + std::to_string(fd_);
    return true;
}

}  // namespace host
