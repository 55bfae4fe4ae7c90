// Shared set-up of the commands.
#include "HostJob.h"

#include <filesystem>
#include <vector>

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
    {.name = "--help", .help = "prints this text", .standsAlone = true},
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
