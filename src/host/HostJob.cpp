// Shared set-up of the commands.
#include "HostJob.h"

#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <vector>

#include "OutputFiles.h"
#include "files/AtomicFile.h"
#include "files/Folders.h"

namespace host {

namespace {

constexpr Option kCommonOptions[] = {
    {.name = "--plugin", .kind = OptionKind::Text, .value = "BUNDLE", .help = "the plug-in bundle",
     .defaultNote = "the one built or installed with this program", .noun = "a bundle path"},
    {.name = "--prefs-dir", .kind = OptionKind::Text, .value = "DIR",
     .help = "the folder that holds the plug-in's settings; it must exist", .defaultNote = "the user's",
     .noun = "a folder"},
    {.name = "--quiet", .help = "no progress bar and no summary"},
    {.name = "--help", .shortName = "-h", .help = "prints this text", .standsAlone = true},
};

}  // namespace

std::span<const Option> CommonOptionTable() { return kCommonOptions; }

CommonOptions ReadCommonOptions(const OptionValues& args) {
    CommonOptions options;
    options.pluginPath = args.Text("--plugin");
    options.prefsDir = args.Text("--prefs-dir");
    options.quiet = args.Flag("--quiet");
    return options;
}

LoadedPlugin LoadPluginFor(const CommonOptions& options) {
    if (!options.prefsDir.empty()) {
        // The plug-in saves its settings there as soon as it starts; a folder that is not
        // there would silently cost the user's settings.
        std::error_code ec;
        if (!std::filesystem::is_directory(options.prefsDir, ec))
            throw JobFailure(options.prefsDir + ": the preferences folder does not exist");
    }
    toolbox::SetApplicationName(kApplicationName);
    toolbox::SetPreferencesFolder(options.prefsDir);
    LoadedPlugin plugin;
    std::string error;
    if (!LoadPluginBundle(options.pluginPath.empty() ? DefaultBundlePath() : options.pluginPath, &plugin, &error))
        throw JobFailure(error);
    return plugin;
}

Overwrite ReadOverwrite(const OptionValues& values) {
    const bool yes = values.Flag("--overwrite"), no = values.Flag("--no-overwrite");
    if (yes && no) throw UsageError("-y (--overwrite) and -n (--no-overwrite) contradict each other");
    return yes ? Overwrite::Always : no ? Overwrite::Never : Overwrite::Ask;
}

namespace {

// Waits for a line on the terminal, looking out for a signal that may come before the
// wait begins as well as during it.
bool SaysYes(std::FILE* answers) {
    const int fd = fileno(answers);
    for (;;) {
        if (Interrupted()) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) break;
    }
    char line[64] = {};
    const ssize_t n = read(fd, line, sizeof line - 1);  // a terminal gives one line a read
    std::string word;
    for (ssize_t i = 0; i < n && !std::isspace(static_cast<unsigned char>(line[i])); ++i)
        word += char(std::tolower(static_cast<unsigned char>(line[i])));
    return word == "y" || word == "yes";
}

}  // namespace

bool ConfirmOverwrite(const std::vector<std::string>& outputs, Overwrite policy, std::FILE* answers,
                      std::FILE* prompt) {
    if (policy == Overwrite::Always) return true;
    std::vector<std::string> existing;
    std::error_code ec;
    // Only a file's contents can be replaced; a folder, a device or a pipe in an output's
    // place is refused by the job itself, with its own reason.
    for (const std::string& path : outputs)
        if (std::filesystem::is_regular_file(path, ec)) existing.push_back(path);
    if (existing.empty()) return true;
    const std::string more =
        existing.size() > 1 ? " (and " + std::to_string(existing.size() - 1) + " more of the outputs)" : "";
    const std::string what = "File '" + existing.front() + "' already exists" + more;
    if (policy == Overwrite::Never) throw JobFailure(what + "; not overwriting (-n)");
    if (!isatty(fileno(answers)))
        throw JobFailure(what + "; not overwriting without a terminal to ask (-y overwrites, -n never does)");
    std::fprintf(prompt, "%s. Overwrite? [y/N] ", what.c_str());
    std::fflush(prompt);
    const bool yes = SaysYes(answers);
    if (Interrupted()) return std::fputs("\n", prompt), false;  // Ctrl-C at the question
    if (!yes) throw JobFailure("not overwriting " + existing.front() + more);
    return true;
}

FolderSnapshot::FolderSnapshot(std::string folder) : folder_(std::move(folder)), files_(Read(folder_)) {}

std::string FolderSnapshot::ChangedFile() const {
    for (const auto& [name, contents] : Read(folder_)) {
        auto before = files_.find(name);
        if (before == files_.end() || before->second != contents)
            return (std::filesystem::path(folder_) / name).string();
    }
    return {};
}

// Each regular file by its bytes, one too large to compare cheaply by its size and time.
// Nothing else is read: a pipe or a device in a file's place can neither hang nor flood it.
std::map<std::string, std::string> FolderSnapshot::Read(const std::string& folder) {
    constexpr std::size_t kCompareBytesUpTo = 1u << 20;
    namespace fs = std::filesystem;
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::vector<UInt8> bytes;
        const OSErr err = toolbox::ReadWholeFile(it->path().string(), kCompareBytesUpTo, &bytes);
        std::error_code statError;
        if (err == noErr) {
            files[name].assign(1, '=').append(bytes.begin(), bytes.end());
        } else if (err == fsDataTooBigErr) {
            const auto size = it->file_size(statError);
            const auto time = it->last_write_time(statError).time_since_epoch().count();
            files[name].assign(1, '~').append(std::to_string(size)).append(1, '@').append(std::to_string(time));
        }
    }
    return files;
}

}  // namespace host
