// Test and scripting aid: writes a preferences file with chosen settings through the
// plug-in's own preferences code, so renders can start from known settings.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "Carbon.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"

namespace {

const char* kUsage =
    "usage: tonefade-write-prefs FOLDER [--amount N] [--rect LEFT,TOP,RIGHT,BOTTOM]\n"
    "Writes FOLDER/vardo-Prefs: the default settings with the amount N (percent, -32768..32767)\n"
    "and the effect rectangle as fractions of the frame (default: the whole frame).\n";

bool ParseRect(const std::string& text, relRect* rect) {
    double l, t, r, b;
    char tail;
    if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf%c", &l, &t, &r, &b, &tail) != 4) return false;
    *rect = relRect{l, r, t, b};  // the record keeps left, right, top, bottom
    return true;
}

bool ParseAmount(const std::string& text, SInt16* amount) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < -32768 || value > 32767) return false;
    *amount = SInt16(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) try {
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    pluginDataRec settings{};
    ResetConfig(&settings);
    for (int i = 2; i < argc; ++i) {
        std::string option = argv[i];
        bool ok = i + 1 < argc;
        if (ok && option == "--amount") ok = ParseAmount(argv[++i], &settings.sliders[0]);
        else if (ok && option == "--rect") ok = ParseRect(argv[++i], &settings.startRel);
        else ok = false;
        if (!ok) {
            std::fprintf(stderr, "tonefade-write-prefs: bad argument %s\n%s", option.c_str(), kUsage);
            return 2;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    toolbox::SetPreferencesFolder(argv[1]);
    if (ec || !SaveConfig(&settings)) {
        std::fprintf(stderr, "tonefade-write-prefs: cannot write the preferences in %s\n", argv[1]);
        return 1;
    }
    return 0;
} catch (const std::exception& e) {
    // The last resort: one line and a failed job, never an abort.
    std::fprintf(stderr, "tonefade-write-prefs: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "tonefade-write-prefs: an unknown error\n");
    return 1;
}
