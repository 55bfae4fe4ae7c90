// Folder Manager stand-in. The default Preferences folder belongs to the toolbox, which
// creates it as Mac OS keeps its own; a folder named by the host is the host's to make.
#include "files/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string& PreferencesOverride() {
    static std::string path;
    return path;
}

std::string& ApplicationName() {
    static std::string name;
    return name;
}

// XDG ignores relative values, so only an absolute one is taken.
std::string AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string ConfigHome() {
    std::string config = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
    if (!config.empty()) return config;
    std::string home = AbsoluteFromEnvironment("HOME");
    if (home.empty()) {
        const passwd* pw = ::getpwuid(::getuid());
        if (pw && pw->pw_dir && pw->pw_dir[0] == '/') home = pw->pw_dir;
    }
    return home.empty() ? std::string() : home + "/.config";
}

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// Private to the user, as ~/Library/Preferences is.
bool MakeFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec || !IsDirectory(path)) return false;
    ::chmod(path.c_str(), 0700);
    return true;
}

bool IsKnownDomain(FSVolumeRefNum vRefNum) {
    return vRefNum == kOnSystemDisk || vRefNum == kOnAppropriateDisk || vRefNum == kUserDomain ||
           vRefNum == toolbox::kStandInVolume;
}

}  // namespace

namespace toolbox {

void SetApplicationName(const std::string& name) {
    const bool plain = name != "." && name != ".." && name.find('/') == std::string::npos;
    ApplicationName() = plain ? name : std::string();
}

void SetPreferencesFolder(const std::string& path) {
    if (path.empty()) {
        PreferencesOverride().clear();
        return;
    }
    std::error_code ec;
    PreferencesOverride() = fs::absolute(path, ec).lexically_normal().string();
}

std::string PreferencesFolderPath() {
    if (!PreferencesOverride().empty()) return PreferencesOverride();
    std::string config = ConfigHome();
    if (config.empty() || ApplicationName().empty()) return std::string();
    return config + "/" + ApplicationName() + "/Preferences";
}

}  // namespace toolbox

OSErr FindFolder(FSVolumeRefNum vRefNum, OSType folderType, Boolean createFolder, FSVolumeRefNum* foundVRefNum,
                 SInt32* foundDirID) {
    if (foundVRefNum == nullptr || foundDirID == nullptr || !IsKnownDomain(vRefNum)) return paramErr;
    if (folderType != kPreferencesFolderType) return fnfErr;
    std::string path = toolbox::PreferencesFolderPath();
    if (path.empty()) return fnfErr;
    bool ours = PreferencesOverride().empty();
    if (!IsDirectory(path) && !((ours || createFolder) && MakeFolder(path))) return fnfErr;
    if (toolbox::DirIDForPath(path, foundDirID) != noErr) return fnfErr;
    *foundVRefNum = toolbox::kStandInVolume;
    return noErr;
}
