// What every tonefade-host command shares: the options --plugin, --prefs-dir and
// --quiet, loading the bundle, and the failure of a job (exit status 1), as opposed to
// wrong usage (UsageError, exit status 2).
#pragma once

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

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

// -y and -n, as ffmpeg has them, for the commands that write files.
inline constexpr Option kOverwriteOption{.name = "--overwrite", .shortName = "-y",
                                         .help = "replaces output files that exist, without asking"};
inline constexpr Option kNoOverwriteOption{
    .name = "--no-overwrite", .shortName = "-n",
    .help = "never replaces an output file that exists: the job stops instead. Without -y or -n you are asked on a "
            "terminal, and otherwise the job stops"};

enum class Overwrite { Ask, Always, Never };

// -y, -n or neither; both at once is wrong usage.
Overwrite ReadOverwrite(const OptionValues& values);

// Stops the job (JobFailure) unless every file of `outputs` that exists may be replaced:
// with Ask, the question "File 'X' already exists. Overwrite? [y/N]" goes to `prompt` when
// `answers` is a terminal, and only "y" or "yes" goes on; without a terminal nobody can
// answer, and the job stops. Only regular files (also through links) are in the way.
// False when a signal came while the question waited for its answer.
bool ConfirmOverwrite(const std::vector<std::string>& outputs, Overwrite policy, std::FILE* answers = stdin,
                      std::FILE* prompt = stderr);

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
