// Temporary output files, their commit, and the interrupt flag that stops a render.
#include "OutputFiles.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>

namespace host {

namespace fs = std::filesystem;

namespace {

volatile std::sig_atomic_t gSignal = 0;

void OnSignal(int signal) {
    gSignal = signal;
    // The next one is not caught: a second Ctrl-C ends a job that does not stop.
    std::signal(signal, SIG_DFL);
}

// Every set not yet committed, so that exit() from anywhere still removes their files.
std::vector<PendingFiles*>& OpenSets() {
    static std::vector<PendingFiles*> sets;
    return sets;
}

void DiscardAtExit() {
    for (PendingFiles* set : OpenSets()) set->Discard();
}

}  // namespace

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return gSignal != 0; }

int InterruptedStatus() { return 128 + int(gSignal); }

std::string TemporaryNameFor(const std::string& finalPath) {
    fs::path path(finalPath);
    std::string name(1, '.');
    name.append(path.filename().string()).append(1, '.').append(std::to_string(::getpid())).append(".part");
    return (path.parent_path() / name).string();
}

bool CheckOutputFolder(const std::string& finalPath, std::string* error) {
    fs::path folder = fs::path(finalPath).parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        *error = finalPath + ": the folder " + folder.string() + " does not exist";
        return false;
    }
    if (::access(folder.c_str(), W_OK) != 0) {
        *error = finalPath + ": the folder " + folder.string() + " is not writable";
        return false;
    }
    return true;
}

PendingFiles::PendingFiles() {
    // The list exists before the exit handler is registered, so it outlives the handler.
    static bool registered = (OpenSets(), std::atexit(DiscardAtExit), true);
    (void)registered;
    OpenSets().push_back(this);
}

PendingFiles::~PendingFiles() {
    Discard();
    auto& sets = OpenSets();
    sets.erase(std::remove(sets.begin(), sets.end(), this), sets.end());
}

std::string PendingFiles::Add(const std::string& finalPath) {
    files_.emplace_back(TemporaryNameFor(finalPath), finalPath);
    return files_.back().first;
}

bool PendingFiles::Commit(std::string* error) {
    for (std::size_t i = 0; i < files_.size(); ++i) {
        std::error_code ec;
        fs::rename(files_[i].first, files_[i].second, ec);
        if (ec) {
            *error = files_[i].second + ": " + ec.message();
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
    for (auto& [temporary, final] : files_) {
        std::error_code ec;
        fs::remove(temporary, ec);
    }
    files_.clear();
}

bool NullSink::Consume(int, GWorldPtr, const std::vector<int16_t>&, std::string* error) {
    if (!Interrupted()) return true;
    *error = "interrupted";
    return false;
}

}  // namespace host
