// Folder Manager stand-in: FindFolder for the user's Preferences folder, which the
// toolbox places in the application's folder under the XDG configuration folder unless
// the host points it elsewhere.
#pragma once

#include <string>

#include "files/Files.h"

enum : FSVolumeRefNum {
    kOnSystemDisk = -32768,
    kOnAppropriateDisk = -32767,
    kUserDomain = -32763,
};
enum : Boolean { kDontCreateFolder = 0, kCreateFolder = 1 };
enum : OSType { kPreferencesFolderType = FOUR_CHAR_CODE("pref") };

// fnfErr when the folder is not there and may not be created, or for a folder type
// the stand-in does not know.
OSErr FindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder, FSVolumeRefNum* foundVRefNum,
                 SInt32* foundDirID);

namespace toolbox {

// Names the application that uses the toolbox, set once at start-up. Its folder holds the
// default Preferences folder, $XDG_CONFIG_HOME/NAME/Preferences (else
// ~/.config/NAME/Preferences). Without a name (or with one that is not a plain folder
// name) there is no default, and FindFolder answers fnfErr unless a folder is set below.
void SetApplicationName(const std::string& name);
// Makes `path` the Preferences folder (the host's --prefs-dir). The toolbox does not
// create it: while it is missing, FindFolder fails. An empty path goes back to the
// default in the application's folder, which FindFolder creates on first use as the Mac
// system keeps its own folder there.
void SetPreferencesFolder(const std::string& path);
// The folder FindFolder would answer, whether or not it exists.
std::string PreferencesFolderPath();

}  // namespace toolbox
