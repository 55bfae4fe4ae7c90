// OutputPaths. Replacing a file by renaming a new one over it replaces whatever has the
// name: a link would become a plain file, a device or a named pipe would be gone. So the
// name is first followed to what it stands for, and only a regular file (or nothing) is
// ever renamed over.
#include "files/OutputPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kNameMax = 255;  // NAME_MAX of the file systems in use
constexpr int kMaxLinks = 40;          // as the kernel follows at most

bool IsNullDevice(const struct stat& st) {
    static const dev_t nullDevice = [] {
        struct stat null {};
        return ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) ? null.st_rdev : dev_t(-1);
    }();
    return S_ISCHR(st.st_mode) && st.st_rdev == nullDevice;
}

const char* KindName(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a named pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "a device";
}

std::string Refusal(const std::string& path, const std::string& at, mode_t mode) {
    std::string what = at == path ? std::string("is ") + KindName(mode) : "links to " + at + ", " + KindName(mode);
    if (S_ISDIR(mode)) return what;
    return what + "; output replaces only a regular file (or goes to /dev/null)";
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

// The process id in a name of the form ".NAME.PID.part", or 0.
pid_t PartFileOwner(const std::string& name) {
    const std::string suffix = ".part";
    if (name.size() < 1 + 1 + 2 + suffix.size() || name[0] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return 0;
    const std::size_t end = name.size() - suffix.size();
    std::size_t start = end;
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
    if (start == end || end - start > 9 || start < 3 || name[start - 1] != '.') return 0;
    return pid_t(std::stol(name.substr(start, end - start)));
}

bool ProcessRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

namespace toolbox {

bool ResolveOutputTarget(const std::string& path, OutputTarget* target, std::string* why) {
    std::string at = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (::lstat(at.c_str(), &st) != 0) {
            if (errno != ENOENT) return *why = std::strerror(errno), false;
            *target = OutputTarget{at, false};  // a new file, perhaps where a link points
            return true;
        }
        if (S_ISLNK(st.st_mode)) {
            std::error_code ec;
            fs::path next = fs::read_symlink(at, ec);
            if (ec) return *why = ec.message(), false;
            at = next.is_absolute() ? next.string() : (fs::path(at).parent_path() / next).string();
            continue;
        }
        if (S_ISREG(st.st_mode) || IsNullDevice(st)) {
            *target = OutputTarget{at, !S_ISREG(st.st_mode)};
            return true;
        }
        *why = Refusal(path, at, st.st_mode);
        return false;
    }
    *why = std::strerror(ELOOP);
    return false;
}

std::string PartFileNameFor(const std::string& path) {
    const fs::path final(path);
    const std::string name = final.filename().string();
    char tail[32];
    std::snprintf(tail, sizeof tail, ".%ld.part", static_cast<long>(::getpid()));
    std::string temporary(1, '.');
    if (1 + name.size() + std::strlen(tail) <= kNameMax) {
        temporary.append(name);
    } else {
        char hash[18];
        std::snprintf(hash, sizeof hash, "~%016llx", static_cast<unsigned long long>(Fnv1a(name)));
        std::size_t keep = kNameMax - 1 - std::strlen(hash) - std::strlen(tail);
        // Cut between characters, not inside a UTF-8 sequence.
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
        temporary.append(name, 0, keep).append(hash);
    }
    temporary.append(tail);
    return (final.parent_path() / temporary).string();
}

void RemoveAbandonedPartFiles(const std::string& folder) {
    static std::mutex mutex;
    static std::set<std::string> looked;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!looked.insert(folder.empty() ? "." : folder).second) return;
    }
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        const pid_t owner = PartFileOwner(entry.filename().string());
        if (owner <= 0 || owner == ::getpid() || ProcessRuns(owner)) continue;
        struct stat st {};
        if (::lstat(entry.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
            ::unlink(entry.c_str());
    }
}

}  // namespace toolbox
