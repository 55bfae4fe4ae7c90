// Controls: creation, identity, state, values and data. A change that shows redraws the
// control at once, as the Control Manager does in a window that is not composited.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "windows/WindowInternals.h"

namespace {

std::unordered_set<ControlRef>& LiveControls() {
    static std::unordered_set<ControlRef> live;
    return live;
}

bool Live(ControlRef c) { return toolbox::IsLiveControl(c); }
bool IsText(ControlRef c) {
    return c->kind == toolbox::ControlKind::StaticText || c->kind == toolbox::ControlKind::EditText;
}

constexpr Size kMaxTextBytes = 32767;

void ClampValue(ControlRef c) {
    SInt32 v = std::max(c->value, c->minimum);
    c->value = c->maximum >= c->minimum ? std::min(v, c->maximum) : c->minimum;
}

void SetValueAndRedraw(ControlRef c, SInt32 newValue) {
    SInt32 old = c->value;
    c->value = newValue;
    ClampValue(c);
    if (c->value != old) Draw1Control(c);
}

void PutSelectionAtEnd(ControlRef c) {
    SInt16 end = SInt16(std::min<std::size_t>(c->text.size(), 32767));
    c->selection = ControlEditTextSelectionRec{end, end};
}

OSStatus Finish(ControlRef c, ControlRef* outControl) {
    if (outControl) *outControl = c;
    Draw1Control(c);
    return noErr;
}

bool CheckCreate(WindowRef window, const Rect* bounds, ControlRef* outControl) {
    if (outControl) *outControl = nullptr;
    return toolbox::IsLiveWindow(window) && bounds != nullptr && outControl != nullptr;
}

void ApplyStyle(ControlRef c, const ControlFontStyleRec* style) {
    if (style == nullptr) return;
    if (style->flags & kControlUseSizeMask) c->fontSize = style->size;
    if (style->flags & kControlUseFaceMask) c->fontStyle = Style(style->style);
    if (style->flags & kControlUseJustMask) c->just = style->just;
}

std::string MacRomanOf(CFStringRef s) { return toolbox::UTF8ToMacRoman(toolbox::CFStringToUTF8(s)); }

OSStatus SetTextData(ControlRef c, OSType tag, Size size, const void* data) {
    if (tag == kControlEditTextCFStringTag) {
        if (size != sizeof(CFStringRef) || data == nullptr) return errDataSizeMismatch;
        CFStringRef s;
        std::memcpy(&s, data, sizeof s);
        c->text = MacRomanOf(s);
    } else if (size < 0 || size > kMaxTextBytes || (size > 0 && data == nullptr)) {
        return paramErr;
    } else {
        c->text.assign(static_cast<const char*>(data), std::size_t(size));
    }
    PutSelectionAtEnd(c);
    return noErr;
}

OSStatus SetSelection(ControlRef c, Size size, const void* data) {
    if (c->kind != toolbox::ControlKind::EditText) return errDataNotSupported;
    if (size != sizeof(ControlEditTextSelectionRec) || data == nullptr) return errDataSizeMismatch;
    ControlEditTextSelectionRec sel;
    std::memcpy(&sel, data, sizeof sel);
    const SInt16 len = SInt16(std::min<std::size_t>(c->text.size(), 32767));
    // Out-of-range ends mean "the end of the text", as -1 and 32767 do on the Mac.
    auto clamp = [&](SInt16 v) { return v < 0 || v > len ? len : v; };
    sel.selStart = clamp(sel.selStart);
    sel.selEnd = clamp(sel.selEnd);
    if (sel.selStart > sel.selEnd) std::swap(sel.selStart, sel.selEnd);
    c->selection = sel;
    return noErr;
}

OSStatus CopyOut(const void* src, Size size, Size bufferSize, void* buffer, Size* actual) {
    if (actual) *actual = size;
    if (buffer && bufferSize > 0) std::memcpy(buffer, src, std::size_t(std::min(size, bufferSize)));
    return noErr;
}

}  // namespace

