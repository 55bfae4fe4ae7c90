// AtomicFile. The new contents are written into an unnamed file in the target's folder
// (O_TMPFILE), so a crash before publishing leaves nothing behind; only where the file
// system cannot do that does a named, hidden temporary file stand in.
#include "files/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

toolbox::AtomicWriteStep gFailingStep = toolbox::AtomicWriteStep::None;
int gFailuresLeft = 0;

// True for the armed step while failures are left; sets errno as a failing disk would.
bool InjectedFailure(toolbox::AtomicWriteStep step) {
    if (gFailingStep != step || gFailuresLeft <= 0) return false;
    if (--gFailuresLeft == 0) gFailingStep = toolbox::AtomicWriteStep::None;
    errno = EIO;
    return true;
}

OSErr ErrnoToOSErr(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR: return dirNFErr;
        case EEXIST: return dupFNErr;
        case EACCES:
        case EPERM:
        case EROFS: return wrPermErr;
        case ENOSPC:
        case EDQUOT: return dskFulErr;
        case EFBIG: return fsDataTooBigErr;
        default: return ioErr;
    }
}

// Closes the file and removes a named temporary file unless it was published.
struct Temporary {
    int fd = -1;
    std::string namedPath;
    ~Temporary() {
        if (fd >= 0) ::close(fd);
        if (!namedPath.empty()) ::unlink(namedPath.c_str());
    }
};

std::string RandomSuffix() {
    static std::mt19937_64 engine{std::random_device{}()};
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(engine()));
    return buffer;
}

std::string TemporaryName(const std::string& folder, const std::string& base) {
    return folder + "/." + base + ".tmp-" + RandomSuffix();
}

OSErr CreateTemporary(const std::string& folder, const std::string& base, Temporary* temp) {
    if (InjectedFailure(toolbox::AtomicWriteStep::CreateTemporary)) return ioErr;
    if (::access("/proc/self/fd", F_OK) == 0) {
        temp->fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (temp->fd >= 0) return noErr;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return ErrnoToOSErr(errno);
    }
    std::string name = folder + "/." + base + ".tmp-XXXXXX";
    temp->fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (temp->fd < 0) return ErrnoToOSErr(errno);
    temp->namedPath = name;
    mode_t mask = ::umask(0);  // mkstemp makes 0600; new files follow the user's umask
    ::umask(mask);
    ::fchmod(temp->fd, 0666 & ~mask);
    return noErr;
}

OSErr WriteAll(int fd, std::span<const UInt8> bytes) {
    if (InjectedFailure(toolbox::AtomicWriteStep::WriteData)) return ioErr;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ErrnoToOSErr(errno);
        if (n == 0) return ioErr;
        done += std::size_t(n);
    }
    return noErr;
}

// The replacement carries the old file's permissions and user attributes (such as the
// Finder information), which a rename would otherwise lose.
void CopyMetadata(const std::string& from, int toFd) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) return;
    ::fchmod(toFd, st.st_mode & 07777);
    ssize_t listSize = ::listxattr(from.c_str(), nullptr, 0);
    if (listSize <= 0) return;
    std::vector<char> names(std::size_t(listSize) + 1, 0);
    listSize = ::listxattr(from.c_str(), names.data(), names.size() - 1);
    for (ssize_t i = 0; i < listSize; i += ssize_t(std::strlen(names.data() + i)) + 1) {
        const char* name = names.data() + i;
        if (std::strncmp(name, "user.", 5) != 0) continue;
        ssize_t valueSize = ::getxattr(from.c_str(), name, nullptr, 0);
        if (valueSize < 0) continue;
        std::vector<char> value(std::size_t(valueSize) + 1);
        valueSize = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (valueSize >= 0) ::fsetxattr(toFd, name, value.data(), std::size_t(valueSize), 0);
    }
}

void SetAttributes(int fd, const std::vector<toolbox::ExtendedAttribute>& attributes) {
    for (const auto& a : attributes)  // never needed for reading: a refusal is not an error
        ::fsetxattr(fd, a.name.c_str(), a.value.data(), a.value.size(), 0);
}

