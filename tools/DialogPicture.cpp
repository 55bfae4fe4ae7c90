// Build step: the picture of the settings window for the manual. Loads the built bundle
// as the host does, presses the plug-in's button on the built-in test clip, sets the
// amount and the rectangle with an event script and writes the window as PNG, so the
// manual always shows the dialog as it is built.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "ConfigureCommand.h"
#include "DemoClip.h"
#include "PluginLoader.h"
#include "RenderDriver.h"
#include "files/Folders.h"

int main(int argc, char** argv) try {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tonefade-dialog-picture BUNDLE OUT.png\n");
        return 2;
    }
    std::error_code ec;
    const std::filesystem::path out = std::filesystem::absolute(argv[2], ec);
    const std::filesystem::path prefs = out.parent_path() / "dialog-picture-prefs";
    std::string error;
    host::LoadedPlugin plugin;
    if (!host::LoadPluginBundle(argv[1], &plugin, &error)) {
        std::fprintf(stderr, "tonefade-dialog-picture: %s\n", error.c_str());
        return 1;
    }
    // A folder of its own: the picture starts from the defaults, the user's settings stay untouched.
    if (!ec) std::filesystem::remove_all(prefs, ec);
    if (!ec) std::filesystem::create_directories(prefs, ec);
    if (ec) {
        std::fprintf(stderr, "tonefade-dialog-picture: %s: %s\n", prefs.c_str(), ec.message().c_str());
        return 1;
    }
    toolbox::SetPreferencesFolder(prefs.string());
    host::DemoClip clip(1280, 720, 90);
    host::HostSession session(clip, clip.Width(), clip.Height());
    host::ButtonPress press;
    press.frame = 40;
    press.scriptText = "slider Sldr 1 80\ndrag 16 16 196 136 6 option\n";
    press.snapshotPath = out.string();
    try {
        host::CallPlugin(plugin.entry, session, kPlugGetInfo);
        host::PressPluginButton(plugin.entry, session, press);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tonefade-dialog-picture: %s\n", e.what());
        return 1;
    }
    std::filesystem::remove_all(prefs, ec);
    return 0;
} catch (const std::exception& e) {
    // The last resort: one line and a failed step, never an abort.
    std::fprintf(stderr, "tonefade-dialog-picture: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "tonefade-dialog-picture: an unknown error\n");
    return 1;
}