namespace toolbox {

bool IsLiveControl(ControlRef control) { return control != nullptr && LiveControls().count(control) != 0; }

ControlKind GetControlKind(ControlRef control) { return Live(control) ? control->kind : ControlKind::PushButton; }
Boolean IsSliderLive(ControlRef control) { return Live(control) && control->live; }
std::string ControlTextMacRoman(ControlRef control) { return Live(control) ? control->text : std::string(); }

short ControlFontSize(ControlRef control) {
    return control->fontSize > 0 ? control->fontSize : kDefaultControlFontSize;
}

ControlRef FindButtonWithCommand(WindowRef window, UInt32 command) {
    if (!IsLiveWindow(window)) return nullptr;
    for (auto it = window->controls.rbegin(); it != window->controls.rend(); ++it) {
        ControlRef c = it->get();
        if (c->kind == ControlKind::PushButton && c->command == command && c->visible && c->enabled) return c;
    }
    return nullptr;
}

ControlRef AddControl(WindowRef window, ControlKind kind, const Rect& bounds) {
    auto c = std::make_unique<OpaqueControlRef>();
    c->magic = kControlMagic;
    c->kind = kind;
    c->owner = window;
    c->bounds = bounds;
    c->target = NewEventTarget({GetWindowEventTarget(window), nullptr});
    ControlRef ref = c.get();
    window->controls.push_back(std::move(c));
    LiveControls().insert(ref);
    return ref;
}

void DestroyControl(ControlRef control) {
    if (!Live(control)) return;
    WindowRef w = control->owner;
    if (w->focus == control) w->focus = nullptr;
    if (w->defaultButton == control) w->defaultButton = nullptr;
    if (w->cancelButton == control) w->cancelButton = nullptr;
    LiveControls().erase(control);
    DisposeEventTarget(control->target);
    if (control->objectClass) ReleaseClassInstance(control->objectClass);
    if (control->menu) DisposeMenu(control->menu);
    control->magic = 0;
    auto& list = w->controls;
    list.erase(std::find_if(list.begin(), list.end(), [&](auto& c) { return c.get() == control; }));
}

OSStatus SendControlEvent(ControlRef control, EventKind kind, Point where, UInt32 modifiers, ControlPartCode* ioPart) {
    ScopedEvent event(kEventClassControl, kind);
    event.Set(kEventParamDirectObject, typeControlRef, control);
    switch (kind) {
        case kEventControlHitTest: event.Set(kEventParamMouseLocation, typeQDPoint, where); break;
        case kEventControlTrack:
            event.Set(kEventParamMouseLocation, typeQDPoint, where);
            event.Set(kEventParamKeyModifiers, typeUInt32, modifiers);
            event.Set(kEventParamControlAction, typeControlActionUPP, control->action);
            break;
        case kEventControlHit:
            event.Set(kEventParamControlPart, typeControlPartCode, ioPart ? *ioPart : ControlPartCode(0));
            event.Set(kEventParamKeyModifiers, typeUInt32, modifiers);
            break;
        case kEventControlDraw: event.Set(kEventParamGrafPort, typeGrafPtr, control->owner->port); break;
        case kEventControlOwningWindowChanged:
            event.Set(kEventParamControlCurrentOwningWindow, typeWindowRef, control->owner);
            event.Set(kEventParamControlOriginalOwningWindow, typeWindowRef, WindowRef(nullptr));
            break;
        default: break;
    }
    OSStatus status = SendEventToEventTarget(event.get(), control->target);
    if (ioPart && (kind == kEventControlHitTest || kind == kEventControlTrack)) {
        ControlPartCode part;
        if (GetEventParameter(event.get(), kEventParamControlPart, typeControlPartCode, nullptr, sizeof part, nullptr,
                              &part) == noErr)
            *ioPart = part;
        else if (kind == kEventControlHitTest)
            *ioPart = kControlNoPart;
    }
    return status;
}

}  // namespace toolbox

OSStatus CreatePushButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, ControlRef* outControl) {
    if (!CheckCreate(window, boundsRect, outControl)) return paramErr;
    ControlRef c = toolbox::AddControl(window, toolbox::ControlKind::PushButton, *boundsRect);
    c->text = MacRomanOf(title);
    c->maximum = 1;
    return Finish(c, outControl);
}

