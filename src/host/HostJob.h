// What every tonefade-host command shares: the options --plugin, --prefs-dir and
// --quiet, loading the bundle, and the failure of a job (exit status 1), as opposed to
// wrong usage (UsageError, exit status 2).
#pragma once

#include <stdexcept>
#include <string>

#include "Options.h"
#include "PluginLoader.h"

namespace host {

struct JobFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

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

}  // namespace host
