// Where input comes from. Modal loops, control tracking and TrackMouseLocation all take
// their input from the one current event source, so that a person at a display and a
// script drive windows through exactly the same hit testing and tracking.
#pragma once

#include <memory>

#include "MacTypes.h"
#include "quickdraw/QuickDraw.h"

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

enum class InputType {
    MouseDown,
    MouseDragged,  // pointer moved with the button down
    MouseMoved,    // pointer moved with the button up
    MouseUp,
    KeyDown,
    ModifiersChanged,  // a modifier key went down or up on its own
    Command,       // a command chosen as from a menu or a key equivalent
    End,           // no more input will come
};

struct InputEvent {
    InputType type = InputType::End;
    Point where{0, 0};  // global coordinates
    UInt32 modifiers = 0;
    char charCode = 0;
    UInt32 keyCode = 0;
    UInt32 command = 0;
};

class EventSource {
public:
    virtual ~EventSource() = default;
    // Blocks until there is input; End once the source is exhausted, and from then on.
    virtual InputEvent NextInput() = 0;
};

EventSource* CurrentEventSource();
// Installs a source (nil for none) and answers the one it replaces.
EventSource* SetEventSource(EventSource* source);

// Makes a source current for a scope, with standard alerts shown as windows that the
// source answers; both are put back as they were when the scope ends.
class ScopedEventSource {
public:
    explicit ScopedEventSource(EventSource* source);
    ~ScopedEventSource();
    ScopedEventSource(const ScopedEventSource&) = delete;
    ScopedEventSource& operator=(const ScopedEventSource&) = delete;

private:
    EventSource* previous_;
    struct SavedPresenter;
    std::unique_ptr<SavedPresenter> savedPresenter_;
};

// The next input of the current source (End without one); keeps the pointer position
// and the key modifiers up to date.
InputEvent NextInput();
Point LastMouseLocation();
// True once the current source has reported End.
bool InputHasEnded();

// Virtual key code of a character on the Mac's US keyboard (0xFF when it has none).
UInt32 KeyCodeForChar(char ch);

}  // namespace toolbox