// Gives the unnamed file a name in the folder; EEXIST when `name` is taken.
bool LinkUnnamed(int fd, const std::string& name) {
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

OSErr PublishNew(Temporary& temp, const std::string& path) {
    if (InjectedFailure(toolbox::AtomicWriteStep::Publish)) return ioErr;
    if (temp.namedPath.empty()) return LinkUnnamed(temp.fd, path) ? OSErr(noErr) : ErrnoToOSErr(errno);
    return ::link(temp.namedPath.c_str(), path.c_str()) == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}

OSErr PublishReplacement(Temporary& temp, const std::string& path, const std::string& folder,
                         const std::string& base) {
    if (temp.namedPath.empty()) {
        std::string name;
        for (int attempt = 0; attempt < 8; ++attempt) {
            name = TemporaryName(folder, base);
            if (LinkUnnamed(temp.fd, name)) break;
            if (errno != EEXIST) return ErrnoToOSErr(errno);
            name.clear();
        }
        if (name.empty()) return ioErr;
        temp.namedPath = name;  // removed by Temporary should the rename fail
    }
    if (InjectedFailure(toolbox::AtomicWriteStep::Publish)) return ioErr;
    if (::rename(temp.namedPath.c_str(), path.c_str()) != 0) return ErrnoToOSErr(errno);
    temp.namedPath.clear();
    return noErr;
}

// Temporary files of this target that a crash left behind, between naming one and
// renaming it. Only old ones go: a young one may belong to a write in progress.
void RemoveStaleTemporaries(const std::string& folder, const std::string& base) {
    const std::string prefix = "." + base + ".tmp-";
    const auto cutoff = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0 || !entry.is_regular_file(ec)) continue;
        if (entry.last_write_time(ec) < cutoff && !ec) fs::remove(entry.path(), ec);
    }
}

OSErr SyncFolder(const std::string& folder) {
    if (InjectedFailure(toolbox::AtomicWriteStep::SyncFolder)) return ioErr;
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return ErrnoToOSErr(errno);
    int rc = ::fsync(fd);
    ::close(fd);
    return rc == 0 ? noErr : ioErr;
}

}  // namespace

namespace toolbox {

void FailAtomicWriteForTesting(AtomicWriteStep step, int times) {
    gFailingStep = step;
    gFailuresLeft = times;
}

OSErr WriteFileAtomically(const std::string& path, std::span<const UInt8> bytes, AtomicMode mode,
                          const std::vector<ExtendedAttribute>& attributes) {
    fs::path target(path);
    std::string folder = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    std::string base = target.filename().string();
    if (base.empty()) return paramErr;
    Temporary temp;
    OSErr err = CreateTemporary(folder, base, &temp);
    if (err == noErr) err = WriteAll(temp.fd, bytes);
    if (err != noErr) return err;
    if (mode == AtomicMode::Replace) CopyMetadata(path, temp.fd);
    SetAttributes(temp.fd, attributes);
    if (InjectedFailure(AtomicWriteStep::SyncData) || ::fsync(temp.fd) != 0) return ErrnoToOSErr(errno);
    err = mode == AtomicMode::Replace ? PublishReplacement(temp, path, folder, base) : PublishNew(temp, path);
    if (err != noErr) return err;
    RemoveStaleTemporaries(folder, base);
    return SyncFolder(folder);
}

OSErr ReadWholeFile(const std::string& path, std::size_t maxSize, std::vector<UInt8>* bytes) {
    if (bytes == nullptr) return paramErr;
    bytes->clear();
    // Non-blocking, so that a named pipe in the file's place cannot hang the caller; only
    // regular files are read, so a device such as /dev/zero is never read at all.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? OSErr(fnfErr) : ErrnoToOSErr(errno);
    struct stat st {};
    OSErr err = noErr;
    if (::fstat(fd, &st) != 0)
        err = ErrnoToOSErr(errno);
    else if (!S_ISREG(st.st_mode))
        err = notAFileErr;
    else if (std::uintmax_t(st.st_size) > maxSize)
        err = fsDataTooBigErr;
    else
        bytes->reserve(std::size_t(st.st_size));
    UInt8 chunk[65536];
    while (err == noErr) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = ErrnoToOSErr(errno);
        if (n <= 0) break;
        if (bytes->size() + std::size_t(n) > maxSize) err = fsDataTooBigErr;  // it grew while being read
        else bytes->insert(bytes->end(), chunk, chunk + n);
    }
    ::close(fd);
    if (err != noErr) bytes->clear();
    return err;
}

}  // namespace toolbox
