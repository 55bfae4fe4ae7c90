// The event loops: application-modal loops for windows and the application's own loop,
// and the dispatch of one input to the window under the pointer or with the focus.
#pragma once

#include "events/EventSource.h"
#include "windows/MacWindows.h"

namespace toolbox {

// Hands one input to the windows; with a modal window, only that window gets it.
void DispatchInput(const InputEvent& input, WindowRef modalWindow);
// Ends a modal loop as Cancel would: presses the window's cancel button, and ends the
// loop itself if that did not.
void CancelModalLoop(WindowRef window);
// Number of modal loops running now (nesting depth).
int ModalLoopDepth();

}  // namespace toolbox
