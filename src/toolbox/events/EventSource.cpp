// The current event source and the pointer and modifiers it last reported.
#include "events/EventSource.h"

#include <cctype>

#include "events/CarbonEvents.h"

namespace {

toolbox::EventSource* gSource = nullptr;
Point gMouse{0, 0};
bool gEnded = false;

}  // namespace

namespace toolbox {

EventSource* CurrentEventSource() { return gSource; }

EventSource* SetEventSource(EventSource* source) {
    EventSource* old = gSource;
    gSource = source;
    gEnded = false;
    return old;
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
