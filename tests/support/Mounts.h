// A tmpfs (or a read-only bind of a folder onto itself) mounted for one test: a folder
// that cannot be written, or a disk that fills up. Mounting needs the privilege to do
// so; without it Error() says why and the test skips.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class ScopedMount {
public:
    enum class Kind { ReadOnlyTmpfs, ReadOnlyBind, SmallTmpfs };
    ScopedMount(const std::filesystem::path& where, Kind kind, int kilobytes);
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }

private:
    std::filesystem::path where_;
    bool mounted_ = false;
    std::string error_;
};

}  // namespace testsupport
