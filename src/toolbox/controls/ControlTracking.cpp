// Clicks and keys on controls: hit testing, tracking each kind with the mouse input that
// follows the click, and turning a completed click into a hit and a command.
#include <algorithm>

#include "windows/EventLoop.h"
#include "windows/WindowInternals.h"

namespace {

bool Live(ControlRef c) { return toolbox::IsLiveControl(c); }

ControlPartCode TestPart(ControlRef c, Point where, UInt32 modifiers) {
    if (c->kind == toolbox::ControlKind::Custom) {
        ControlPartCode part = kControlNoPart;
        toolbox::SendControlEvent(c, kEventControlHitTest, where, modifiers, &part);
        return part;
    }
    if (!PtInRect(where, &c->bounds)) return kControlNoPart;
    switch (c->kind) {
        case toolbox::ControlKind::PushButton: return kControlButtonPart;
        case toolbox::ControlKind::Slider: return kControlIndicatorPart;
        case toolbox::ControlKind::EditText: return kControlEditTextPart;
        case toolbox::ControlKind::PopupButton: return kControlMenuPart;
        default: return kControlNoPart;
    }
}

// Waits for the next pointer input of a tracking loop, in the window's coordinates.
MouseTrackingResult NextMouse(ControlRef c, Point* where) {
    MouseTrackingResult result;
    TrackMouseLocation(c->owner->port, where, &result);
    return result;
}

// Buttons and custom controls without tracking of their own: pressed while the mouse is
// inside, and hit only when the button comes up inside.
ControlPartCode TrackButtonLike(ControlRef c, ControlPartCode part) {
    HiliteControl(c, part);
    Point where{0, 0};
    bool inside = true;
    MouseTrackingResult result;
    do {
        result = NextMouse(c, &where);
        if (!Live(c)) return kControlNoPart;
        if (result == kMouseTrackingKeyModifiersChanged) continue;
        inside = PtInRect(where, &c->bounds);
        HiliteControl(c, inside ? part : ControlPartCode(kControlNoPart));
    } while (result != kMouseTrackingMouseUp);
    HiliteControl(c, kControlNoPart);
    return inside ? part : ControlPartCode(kControlNoPart);
}

// The value follows the thumb; a live slider takes every value on the way and calls its
// action after each change, a non-live one takes the value where the mouse comes up.
ControlPartCode TrackSlider(ControlRef c, Point where, ControlActionUPP action) {
    Rect thumb = toolbox::SliderThumbRect(c);
    const bool horizontal = c->bounds.right - c->bounds.left >= c->bounds.bottom - c->bounds.top;
    int grab = 0;
    if (PtInRect(where, &thumb)) grab = horizontal ? where.h - (thumb.left + thumb.right) / 2 : where.v - (thumb.top + thumb.bottom) / 2;
    c->hilite = kControlIndicatorPart;
    auto follow = [&](Point p) {
        if (horizontal) p.h = SInt16(p.h - grab);
        else p.v = SInt16(p.v - grab);
        SInt32 v = toolbox::SliderValueAtPoint(c, p);
        if (!c->live) {
            c->ghostValue = v;
            Draw1Control(c);
        } else if (v != c->value) {
            SetControl32BitValue(c, v);
            if (action && Live(c)) action(c, kControlIndicatorPart);
        }
    };
    follow(where);
    MouseTrackingResult result = kMouseTrackingMouseDown;
    while (Live(c) && result != kMouseTrackingMouseUp) {
        result = NextMouse(c, &where);
        if (Live(c) && result != kMouseTrackingKeyModifiersChanged) follow(where);
    }
    if (!Live(c)) return kControlNoPart;
    c->hilite = kControlNoPart;
    if (c->ghostValue) {
        SInt32 v = *c->ghostValue;
        c->ghostValue.reset();
        SetControl32BitValue(c, v);
    }
    Draw1Control(c);
    return kControlIndicatorPart;
}

MenuItemIndex PopupItemAt(ControlRef c, Point where) {
    for (MenuItemIndex i = 1; i <= CountMenuItems(c->menu); ++i) {
        Rect r = toolbox::PopupMenuItemRect(c, i);
        if (PtInRect(where, &r)) return i;
    }
    return 0;
}

// The menu opens on the press. Releasing on an item chooses it; releasing on the button
// itself leaves the menu open for a second click, as the Mac's pop-ups do.
ControlPartCode TrackPopup(ControlRef c) {
    c->hilite = kControlMenuPart;
    c->menuOpen = true;
    c->openItem = 0;
    Draw1Control(c);
    MenuItemIndex chosen = 0;
    bool sticky = false;
    Point where{0, 0};
    for (;;) {
        MouseTrackingResult result = NextMouse(c, &where);
        if (!Live(c)) return kControlNoPart;
        MenuItemIndex item = PopupItemAt(c, where);
        if (item != c->openItem) {
            c->openItem = item;
            Draw1Control(c);
        }
        if (result != kMouseTrackingMouseUp) continue;
        if (item != 0) chosen = item;
        else if (!sticky && PtInRect(where, &c->bounds) && !toolbox::InputHasEnded()) {
            sticky = true;
            continue;
        }
        break;
    }
    c->menuOpen = false;
    c->hilite = kControlNoPart;
    c->openItem = 0;
    toolbox::RedrawWindow(c->owner);
    if (chosen == 0) return kControlNoPart;
    SetControl32BitValue(c, chosen);
    return kControlMenuPart;
}

// Puts the caret at the character boundary nearest the click.
void TrackEditText(ControlRef c, Point where) {
    MouseTrackingResult result = kMouseTrackingMouseDown;
    while (Live(c) && result != kMouseTrackingMouseUp) result = NextMouse(c, &where);
    if (!Live(c)) return;
    SetKeyboardFocus(c->owner, c, kControlEditTextPart);
    toolbox::SaveWindowGWorld saved;
    SetPortWindowPort(c->owner);
    TextFont(systemFont);
    TextSize(toolbox::ControlFontSize(c));
    TextFace(c->fontStyle);
    const int x = where.h - (c->bounds.left + 4);
    SInt16 index = 0;
    while (index < SInt16(std::min<std::size_t>(c->text.size(), 32767))) {
        int left = TextWidth(c->text.data(), 0, index), right = TextWidth(c->text.data(), 0, SInt16(index + 1));
        if (x < (left + right) / 2) break;
        ++index;
    }
    c->selection = ControlEditTextSelectionRec{index, index};
    Draw1Control(c);
}

void SendCommand(ControlRef c) {
    HICommandExtended command{};
    command.attributes = kHICommandFromControl;
    command.commandID = c->command;
    command.source.control = c;
    toolbox::ScopedEvent event(kEventClassCommand, kEventCommandProcess);
    event.Set(kEventParamDirectObject, typeHICommand, command);
    SendEventToEventTarget(event.get(), c->target);
}

// A hit that nobody handles sends the control's command, as the standard handler does.
void Hit(ControlRef c, ControlPartCode part, UInt32 modifiers) {
    OSStatus status = toolbox::SendControlEvent(c, kEventControlHit, Point{0, 0}, modifiers, &part);
    if (status == eventNotHandledErr && Live(c) && c->command != 0) SendCommand(c);
}

void EditKey(ControlRef c, char ch) {
    auto& sel = c->selection;
    const SInt16 len = SInt16(std::min<std::size_t>(c->text.size(), 32767));
    sel.selStart = std::clamp<SInt16>(sel.selStart, 0, len);
    sel.selEnd = std::clamp<SInt16>(sel.selEnd, sel.selStart, len);
    if (ch == 28 || ch == 29) {  // arrows move the caret
        SInt16 at = ch == 28 ? SInt16(std::max(0, sel.selStart - 1)) : SInt16(std::min<int>(len, sel.selEnd + 1));
        if (sel.selStart != sel.selEnd) at = ch == 28 ? sel.selStart : sel.selEnd;
        sel = ControlEditTextSelectionRec{at, at};
    } else if (ch == '\b' || ch == 127) {
        SInt16 from = sel.selStart, to = sel.selEnd;
        if (from == to) {
            if (ch == '\b' && from > 0) --from;
            if (ch == 127 && to < len) ++to;
        }
        c->text.erase(std::size_t(from), std::size_t(to - from));
        sel = ControlEditTextSelectionRec{from, from};
    } else if (UInt8(ch) >= 32 && len < 32767) {
        c->text.replace(std::size_t(sel.selStart), std::size_t(sel.selEnd - sel.selStart), 1, ch);
        SInt16 at = SInt16(sel.selStart + 1);
        sel = ControlEditTextSelectionRec{at, at};
    } else {
        return;
    }
    Draw1Control(c);
}

void MoveFocus(WindowRef w) {
    std::vector<ControlRef> fields;
    for (auto& c : w->controls)
        if (c->kind == toolbox::ControlKind::EditText && c->visible && c->enabled) fields.push_back(c.get());
    if (fields.empty()) return;
    auto it = std::find(fields.begin(), fields.end(), w->focus);
    ControlRef next = it == fields.end() || it + 1 == fields.end() ? fields.front() : *(it + 1);
    SetKeyboardFocus(w, next, kControlFocusNextPart);
}

}  // namespace

