// Opening documents: the path is handed to the opener, by default xdg-open run as its own
// process (no shell, so a path is never read as a command).
#include "bundles/LaunchServices.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

toolbox::DocumentOpener& Opener() {
    static toolbox::DocumentOpener opener;
    return opener;
}

OSStatus OpenPath(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return fnfErr;
    const toolbox::DocumentOpener& opener = Opener();
    return opener ? opener(path) : toolbox::OpenWithDesktop(path);
}

}  // namespace

namespace toolbox {

DocumentOpener SetDocumentOpener(DocumentOpener opener) {
    DocumentOpener old = std::move(Opener());
    Opener() = std::move(opener);
    return old;
}

std::string FindDesktopOpener() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (std::size_t i = 0; i <= dirs.size();) {
        std::size_t end = dirs.find(':', i);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(i, end - i);
        i = end + 1;
        if (dir.empty()) continue;
        std::string candidate = dir + "/xdg-open";
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

OSStatus OpenWithDesktop(const std::string& path) {
    std::string opener = FindDesktopOpener();
    if (opener.empty()) return kLSApplicationNotFoundErr;
    std::vector<char*> argv = {const_cast<char*>(opener.c_str()), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, opener.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return kLSUnknownErr;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return kLSUnknownErr;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return noErr;
    // xdg-open exits with 3 when no program for the document can be found.
    return WIFEXITED(status) && WEXITSTATUS(status) == 3 ? OSStatus(kLSApplicationNotFoundErr) : OSStatus(kLSUnknownErr);
}

}  // namespace toolbox

OSStatus LSOpenFSRef(const FSRef* inRef, FSRef* outLaunchedRef) {
    std::string path;
    if (inRef == nullptr || !toolbox::FSRefToPath(inRef, &path)) return paramErr;
    OSStatus status = OpenPath(path);
    if (status == noErr && outLaunchedRef) *outLaunchedRef = *inRef;
    return status;
}

OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL) {
    if (outLaunchedURL) *outLaunchedURL = nullptr;
    if (inURL == nullptr) return paramErr;
    OSStatus status = OpenPath(toolbox::CFURLToPath(inURL));
    if (status == noErr && outLaunchedURL) *outLaunchedURL = static_cast<CFURLRef>(CFRetain(inURL));
    return status;
}

OSStatus LSCopyItemInfoForRef(const FSRef* inItemRef, LSRequestedInfo inWhichInfo, LSItemInfoRecord* outItemInfo) {
    std::string path;
    if (inItemRef == nullptr || outItemInfo == nullptr || !toolbox::FSRefToPath(inItemRef, &path)) return paramErr;
    *outItemInfo = LSItemInfoRecord{0, 0, 0, nullptr, nullptr, 0};
    struct stat st, lst;
    if (::stat(path.c_str(), &st) != 0) return fnfErr;
    if (!(inWhichInfo & (kLSRequestBasicFlagsOnly | kLSRequestAllFlags))) return noErr;
    LSItemInfoFlags flags = S_ISDIR(st.st_mode) ? kLSItemInfoIsContainer : kLSItemInfoIsPlainFile;
    auto endsWith = [&](const char* ext) {
        std::string e = ext;
        return path.size() > e.size() && path.compare(path.size() - e.size(), e.size(), e) == 0;
    };
    if (S_ISDIR(st.st_mode) && (endsWith(".app") || endsWith(".bundle") || endsWith(".plugin"))) flags |= kLSItemInfoIsPackage;
    if (endsWith(".app")) flags |= kLSItemInfoIsApplication;
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) flags |= kLSItemInfoIsSymlink;
    std::size_t slash = path.find_last_of('/');
    if (path.compare(slash == std::string::npos ? 0 : slash + 1, 1, ".") == 0) flags |= kLSItemInfoIsInvisible;
    if (path == "/") flags |= kLSItemInfoIsVolume;
    outItemInfo->flags = flags;
    return noErr;
}
