// Where input comes from. Modal loops, control tracking and TrackMouseLocation all take
// their input from the one current event source, so that a person at a display and a
// script drive windows through exactly the same hit testing and tracking. The sources
// themselves, and installing one for a scope, are in input/.
#pragma once

#include "MacTypes.h"

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

// The next input of the current source (End without one); keeps the pointer position
// and the key modifiers up to date.
InputEvent NextInput();
Point LastMouseLocation();
// True once the current source has reported End.
bool InputHasEnded();

// Virtual key code of a character on the Mac's US keyboard (0xFF when it has none).
UInt32 KeyCodeForChar(char ch);

}  // namespace toolbox
