// AtomicFile: writing a whole file so that a crash at any moment leaves either the old
// file or the new one, never a mixture; and reading a whole file with a size limit.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "MacTypes.h"

namespace toolbox {

struct ExtendedAttribute {
    std::string name;
    std::vector<UInt8> value;
};

enum class AtomicMode {
    CreateNew,  // dupFNErr when the file exists
    Replace,    // the new file keeps the old one's mode and user extended attributes
};

// Writes a temporary file beside `path`, syncs it, renames it over `path` and syncs the
// folder. `attributes` go on the new file where the file system keeps them. On failure
// the old file, if any, is untouched and no temporary file is left behind.
OSErr WriteFileAtomically(const std::string& path, std::span<const UInt8> bytes, AtomicMode mode,
                          const std::vector<ExtendedAttribute>& attributes = {});

// Reads a regular file whole. notAFileErr for anything else (a folder, a device, a pipe,
// checked before a byte is read); fsDataTooBigErr when it holds more than maxSize bytes.
OSErr ReadWholeFile(const std::string& path, std::size_t maxSize, std::vector<UInt8>* bytes);

// Steps of a write, for tests that make one of them fail.
enum class AtomicWriteStep { None, CreateTemporary, WriteData, SyncData, Publish, SyncFolder };
// The next `times` writes fail at `step` as if the disk had reported an I/O error;
// None disarms.
void FailAtomicWriteForTesting(AtomicWriteStep step, int times = 1);

}  // namespace toolbox