namespace toolbox {

void PressButton(ControlRef button, UInt32 modifiers) {
    if (!Live(button) || !button->visible || !button->enabled) return;
    HiliteControl(button, kControlButtonPart);
    HiliteControl(button, kControlNoPart);
    Hit(button, kControlButtonPart, modifiers);
}

void HandleKeyInWindow(WindowRef window, char charCode, UInt32 keyCode, UInt32 modifiers) {
    if (!IsLiveWindow(window)) return;
    ControlRef focus = Live(window->focus) ? window->focus : nullptr;
    ScopedEvent event(kEventClassKeyboard, kEventRawKeyDown);
    event.Set(kEventParamKeyMacCharCodes, typeChar, charCode);
    event.Set(kEventParamKeyCode, typeUInt32, keyCode);
    event.Set(kEventParamKeyModifiers, typeUInt32, modifiers);
    OSStatus status = SendEventToEventTarget(event.get(), focus ? focus->target : window->target);
    if (status != eventNotHandledErr || !IsLiveWindow(window)) return;
    if (charCode == '\r' || charCode == 3) return PressButton(WindowDefaultButton(window), modifiers);
    if (charCode == 27 || (charCode == '.' && (modifiers & cmdKey))) return PressButton(WindowCancelButton(window), modifiers);
    if (charCode == '\t') return MoveFocus(window);
    if (focus && focus->kind == ControlKind::EditText && !(modifiers & cmdKey)) EditKey(focus, charCode);
}

}  // namespace toolbox

