// Output that appears only when it is complete: files are written under temporary names
// beside their final ones and renamed into place at the very end; a failure, an
// interrupt or an early exit removes the temporary files instead.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "RenderDriver.h"

namespace host {

// SIGINT and SIGTERM set a flag instead of killing the process, so that a render can
// stop between frames and clean up; a second signal ends the process at once.
void InstallInterruptHandlers();
bool Interrupted();
// The exit status for an interrupted job (128 + the signal).
int InterruptedStatus();

// A hidden name in the same folder: ".NAME.PID.part".
std::string TemporaryNameFor(const std::string& finalPath);
// False with "PATH: ..." when the folder of `finalPath` is missing or not writable.
bool CheckOutputFolder(const std::string& finalPath, std::string* error);

// A set of files being written; the destructor (and process exit) removes the
// temporary files of a set that was never committed.
class PendingFiles {
public:
    PendingFiles();
    ~PendingFiles();
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;

    // Reserves and returns the temporary name under which `finalPath` is written.
    std::string Add(const std::string& finalPath);
    // Renames every file into place, in the order added.
    bool Commit(std::string* error);
    void Discard();
    std::size_t Count() const { return files_.size(); }

private:
    std::vector<std::pair<std::string, std::string>> files_;  // temporary, final
};

// A frame sink that writes files: Finish completes them and renames them into place.
// A sink destroyed without Finish leaves nothing behind.
class OutputSink : public FrameSink {
public:
    virtual bool Finish(std::string* error) = 0;
};

// Accepts every frame and writes nothing (OUTPUT "/dev/null"), for timing.
class NullSink : public OutputSink {
public:
    bool Consume(int, GWorldPtr, const std::vector<int16_t>&, std::string* error) override;
    bool Finish(std::string*) override { return true; }
};

}  // namespace host
