// The configuration dialog's window set up on a record as the dialog sets it up, but not
// run: for the benchmarks of the dialog and for the probes that read its layout.
#pragma once

#include <string>

#include "Carbon.h"
#include "effect/PluginDefines.h"

namespace testsupport {

// The defaults with the amount at 100 in the HD layout, the effect rectangle `rect`.
pluginDataRec HDSettings(relRect rect);

class DialogWindow {
public:
    // Registers the built bundle (throws std::runtime_error when it cannot), gives the
    // dialog clip worlds of the given size filled with noise, opens the layout of
    // `config`'s format and sets it up. `config` must outlive the window.
    DialogWindow(pluginDataRec& config, int clipWidth, int clipHeight);
    ~DialogWindow();
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;
    WindowRef window = nullptr;
};

}  // namespace testsupport