ControlRef FindControlUnderMouse(Point inWhere, WindowRef inWindow, ControlPartCode* outPart) {
    if (outPart) *outPart = kControlNoPart;
    if (!toolbox::IsLiveWindow(inWindow)) return nullptr;
    for (auto it = inWindow->controls.rbegin(); it != inWindow->controls.rend(); ++it) {
        ControlRef c = it->get();
        if (!c->visible || !PtInRect(inWhere, &c->bounds)) continue;
        if (outPart) {
            toolbox::SaveWindowGWorld saved;
            SetPortWindowPort(inWindow);
            *outPart = TestPart(c, inWhere, GetCurrentKeyModifiers());
        }
        return c;
    }
    return nullptr;
}

ControlPartCode HandleControlClick(ControlRef inControl, Point inWhere, UInt32 inModifiers, ControlActionUPP inAction) {
    if (!Live(inControl) || !inControl->visible || !inControl->enabled || !IsControlActive(inControl)) return kControlNoPart;
    ControlRef c = inControl;
    // Tracking happens in the control's window: handlers and TrackMouseLocation see its port.
    toolbox::SaveWindowGWorld saved;
    SetPortWindowPort(c->owner);
    ControlActionUPP action = inAction == kControlUseOwnAction ? c->action : inAction;
    ControlPartCode part = TestPart(c, inWhere, inModifiers);
    if (part == kControlNoPart || !Live(c)) return kControlNoPart;
    switch (c->kind) {
        case toolbox::ControlKind::PushButton: part = TrackButtonLike(c, part); break;
        case toolbox::ControlKind::Slider: part = TrackSlider(c, inWhere, action); break;
        case toolbox::ControlKind::PopupButton: part = TrackPopup(c); break;
        case toolbox::ControlKind::EditText: TrackEditText(c, inWhere); return kControlEditTextPart;
        case toolbox::ControlKind::StaticText: return kControlNoPart;
        case toolbox::ControlKind::Custom: {
            ControlPartCode tracked = part;
            if (toolbox::SendControlEvent(c, kEventControlTrack, inWhere, inModifiers, &tracked) == eventNotHandledErr)
                tracked = Live(c) ? TrackButtonLike(c, part) : ControlPartCode(kControlNoPart);
            part = tracked;
            break;
        }
    }
    if (part != kControlNoPart && Live(c)) Hit(c, part, inModifiers);
    return part;
}

OSStatus SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (inControl != nullptr && (!Live(inControl) || inControl->owner != inWindow)) return errUnknownControl;
    ControlRef old = inWindow->focus;
    if (inControl == nullptr || inPart == kControlFocusNoPart) {
        inWindow->focus = nullptr;
    } else {
        if (inControl->kind != toolbox::ControlKind::EditText) return errDataNotSupported;
        if (!inControl->visible || !inControl->enabled) return errControlHiddenOrDisabled;
        inWindow->focus = inControl;
    }
    if (old != inWindow->focus) {
        if (Live(old)) Draw1Control(old);
        if (inWindow->focus) Draw1Control(inWindow->focus);
    }
    return noErr;
}

OSStatus GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (outControl == nullptr) return paramErr;
    *outControl = Live(inWindow->focus) ? inWindow->focus : nullptr;
    return noErr;
}

OSStatus ClearKeyboardFocus(WindowRef inWindow) { return SetKeyboardFocus(inWindow, nullptr, kControlFocusNoPart); }

OSStatus SetWindowDefaultButton(WindowRef inWindow, ControlRef inControl) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (inControl && (!Live(inControl) || inControl->owner != inWindow)) return errUnknownControl;
    ControlRef old = inWindow->defaultButton;
    inWindow->defaultButton = inControl;
    if (Live(old)) Draw1Control(old);
    if (inControl) Draw1Control(inControl);
    return noErr;
}

OSStatus SetWindowCancelButton(WindowRef inWindow, ControlRef inControl) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (inControl && (!Live(inControl) || inControl->owner != inWindow)) return errUnknownControl;
    inWindow->cancelButton = inControl;
    return noErr;
}

OSStatus GetWindowDefaultButton(WindowRef inWindow, ControlRef* outControl) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (outControl) *outControl = toolbox::WindowDefaultButton(inWindow);
    return noErr;
}

OSStatus GetWindowCancelButton(WindowRef inWindow, ControlRef* outControl) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (outControl) *outControl = toolbox::WindowCancelButton(inWindow);
    return noErr;
}
