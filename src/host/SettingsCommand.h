// The effect's settings as the user sees them: the `settings` command, which shows and
// sets them, and the lines that render and info print about the settings they used. The
// settings are read and saved by the plug-in's own preferences code in the program
// libexec/tonefade-settings, which the host runs; the host itself never reads or writes
// the preferences file.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Options.h"

namespace host {

extern const Command kSettingsCommand;

// The settings in force, as the settings program reports them: file, saved, problem,
// amount, rect, format, size and pixels (see tools/Settings.cpp).
struct ShownSettings {
    std::map<std::string, std::string> values;
    const std::string& operator[](const std::string& key) const;
    bool NothingChanges() const;  // the amount is 0 or the rectangle covers no pixel
};

// Runs the settings program on `prefsFolder` with `extra` arguments; standard input is
// the host's. Throws JobFailure with the program's own message when it fails.
ShownSettings RunSettingsProgram(const std::string& prefsFolder, const std::vector<std::string>& extra);

// The preferences folder the plug-in uses, --prefs-dir or the user's.
std::string PreferencesFolderFor(const std::string& prefsDir);

// For the summaries of render and info: "settings: amount 60 %, ..." and, when nothing
// will change, a warning; both on standard error. A settings program that cannot run
// costs one line, not the job.
void ReportSettingsUsed(const std::string& prefsDir, int width, int height);
// The same settings as a JSON object.
std::string SettingsJson(const ShownSettings& s);
// For info: the settings in force as text lines or as a JSON member (", \"settings\": {...}"),
// with the warning on standard error when nothing will change; a frame size of 0 takes
// the media format's.
std::string DescribeSettings(const std::string& prefsDir, int width, int height, bool json);

}  // namespace host
