// Bundle loading with dlopen.
#include "PluginLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

#include "Carbon.h"

namespace host {

std::string DefaultBundlePath() {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "Tonefade.bundle";
    // In the build tree the bundle lies beside bin/; an installed host finds it where
    // `cmake --install` put it, relative to its own folder, so the prefix can move.
    fs::path built = exe.parent_path().parent_path() / "Tonefade.bundle";
#ifdef TONEFADE_INSTALLED_BUNDLE
    fs::path installed = (exe.parent_path() / TONEFADE_INSTALLED_BUNDLE).lexically_normal();
    if (!fs::is_directory(built, ec) && fs::is_directory(installed, ec)) return installed.string();
#endif
    return built.string();
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
