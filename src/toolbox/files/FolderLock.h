// FolderLock: an advisory lock that cooperating processes take on a folder while they read
// a file in it and write the file back, so that no other process's write falls between.
// Files there are replaced by renaming, so the lock is on the folder, never on the file.
#pragma once

#include <chrono>
#include <string>

namespace toolbox {

class FolderLock {
public:
    // Waits up to `patience` for the lock. Without it (a folder that is missing or cannot be
    // locked, or a holder that keeps it longer) Held() is false and the caller goes on alone.
    FolderLock(const std::string& folder, std::chrono::milliseconds patience);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool Held() const { return held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace toolbox
