// Bundle loading with dlopen.
#include "PluginLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "Carbon.h"

namespace host {

std::string DefaultBundlePath() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "Tonefade.bundle";
    return (exe.parent_path().parent_path() / "Tonefade.bundle").string();
}

bool LoadPluginBundle(const std::string& bundlePath, LoadedPlugin* plugin, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(bundlePath, ec)) {
        *error = bundlePath + ": no plug-in bundle there" + (ec ? " (" + ec.message() + ")" : "");
        return false;
    }
    CFBundleRef bundle = toolbox::RegisterBundle(bundlePath, error);
    if (bundle == nullptr) return false;
    std::string executable = (fs::path(bundlePath) / "Contents" / "MacOS" / toolbox::BundleExecutableName(bundle)).string();
    void* handle = dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        *error = executable + ": cannot load the plug-in (" + dlerror() + ")";
        return false;
    }
    auto entry = reinterpret_cast<HYPluginEntryProcPtr>(dlsym(handle, "main"));
    if (entry == nullptr) {
        dlclose(handle);
        *error = executable + ": the plug-in exports no entry point 'main'";
        return false;
    }
    if (toolbox::OpenBundleResourceFile(bundle) == -1) {
        dlclose(handle);
        *error = bundlePath + ": the bundle's resource file is missing or damaged";
        return false;
    }
    plugin->entry = entry;
    plugin->bundlePath = bundlePath;
    return true;
}

}  // namespace host
