// Temporary output files, their commit, and the flag that stops a job on a signal.
#include "OutputFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ImageSequence.h"
#include "files/OutputPaths.h"

namespace host {

namespace fs = std::filesystem;

namespace {

struct CaughtSignal {
    int number;
    const char* name;
};
const CaughtSignal kJobEndingSignals[] = {
    {SIGHUP, "SIGHUP"},   {SIGINT, "SIGINT"},   {SIGQUIT, "SIGQUIT"}, {SIGPIPE, "SIGPIPE"},
    {SIGALRM, "SIGALRM"}, {SIGTERM, "SIGTERM"}, {SIGUSR1, "SIGUSR1"}, {SIGUSR2, "SIGUSR2"},
    {SIGXCPU, "SIGXCPU"}, {SIGXFSZ, "SIGXFSZ"}, {SIGVTALRM, "SIGVTALRM"},
};

volatile std::sig_atomic_t gSignal = 0;

void OnSignal(int signal) {
    if (gSignal == 0) gSignal = signal;
    // The next one is not caught: a second Ctrl-C ends a job that does not stop. A broken
    // pipe and the file size limit come from the job's own writes, not from a person:
    // they are ignored, so that reporting the stop cannot end the cleanup.
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    for (const CaughtSignal& s : kJobEndingSignals) {
        action.sa_handler = s.number == SIGPIPE || s.number == SIGXFSZ ? SIG_IGN : SIG_DFL;
        sigaction(s.number, &action, nullptr);
    }
}

// Every set not yet committed, so that exit() from anywhere still removes their files.
std::vector<PendingFiles*>& OpenSets() {
    static std::vector<PendingFiles*> sets;
    return sets;
}

void DiscardAtExit() {
    for (PendingFiles* set : OpenSets()) set->Discard();
}

bool Refuse(const std::string& path, const std::string& why, std::string* error) {
    *error = path + ": " + why;
    return false;
}

// True when `name` is the file name the pattern gives one of its numbers.
bool IsNumberedName(const std::string& pattern, const std::string& name) {
    const char* const digits = "0123456789";
    for (std::size_t at = name.find_first_of(digits); at != std::string::npos;) {
        const std::size_t stop = std::min(name.find_first_not_of(digits, at), name.size());
        const std::string number = name.substr(at, stop - at);
        if (number.size() <= 9 && fs::path(SequenceFileName(pattern, std::stoi(number))).filename() == name)
            return true;
        at = name.find_first_of(digits, stop);
    }
    return false;
}

// A numbered file of `pattern` that is not a regular file (a link, a named pipe, ...)
// must resolve to something that may be replaced. Regular files are passed over
// without a look, so a folder of many frames costs one listing.
bool CheckNumberedFiles(const std::string& pattern, const fs::path& folder, std::string* error) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        if (it->symlink_status(kind).type() == fs::file_type::regular) continue;
        toolbox::OutputTarget target;
        std::string why;
        if (IsNumberedName(pattern, it->path().filename().string()) &&
            !toolbox::ResolveOutputTarget(it->path().string(), &target, &why))
            return Refuse(it->path().string(), why, error);
    }
    return true;
}

}  // namespace

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const CaughtSignal& s : kJobEndingSignals) sigaction(s.number, &action, nullptr);
}

bool Interrupted() { return gSignal != 0; }

int InterruptedStatus() { return 128 + int(gSignal); }

int ReportInterrupted(const std::string& output) {
    const char* name = "a signal";
    for (const CaughtSignal& s : kJobEndingSignals)
        if (s.number == gSignal) name = s.name;
    std::fprintf(stderr, "tonefade-host: interrupted by %s; %s was not written\n", name, output.c_str());
    return InterruptedStatus();
}

std::string TemporaryNameFor(const std::string& finalPath) { return toolbox::PartFileNameFor(finalPath); }

