// Shared set-up of the commands.
#include "HostJob.h"

#include <filesystem>

#include "files/Folders.h"

namespace host {

namespace {

constexpr Option kCommonOptions[] = {
    {.name = "--plugin", .kind = OptionKind::Text, .value = "BUNDLE", .help = "the plug-in bundle",
     .defaultNote = "the one built beside this program", .noun = "a bundle path"},
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
    toolbox::SetPreferencesFolder(options.prefsDir);
    LoadedPlugin plugin;
    std::string error;
    if (!LoadPluginBundle(options.pluginPath.empty() ? DefaultBundlePath() : options.pluginPath, &plugin, &error))
        throw JobFailure(error);
    return plugin;
}

}  // namespace host
