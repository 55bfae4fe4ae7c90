// Output that appears only when it is complete: files are written under temporary names
// beside their final ones and renamed into place at the very end; a failure, an
// interrupt or an early exit removes the temporary files instead.
#pragma once

#include <string>
#include <vector>

#include "RenderDriver.h"

namespace host {

// The signals that end a job (hangup, interrupt, quit, broken pipe, alarm, terminate,
// the user signals and the CPU and file size limits) set a flag instead of killing the
// process, so that a job can stop between frames and remove its temporary files; a
// second signal ends the process at once.
void InstallInterruptHandlers();
bool Interrupted();
// The exit status for an interrupted job (128 + the signal).
int InterruptedStatus();
// Says on standard error that the job was stopped and `output` not written; returns
// InterruptedStatus().
int ReportInterrupted(const std::string& output);

// A hidden name in the folder of what `finalPath` names: ".NAME.PID.part" (a long NAME is
// shortened, see toolbox::PartFileNameFor).
std::string TemporaryNameFor(const std::string& finalPath);
// False with "PATH: ..." when nothing may be written at `finalPath`: its folder is missing
// or not writable, or a folder, a device, a named pipe or a socket is in its place (for a
// pattern, in the place of any of its numbered files). Links are followed; /dev/null is
// fine.
bool CheckOutputFolder(const std::string& finalPath, std::string* error);
// True when `output` names the file `input` names: by their paths once links and ".."
// are resolved, or, when both exist, by device and inode.
bool SameFile(const std::string& input, const std::string& output);

// A set of files being written; the destructor (and process exit, also through
// quick_exit) removes the temporary files of a set that was never committed. Temporary
// files of the same naming that a killed process left in a folder go when the next set
// writes into it.
class PendingFiles {
public:
    PendingFiles();
    ~PendingFiles();
    PendingFiles(const PendingFiles&) = delete;
    PendingFiles& operator=(const PendingFiles&) = delete;

    // Reserves and returns the name under which `finalPath` is written: a temporary name
    // beside the file it names (through links), or the null device itself.
    std::string Add(const std::string& finalPath);
    // Renames every file into place, in the order added; nothing is renamed when any of
    // them may not be replaced.
    bool Commit(std::string* error);
    void Discard();
    std::size_t Count() const { return files_.size(); }

private:
    struct File {
        std::string temporary, target, named;  // named: the path as the user gave it
        bool sink = false;
        std::string refused;  // why nothing may be written there
    };
    std::vector<File> files_;
};

// Writes `text` to `path` as PendingFiles does (a temporary name, then a rename);
// false with "PATH: ..." when that fails.
bool WriteTextFile(const std::string& path, const std::string& text, std::string* error);

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
    bool WorthAThread() const override { return false; }
};

}  // namespace host
