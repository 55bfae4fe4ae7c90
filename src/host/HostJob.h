// What every tonefade-host command shares: the options --plugin, --prefs-dir and
// --quiet, loading the bundle, and the failure of a job (exit status 1), as opposed to
// wrong usage (UsageError, exit status 2).
#pragma once

#include <map>
#include <stdexcept>
#include <string>

#include "Options.h"
#include "PluginLoader.h"

namespace host {

struct JobFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The application's name, which places the user's Preferences folder:
// $XDG_CONFIG_HOME/tonefade/Preferences.
inline constexpr const char* kApplicationName = "tonefade";

struct CommonOptions {
    std::string pluginPath;  // empty: the bundle built beside the program
    std::string prefsDir;    // empty: the user's preferences folder
    bool quiet = false;
};

// The table of the options every command takes.
std::span<const Option> CommonOptionTable();

CommonOptions ReadCommonOptions(const OptionValues& values);

// Makes the preferences folder current and loads the plug-in; throws JobFailure.
LoadedPlugin LoadPluginFor(const CommonOptions& options);

// What a folder's regular files hold, taken when made: tells afterwards whether the
// plug-in saved anything there, without the host knowing the names of its files.
class FolderSnapshot {
public:
    explicit FolderSnapshot(std::string folder);
    // The path of a file that is new or holds other bytes than before; empty when none.
    std::string ChangedFile() const;

private:
    static std::map<std::string, std::string> Read(const std::string& folder);
    std::string folder_;
    std::map<std::string, std::string> files_;
};

}  // namespace host
