// The event loops: application-modal loops for windows and the application's own loop,
// the dispatch of one input to the window under the pointer or with the focus, and
// mouse tracking in a window's port.
#pragma once

#include "events/EventSource.h"
#include "windows/MacWindows.h"

typedef UInt16 MouseTrackingResult;
enum : MouseTrackingResult {
    kMouseTrackingMouseDown = 1,
    kMouseTrackingMouseUp = 2,
    kMouseTrackingMouseExited = 3,
    kMouseTrackingMouseEntered = 4,
    kMouseTrackingMouseDragged = 5,
    kMouseTrackingKeyModifiersChanged = 6,
    kMouseTrackingUserCancelled = 7,
    kMouseTrackingTimedOut = 8,
    kMouseTrackingMouseMoved = 9,
};

// Waits for the next mouse input while the button is down; the point is in the port's
// coordinates (the current port when inPort is nil). When the input ends it reports the
// mouse going up where it was, so no tracking loop can wait for ever.
OSStatus TrackMouseLocation(GrafPtr inPort, Point* outPt, MouseTrackingResult* outResult);

namespace toolbox {

// Hands one input to the windows; with a modal window, only that window gets it.
void DispatchInput(const InputEvent& input, WindowRef modalWindow);
// Ends a modal loop as Cancel would: presses the window's cancel button, and ends the
// loop itself if that did not.
void CancelModalLoop(WindowRef window);
// Number of modal loops running now (nesting depth).
int ModalLoopDepth();

}  // namespace toolbox