OSStatus CreateSliderControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum, SInt32 maximum,
                             ControlSliderOrientation, UInt16, Boolean liveTracking, ControlActionUPP liveTrackingProc,
                             ControlRef* outControl) {
    if (!CheckCreate(window, boundsRect, outControl)) return paramErr;
    ControlRef c = toolbox::AddControl(window, toolbox::ControlKind::Slider, *boundsRect);
    c->minimum = minimum;
    c->maximum = maximum;
    c->value = value;
    ClampValue(c);
    c->live = liveTracking;
    c->action = liveTrackingProc;
    return Finish(c, outControl);
}

OSStatus CreateStaticTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text,
                                 const ControlFontStyleRec* style, ControlRef* outControl) {
    if (!CheckCreate(window, boundsRect, outControl)) return paramErr;
    ControlRef c = toolbox::AddControl(window, toolbox::ControlKind::StaticText, *boundsRect);
    c->text = MacRomanOf(text);
    ApplyStyle(c, style);
    return Finish(c, outControl);
}

OSStatus CreateEditTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text, Boolean isPassword,
                               Boolean, const ControlFontStyleRec* style, ControlRef* outControl) {
    if (!CheckCreate(window, boundsRect, outControl)) return paramErr;
    ControlRef c = toolbox::AddControl(window, toolbox::ControlKind::EditText, *boundsRect);
    c->text = MacRomanOf(text);
    c->password = isPassword;
    PutSelectionAtEnd(c);
    ApplyStyle(c, style);
    return Finish(c, outControl);
}

OSStatus CreatePopupButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, SInt16, Boolean, SInt16,
                                  SInt16, Style, ControlRef* outControl) {
    if (!CheckCreate(window, boundsRect, outControl)) return paramErr;
    ControlRef c = toolbox::AddControl(window, toolbox::ControlKind::PopupButton, *boundsRect);
    c->text = MacRomanOf(title);
    CreateNewMenu(0, 0, &c->menu);
    return Finish(c, outControl);
}

OSStatus CreateCustomControl(WindowRef owningWindow, const Rect* contBounds, const ControlDefSpec* def, void*,
                             ControlRef* outControl) {
    if (!CheckCreate(owningWindow, contBounds, outControl) || def == nullptr) return paramErr;
    if (def->defType != kControlDefObjectClass || toolbox::ToolboxObjectClassID(def->u.classRef).empty())
        return errUnknownControl;
    ControlRef c = toolbox::AddControl(owningWindow, toolbox::ControlKind::Custom, *contBounds);
    c->objectClass = def->u.classRef;
    toolbox::RetainClassInstance(c->objectClass);
    toolbox::SetTargetLinks(c->target, {GetWindowEventTarget(owningWindow), c->objectClass});
    toolbox::SendControlEvent(c, kEventControlOwningWindowChanged, Point{0, 0}, 0, nullptr);
    if (!Live(c)) return errUnknownControl;
    return Finish(c, outControl);
}

void DisposeControl(ControlRef theControl) {
    if (!Live(theControl)) return;
    WindowRef w = theControl->owner;
    toolbox::DestroyControl(theControl);
    toolbox::RedrawWindow(w);
}

OSStatus SetControlID(ControlRef inControl, const ControlID* inID) {
    if (!Live(inControl) || inID == nullptr) return paramErr;
    inControl->id = *inID;
    return noErr;
}

OSStatus GetControlID(ControlRef inControl, ControlID* outID) {
    if (!Live(inControl) || outID == nullptr) return paramErr;
    *outID = inControl->id;
    return noErr;
}

OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl) {
    if (outControl) *outControl = nullptr;
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (inID == nullptr || outControl == nullptr) return paramErr;
    for (auto& c : inWindow->controls)
        if (c->id.signature == inID->signature && c->id.id == inID->id) {
            *outControl = c.get();
            return noErr;
        }
    return errUnknownControl;
}

