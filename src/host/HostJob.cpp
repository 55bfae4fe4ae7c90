// Shared set-up of the commands.
#include "HostJob.h"

#include <filesystem>

#include "files/Folders.h"

namespace host {

CommonOptions ReadCommonOptions(const Args& args) {
    CommonOptions options;
    options.pluginPath = args.Value("--plugin");
    options.prefsDir = args.Value("--prefs-dir");
    options.quiet = args.Has("--quiet");
    if (args.Has("--plugin") && options.pluginPath.empty()) throw UsageError("--plugin needs a bundle path");
    if (args.Has("--prefs-dir") && options.prefsDir.empty()) throw UsageError("--prefs-dir needs a folder");
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
