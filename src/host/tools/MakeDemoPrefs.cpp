// Build step: writes the demo's preferences file with the plug-in's own preferences
// code, so the demo starts with settings that show the effect (full amount, centre).
#include <cstdio>
#include <filesystem>
#include <string>

#include "Carbon.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: tonefade-make-demo-prefs FOLDER\n"
                             "Writes FOLDER/vardo-Prefs holding amount 100 on the centre of the frame.\n");
        return argc == 2 ? 0 : 2;
    }
    std::filesystem::create_directories(argv[1]);
    toolbox::SetPreferencesFolder(argv[1]);
    pluginDataRec settings{};
    ResetConfig(&settings);
    settings.sliders[0] = 100;
    settings.startRel = relRect{0.25, 0.75, 0.25, 0.75};
    if (!SaveConfig(&settings)) {
        std::fprintf(stderr, "tonefade-make-demo-prefs: cannot write the preferences in %s\n", argv[1]);
        return 1;
    }
    return 0;
}
