// tonefade-live-probe: what the desktop test needs to know to act like a person and to
// check what the person did, taken from the plug-in's own code rather than copied into
// the test:
//   layout PREFS_DIR AMOUNT   the size and title of the dialog that the saved settings
//                             open and where in it the amount slider's thumb is, where
//                             it shows AMOUNT, the OK and About buttons, the preview and
//                             the effect rectangle; and the About window's size and title
//   prefs PREFS_DIR           the saved amount and effect rectangle
// Output is one NAME=VALUE a line, for a shell to read.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/Controls.h"
#include "dialog/AboutWindow.h"
#include "dialog/CarbonMacros.h"
#include "dialog/ConfigDlgHandler.h"
#include "effect/CommonProcsText.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"
#include "effect/RelRects.h"
#include "support/DialogWindow.h"
#include "support/LastResort.h"

namespace {

int Fail(const std::string& why) {
    std::fprintf(stderr, "tonefade-live-probe: %s\n", why.c_str());
    return 1;
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The size and title of a window, as NAME_W, NAME_H and NAME_TITLE.
void PrintWindow(const char* name, WindowRef window) {
    Rect bounds{};
    GetWindowBounds(window, kWindowContentRgn, &bounds);
    std::printf("%s_W=%d\n%s_H=%d\n%s_TITLE=%s\n", name, bounds.right - bounds.left, name, bounds.bottom - bounds.top,
                name, ShellQuoted(toolbox::WindowTitleUTF8(window)).c_str());
}

void PrintPoint(const char* name, Point p) { std::printf("%s_X=%d\n%s_Y=%d\n", name, p.h, name, p.v); }

Point Centre(const Rect& r) { return Point{SInt16((r.top + r.bottom) / 2), SInt16((r.left + r.right) / 2)}; }

// The dialog window of the saved settings, set up as the dialog sets it up, not shown.
int Layout(pluginDataRec& config, int amount) {
    {
        testsupport::DialogWindow dialog(config, 64, 48);
        WindowRef window = dialog.window;
        ControlRef slider = SimpleGetControlByID(window, FOUR_CHAR_CODE("Sldr"), 1);
        const Rect clip = GetControlBox(gConfigWorkSpace.theFrameCtrl), effect = Rel2Rect(config.startRel, clip);
        PrintWindow("WINDOW", window);
        PrintPoint("ABOUT", Centre(GetControlBox(SimpleGetControlByID(window, FOUR_CHAR_CODE("Info"), 1))));
        PrintPoint("THUMB", Centre(toolbox::SliderThumbRect(slider)));
        PrintPoint("AMOUNT", toolbox::SliderPointForValue(slider, amount));
        PrintPoint("OK", Centre(GetControlBox(SimpleGetControlByID(window, FOUR_CHAR_CODE("Okay"), 1))));
        std::printf("CLIP_LEFT=%d\nCLIP_TOP=%d\nCLIP_W=%d\nCLIP_H=%d\n", clip.left, clip.top, clip.right - clip.left,
                    clip.bottom - clip.top);
        PrintPoint("CORNER", Point{effect.bottom, effect.right});
    }
    WindowRef about = OpenNibWindowFromCFBundle(cBundleIdentifier, cAboutNibName, cAboutWindowName);
    if (about == nullptr) return Fail("cannot open the About window");
    PrintWindow("ABOUTBOX", about);
    DisposeWindow(about);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return testsupport::MainWithLastResort("tonefade-live-probe", [&] {
        const std::string verb = argc > 1 ? argv[1] : "";
        if (!((verb == "layout" && argc == 4) || (verb == "prefs" && argc == 3)))
            return Fail("usage: tonefade-live-probe layout PREFS_DIR AMOUNT | prefs PREFS_DIR");
        toolbox::SetPreferencesFolder(argv[2]);
        pluginDataRec config{};
        ResetConfig(&config);
        if (!ReadConfig(&config)) return Fail(std::string("no saved settings in ") + argv[2]);
        if (verb == "layout") return Layout(config, std::atoi(argv[3]));
        const relRect& r = config.startRel;
        std::printf("AMOUNT=%d\nMEDIA=%d\nRECT_LEFT=%.6f\nRECT_TOP=%.6f\nRECT_RIGHT=%.6f\nRECT_BOTTOM=%.6f\n",
                    config.sliders[0], config.mediaType, r.left, r.top, r.right, r.bottom);
        return 0;
    });
}