WindowRef GetControlOwner(ControlRef control) { return Live(control) ? control->owner : nullptr; }
EventTargetRef GetControlEventTarget(ControlRef inControl) { return Live(inControl) ? inControl->target : nullptr; }

OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID) {
    if (!Live(inControl)) return errUnknownControl;
    inControl->command = inCommandID;
    return noErr;
}

OSStatus GetControlCommandID(ControlRef inControl, UInt32* outCommandID) {
    if (!Live(inControl)) return errUnknownControl;
    if (outCommandID) *outCommandID = inControl->command;
    return noErr;
}

void SetControlReference(ControlRef theControl, SInt32 data) {
    if (Live(theControl)) theControl->refCon = data;
}
SInt32 GetControlReference(ControlRef theControl) { return Live(theControl) ? theControl->refCon : 0; }

Rect* GetControlBounds(ControlRef control, Rect* bounds) {
    if (bounds) *bounds = Live(control) ? control->bounds : Rect{0, 0, 0, 0};
    return bounds;
}

void SetControlBounds(ControlRef control, const Rect* bounds) {
    if (!Live(control) || bounds == nullptr) return;
    control->bounds = *bounds;
    toolbox::RedrawWindow(control->owner);
}

void ShowControl(ControlRef theControl) {
    if (!Live(theControl) || theControl->visible) return;
    theControl->visible = true;
    Draw1Control(theControl);
}

void HideControl(ControlRef theControl) {
    if (!Live(theControl) || !theControl->visible) return;
    theControl->visible = false;
    if (theControl->owner->focus == theControl) theControl->owner->focus = nullptr;
    toolbox::RedrawWindow(theControl->owner);
}

Boolean IsControlVisible(ControlRef inControl) { return Live(inControl) && inControl->visible; }

OSStatus EnableControl(ControlRef inControl) {
    if (!Live(inControl)) return errUnknownControl;
    if (!inControl->enabled) {
        inControl->enabled = true;
        Draw1Control(inControl);
    }
    return noErr;
}

OSStatus DisableControl(ControlRef inControl) {
    if (!Live(inControl)) return errUnknownControl;
    if (inControl->enabled) {
        inControl->enabled = false;
        Draw1Control(inControl);
    }
    return noErr;
}

Boolean IsControlEnabled(ControlRef inControl) { return Live(inControl) && inControl->enabled; }

OSStatus ActivateControl(ControlRef inControl) {
    if (!Live(inControl)) return errUnknownControl;
    if (inControl->active) return noErr;
    inControl->active = true;
    if (inControl->kind == toolbox::ControlKind::Custom)
        toolbox::SendControlEvent(inControl, kEventControlActivate, Point{0, 0}, 0, nullptr);
    if (Live(inControl)) Draw1Control(inControl);
    return noErr;
}

OSStatus DeactivateControl(ControlRef inControl) {
    if (!Live(inControl)) return errUnknownControl;
    if (!inControl->active) return noErr;
    inControl->active = false;
    if (inControl->kind == toolbox::ControlKind::Custom)
        toolbox::SendControlEvent(inControl, kEventControlDeactivate, Point{0, 0}, 0, nullptr);
    if (Live(inControl)) Draw1Control(inControl);
    return noErr;
}

Boolean IsControlActive(ControlRef inControl) { return Live(inControl) && inControl->active && inControl->owner->active; }

UInt16 GetControlHilite(ControlRef control) {
    if (!Live(control)) return 0;
    if (!control->enabled) return kControlDisabledPart;
    if (!control->active || !control->owner->active) return kControlInactivePart;
    return UInt16(control->hilite);
}

void HiliteControl(ControlRef theControl, ControlPartCode hiliteState) {
    if (!Live(theControl) || theControl->hilite == hiliteState) return;
    theControl->hilite = hiliteState;
    Draw1Control(theControl);
}

void Draw1Control(ControlRef theControl) {
    if (!Live(theControl) || !theControl->visible || !theControl->owner->visible) return;
    toolbox::WindowDrawingScope scope(theControl->owner);
    if (theControl->kind == toolbox::ControlKind::Custom)
        toolbox::SendControlEvent(theControl, kEventControlDraw, Point{0, 0}, 0, nullptr);
    else
        toolbox::DrawControlNow(theControl);
}

