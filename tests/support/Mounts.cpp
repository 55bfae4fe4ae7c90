// A file system mounted for one test.
#include "support/Mounts.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace testsupport {

ScopedMount::ScopedMount(const std::filesystem::path& where, Kind kind, int kilobytes) : where_(where) {
    std::filesystem::create_directories(where);
    int rc = -1;
    if (kind == Kind::ReadOnlyBind) {
        rc = ::mount(where.c_str(), where.c_str(), nullptr, MS_BIND, nullptr);
        if (rc == 0) {
            mounted_ = true;
            rc = ::mount(nullptr, where.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr);
        }
    } else {
        const std::string size = "size=" + std::to_string(kilobytes) + "k";
        rc = ::mount("tmpfs", where.c_str(), "tmpfs", kind == Kind::ReadOnlyTmpfs ? MS_RDONLY : 0, size.c_str());
        mounted_ = rc == 0;
    }
    if (rc != 0) error_ = std::strerror(errno);
}

ScopedMount::~ScopedMount() {
    // A busy mount (a child still holding a file) is detached rather than left behind.
    if (mounted_ && ::umount2(where_.c_str(), 0) != 0) ::umount2(where_.c_str(), MNT_DETACH);
}

}  // namespace testsupport
