// tonefade-prefs-probe: saves one distinctive settings record with the plug-in's own
// preferences code into FOLDER/vardo-Prefs and prints what it saved as JSON, for the
// independent reader (tests/toolbox/resfork_reader.py) to compare with the file.
#include <cstdio>
#include <exception>

#include "Carbon.h"
#include "effect/PrefsLoader.h"

namespace {

pluginDataRec ProbeSettings() {
    pluginDataRec r{};
    r.startRel = relRect{0.125, 0.875, 1.0 / 3.0, 0.7};
    r.endRel = relRect{-1.5, 2.25, 1e-300, 12345.678};
    for (int i = 0; i < 6; ++i) {
        r.sliders[i] = SInt16(-32768 + 13107 * i);
        r.colors[i] = RGBColor{UInt16(i), UInt16(0x1234 * i), UInt16(65535 - i)};
    }
    r.frameStartColor = RGBColor{65535, 0, 1};
    r.frameEndColor = RGBColor{2, 3, 65534};
    r.mediaType = 3;
    return r;
}

void PrintColor(const RGBColor& c) { std::printf("[%u, %u, %u]", c.red, c.green, c.blue); }

void PrintRect(const char* key, const relRect& r) {
    std::printf("\"%s\": [%.17g, %.17g, %.17g, %.17g], ", key, r.left, r.right, r.top, r.bottom);
}

void PrintJSON(const pluginDataRec& r) {
    std::printf("{\"recordSize\": %zu, ", sizeof(configsaverec));
    PrintRect("startRel", r.startRel);
    PrintRect("endRel", r.endRel);
    std::printf("\"sliders\": [%d, %d, %d, %d, %d, %d], \"colors\": [", r.sliders[0], r.sliders[1], r.sliders[2],
                r.sliders[3], r.sliders[4], r.sliders[5]);
    for (int i = 0; i < 6; ++i) {
        PrintColor(r.colors[i]);
        std::printf(i < 5 ? ", " : "], \"frameStartColor\": ");
    }
    PrintColor(r.frameStartColor);
    std::printf(", \"frameEndColor\": ");
    PrintColor(r.frameEndColor);
    std::printf(", \"mediaType\": %d}\n", r.mediaType);
}

}  // namespace

int main(int argc, char** argv) try {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tonefade-prefs-probe FOLDER\n");
        return 2;
    }
    toolbox::SetPreferencesFolder(argv[1]);
    pluginDataRec settings = ProbeSettings();
    if (!SaveConfig(&settings)) {
        std::fprintf(stderr, "tonefade-prefs-probe: cannot save into %s\n", argv[1]);
        return 1;
    }
    PrintJSON(settings);
    return 0;
} catch (const std::exception& e) {
    // The last resort: one line and a failed job, never an abort.
    std::fprintf(stderr, "tonefade-prefs-probe: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "tonefade-prefs-probe: an unknown error\n");
    return 1;
}
