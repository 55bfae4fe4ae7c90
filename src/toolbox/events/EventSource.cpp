// The current event source, the pointer and modifiers it last reported, and mouse tracking.
#include "events/EventSource.h"

#include <cctype>

#include "alerts/AlertWindow.h"
#include "events/CarbonEvents.h"
#include "windows/MacWindows.h"

namespace {

toolbox::EventSource* gSource = nullptr;
Point gMouse{0, 0};
bool gEnded = false;

}  // namespace

struct toolbox::ScopedEventSource::SavedPresenter {
    AlertPresenter presenter;
};

namespace toolbox {

EventSource* CurrentEventSource() { return gSource; }

EventSource* SetEventSource(EventSource* source) {
    EventSource* old = gSource;
    gSource = source;
    gEnded = false;
    return old;
}

ScopedEventSource::ScopedEventSource(EventSource* source)
    : previous_(SetEventSource(source)),
      savedPresenter_(std::make_unique<SavedPresenter>(SavedPresenter{SetAlertPresenter(PresentAlertInWindow)})) {}

ScopedEventSource::~ScopedEventSource() {
    SetAlertPresenter(std::move(savedPresenter_->presenter));
    SetEventSource(previous_);
}

InputEvent NextInput() {
    InputEvent e;
    if (gSource && !gEnded) e = gSource->NextInput();
    if (e.type == InputType::End) {
        gEnded = true;
        e.where = gMouse;
        return e;
    }
    if (e.type != InputType::KeyDown && e.type != InputType::Command && e.type != InputType::ModifiersChanged)
        gMouse = e.where;
    if (e.type != InputType::Command) SetCurrentKeyModifiers(e.modifiers);
    return e;
}

Point LastMouseLocation() { return gMouse; }
bool InputHasEnded() { return gEnded || gSource == nullptr; }

UInt32 KeyCodeForChar(char ch) {
    static const char* const kRows = "asdfhgzxcv\0bqweryt123465=97-80]ou[ip\0lj'k;\\,/nm.\0 `";
    switch (ch) {
        case '\r': return 36;
        case '\t': return 48;
        case ' ': return 49;
        case '\b': return 51;
        case 27: return 53;
        case 3: return 76;
        case 28: return 123;
        case 29: return 124;
        case 31: return 125;
        case 30: return 126;
        case 127: return 117;
        default: break;
    }
    const char lower = char(std::tolower(static_cast<unsigned char>(ch)));
    for (UInt32 code = 0; code < 51; ++code)
        if (kRows[code] != '\0' && kRows[code] == lower) return code;
    return 0xFF;
}

}  // namespace toolbox

OSStatus TrackMouseLocation(GrafPtr inPort, Point* outPt, MouseTrackingResult* outResult) {
    GrafPtr port = inPort;
    if (port == nullptr) GetPort(&port);
    const UInt32 modifiersBefore = GetCurrentKeyModifiers();
    MouseTrackingResult result = kMouseTrackingMouseUp;
    for (;;) {
        toolbox::InputEvent e = toolbox::NextInput();
        if (e.type == toolbox::InputType::KeyDown || e.type == toolbox::InputType::Command ||
            e.type == toolbox::InputType::ModifiersChanged) {
            if (e.type != toolbox::InputType::Command && e.modifiers != modifiersBefore) {
                result = kMouseTrackingKeyModifiersChanged;
                break;
            }
            continue;
        }
        result = e.type == toolbox::InputType::MouseDown     ? kMouseTrackingMouseDown
                 : e.type == toolbox::InputType::MouseDragged ? kMouseTrackingMouseDragged
                 : e.type == toolbox::InputType::MouseMoved   ? kMouseTrackingMouseMoved
                                                              : kMouseTrackingMouseUp;
        break;
    }
    Point where = toolbox::LastMouseLocation();
    if (WindowRef w = GetWindowFromPort(port)) {
        Rect bounds;
        GetWindowBounds(w, kWindowContentRgn, &bounds);
        where.h = SInt16(where.h - bounds.left);
        where.v = SInt16(where.v - bounds.top);
    }
    if (outPt) *outPt = where;
    if (outResult) *outResult = result;
    return noErr;
}
