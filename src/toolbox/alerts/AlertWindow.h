// Standard alerts shown as real modal windows (icon, headline, text, buttons) that a
// person or a script answers through the current event source.
#pragma once

#include "alerts/Alerts.h"
#include "windows/MacWindows.h"

namespace toolbox {

// The alert presenter used while an event source is installed: builds the alert window,
// runs it modally and answers the button hit. When the input ends it answers as Cancel
// would (the cancel button, or the default one when there is none).
DialogItemIndex PresentAlertInWindow(const StandardAlert& alert);
// Builds the window without running it (for layout tests and snapshots).
WindowRef CreateAlertWindow(const StandardAlert& alert);
// True for windows that CreateAlertWindow made.
bool IsAlertWindow(WindowRef window);

}  // namespace toolbox