SInt32 GetControl32BitValue(ControlRef theControl) { return Live(theControl) ? theControl->value : 0; }
void SetControl32BitValue(ControlRef theControl, SInt32 newValue) {
    if (Live(theControl)) SetValueAndRedraw(theControl, newValue);
}
SInt32 GetControl32BitMinimum(ControlRef theControl) { return Live(theControl) ? theControl->minimum : 0; }
void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum) {
    if (!Live(theControl)) return;
    theControl->minimum = newMinimum;
    SetValueAndRedraw(theControl, theControl->value);
    Draw1Control(theControl);
}
SInt32 GetControl32BitMaximum(ControlRef theControl) { return Live(theControl) ? theControl->maximum : 0; }
void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum) {
    if (!Live(theControl)) return;
    theControl->maximum = newMaximum;
    SetValueAndRedraw(theControl, theControl->value);
    Draw1Control(theControl);
}
SInt16 GetControlValue(ControlRef theControl) {
    SInt32 v = GetControl32BitValue(theControl);
    return SInt16(std::clamp<SInt32>(v, -32768, 32767));
}
void SetControlValue(ControlRef theControl, SInt16 newValue) { SetControl32BitValue(theControl, newValue); }

OSStatus SetControlTitleWithCFString(ControlRef inControl, CFStringRef inString) {
    if (!Live(inControl)) return errUnknownControl;
    inControl->text = MacRomanOf(inString);
    Draw1Control(inControl);
    return noErr;
}

OSStatus CopyControlTitleAsCFString(ControlRef inControl, CFStringRef* outString) {
    if (!Live(inControl)) return errUnknownControl;
    if (outString == nullptr) return paramErr;
    *outString = CFStringCreateWithCString(nullptr, inControl->text.c_str(), kCFStringEncodingMacRoman);
    return noErr;
}

void SetControlTitle(ControlRef theControl, ConstStr255Param title) {
    if (!Live(theControl) || title == nullptr) return;
    theControl->text.assign(reinterpret_cast<const char*>(title + 1), title[0]);
    Draw1Control(theControl);
}

void GetControlTitle(ControlRef theControl, Str255 title) {
    if (title == nullptr) return;
    title[0] = 0;
    if (!Live(theControl)) return;
    std::size_t n = std::min<std::size_t>(theControl->text.size(), 255);
    title[0] = UInt8(n);
    std::memcpy(title + 1, theControl->text.data(), n);
}

OSStatus SetControlData(ControlRef inControl, ControlPartCode, OSType inTagName, Size inSize, const void* inData) {
    if (!Live(inControl)) return errUnknownControl;
    switch (inTagName) {
        case kControlEditTextTextTag:
        case kControlEditTextCFStringTag:
            return IsText(inControl) ? SetTextData(inControl, inTagName, inSize, inData) : errDataNotSupported;
        case kControlEditTextSelectionTag: return SetSelection(inControl, inSize, inData);
        case kControlPopupButtonMenuRefTag: {
            if (inControl->kind != toolbox::ControlKind::PopupButton) return errDataNotSupported;
            if (inSize != sizeof(MenuRef) || inData == nullptr) return errDataSizeMismatch;
            MenuRef m;
            std::memcpy(&m, inData, sizeof m);
            SetControlPopupMenuHandle(inControl, m);
            return noErr;
        }
        case kControlPushButtonDefaultTag:
        case kControlPushButtonCancelTag: {
            if (inControl->kind != toolbox::ControlKind::PushButton) return errDataNotSupported;
            if (inSize != sizeof(Boolean) || inData == nullptr) return errDataSizeMismatch;
            bool on = *static_cast<const Boolean*>(inData) != 0;
            WindowRef w = inControl->owner;
            ControlRef& slot = inTagName == kControlPushButtonDefaultTag ? w->defaultButton : w->cancelButton;
            if (on) slot = inControl;
            else if (slot == inControl) slot = nullptr;
            Draw1Control(inControl);
            return noErr;
        }
        case kControlFontStyleTag:
            if (inSize != sizeof(ControlFontStyleRec) || inData == nullptr) return errDataSizeMismatch;
            return SetControlFontStyle(inControl, static_cast<const ControlFontStyleRec*>(inData));
        default: return errDataNotSupported;
    }
}