bool CheckOutputFolder(const std::string& finalPath, std::string* error) {
    toolbox::OutputTarget target;
    std::string why;
    if (!toolbox::ResolveOutputTarget(finalPath, &target, &why)) return Refuse(finalPath, why, error);
    if (target.sink) return true;
    fs::path folder = fs::path(target.path).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return Refuse(finalPath, "the folder " + folder.string() + " does not exist", error);
    if (::access(folder.c_str(), W_OK) != 0)
        return Refuse(finalPath, "the folder " + folder.string() + " is not writable", error);
    return !IsSequencePattern(finalPath) || CheckNumberedFiles(finalPath, folder, error);
}

bool SameFile(const std::string& input, const std::string& output) {
    std::error_code a, b;
    const fs::path in = fs::weakly_canonical(input, a), out = fs::weakly_canonical(output, b);
    if (!a && !b && in == out) return true;
    struct stat i {}, o {};
    return ::stat(input.c_str(), &i) == 0 && ::stat(output.c_str(), &o) == 0 && i.st_dev == o.st_dev &&
           i.st_ino == o.st_ino;
}

PendingFiles::PendingFiles() {
    // The list exists before the exit handlers are registered, so it outlives them.
    static bool registered = (OpenSets(), std::atexit(DiscardAtExit), std::at_quick_exit(DiscardAtExit), true);
    (void)registered;
    OpenSets().push_back(this);
}

PendingFiles::~PendingFiles() {
    Discard();
    auto& sets = OpenSets();
    sets.erase(std::remove(sets.begin(), sets.end(), this), sets.end());
}

std::string PendingFiles::Add(const std::string& finalPath) {
    File file;
    file.named = finalPath;
    toolbox::OutputTarget target;
    std::string why;
    if (!toolbox::ResolveOutputTarget(finalPath, &target, &why)) {
        // Written nowhere; Commit reports why.
        file.refused = finalPath + ": " + why;
        file.sink = true;
        file.temporary = "/dev/null";
    } else {
        file.target = target.path;
        file.sink = target.sink;
        if (!file.sink) toolbox::RemoveAbandonedPartFiles(fs::path(target.path).parent_path().string());
        file.temporary = file.sink ? target.path : TemporaryNameFor(target.path);
    }
    files_.push_back(std::move(file));
    return files_.back().temporary;
}

bool PendingFiles::Commit(std::string* error) {
    // Whatever took a file's place meanwhile is checked before anything is renamed.
    for (File& file : files_) {
        toolbox::OutputTarget now;
        std::string why;
        if (file.refused.empty() && !file.sink && !toolbox::ResolveOutputTarget(file.target, &now, &why))
            file.refused = file.named + ": " + why;
        if (file.refused.empty()) continue;
        *error = file.refused;
        Discard();
        return false;
    }
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (files_[i].sink) continue;
        std::error_code ec;
        fs::rename(files_[i].temporary, files_[i].target, ec);
        if (ec) {
            *error = files_[i].named + ": " + ec.message();
            // Files already renamed are complete; the rest stay temporary and go away.
            files_.erase(files_.begin(), files_.begin() + std::ptrdiff_t(i));
            Discard();
            return false;
        }
    }
    files_.clear();
    return true;
}

void PendingFiles::Discard() {
    for (const File& file : files_) {
        std::error_code ec;
        if (!file.sink) fs::remove(file.temporary, ec);
    }
    files_.clear();
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string* error) {
    if (!CheckOutputFolder(path, error)) return false;
    PendingFiles files;
    std::ofstream stream(files.Add(path), std::ios::binary);
    stream << text;
    stream.close();
    if (!stream) return Refuse(path, "cannot be written", error);
    return files.Commit(error);
}

bool NullSink::Consume(int, GWorldPtr, const std::vector<int16_t>&, std::string* error) {
    if (!Interrupted()) return true;
    *error = "interrupted";
    return false;
}

}  // namespace host
