// OutputPaths: where a file that is written under a temporary name and renamed into place
// really goes, the temporary names themselves, and the removal of those a killed process
// left behind. A link keeps pointing where it did (its target gets the new content); the
// null device takes the content as it comes; nothing else but a regular file is replaced.
#pragma once

#include <string>

namespace toolbox {

struct OutputTarget {
    std::string path;   // the file to replace: the path given, or where its links end
    bool sink = false;  // the null device: written to directly, with nothing to rename
};

// False with the reason, without the path ("is a named pipe; ..."), when a folder, a
// device other than the null device, a named pipe, a socket or a loop of links is in the
// way. A path that does not exist yet (or a link to one) is fine.
bool ResolveOutputTarget(const std::string& path, OutputTarget* target, std::string* why);

// The temporary name beside `path`: ".NAME.PID.part". A name too long for that keeps its
// beginning and gains a hash of the whole (".NAME~HASH.PID.part"), within NAME_MAX.
std::string PartFileNameFor(const std::string& path);

// Removes from `folder` the regular files of this process's user named like the above
// whose process is no longer running. Each folder is looked at once per process.
void RemoveAbandonedPartFiles(const std::string& folder);

}  // namespace toolbox