OSStatus GetControlData(ControlRef inControl, ControlPartCode, OSType inTagName, Size inBufferSize, void* inBuffer,
                        Size* outActualSize) {
    if (outActualSize) *outActualSize = 0;
    if (!Live(inControl)) return errUnknownControl;
    if (inBufferSize < 0) return paramErr;
    switch (inTagName) {
        case kControlEditTextTextTag:
            if (!IsText(inControl)) return errDataNotSupported;
            return CopyOut(inControl->text.data(), Size(inControl->text.size()), inBufferSize, inBuffer, outActualSize);
        case kControlEditTextCFStringTag: {
            if (!IsText(inControl)) return errDataNotSupported;
            if (inBufferSize < Size(sizeof(CFStringRef)) && inBuffer) return errDataSizeMismatch;
            CFStringRef s = CFStringCreateWithCString(nullptr, inControl->text.c_str(), kCFStringEncodingMacRoman);
            return CopyOut(&s, sizeof s, inBufferSize, inBuffer, outActualSize);
        }
        case kControlEditTextSelectionTag:
            if (inControl->kind != toolbox::ControlKind::EditText) return errDataNotSupported;
            return CopyOut(&inControl->selection, sizeof inControl->selection, inBufferSize, inBuffer, outActualSize);
        case kControlPopupButtonMenuRefTag:
            if (inControl->kind != toolbox::ControlKind::PopupButton) return errDataNotSupported;
            return CopyOut(&inControl->menu, sizeof inControl->menu, inBufferSize, inBuffer, outActualSize);
        default: return errDataNotSupported;
    }
}

OSStatus GetControlDataSize(ControlRef inControl, ControlPartCode inPart, OSType inTagName, Size* outMaxSize) {
    if (inTagName == kControlEditTextCFStringTag) {
        if (outMaxSize) *outMaxSize = sizeof(CFStringRef);
        return Live(inControl) && IsText(inControl) ? OSStatus(noErr) : OSStatus(errDataNotSupported);
    }
    return GetControlData(inControl, inPart, inTagName, 0, nullptr, outMaxSize);
}

OSStatus SetControlFontStyle(ControlRef inControl, const ControlFontStyleRec* inStyle) {
    if (!Live(inControl)) return errUnknownControl;
    if (inStyle == nullptr) return paramErr;
    ApplyStyle(inControl, inStyle);
    Draw1Control(inControl);
    return noErr;
}

MenuRef GetControlPopupMenuHandle(ControlRef control) {
    return Live(control) && control->kind == toolbox::ControlKind::PopupButton ? control->menu : nullptr;
}

// The pop-up owns the menu it is given and disposes of the one it had.
void SetControlPopupMenuHandle(ControlRef control, MenuRef popupMenu) {
    if (!Live(control) || control->kind != toolbox::ControlKind::PopupButton || !toolbox::IsLiveMenu(popupMenu)) return;
    if (control->menu && control->menu != popupMenu) DisposeMenu(control->menu);
    control->menu = popupMenu;
    control->maximum = CountMenuItems(popupMenu);
    control->minimum = control->maximum > 0 ? 1 : 0;
    SetValueAndRedraw(control, control->value);
    Draw1Control(control);
}

ControlActionUPP NewControlActionUPP(ControlActionProcPtr userRoutine) { return userRoutine; }
void DisposeControlActionUPP(ControlActionUPP) {}

void SetControlAction(ControlRef theControl, ControlActionUPP actionProc) {
    if (Live(theControl)) theControl->action = actionProc;
}
ControlActionUPP GetControlAction(ControlRef theControl) { return Live(theControl) ? theControl->action : nullptr; }
