// ColorCtrl: draw, hit test and hit of the colour box. The box has no tracking of its
// own; the toolbox's button-like tracking sends the hit when the click ends inside.
#include "dialog/ColorCtrl.h"

#include <cstring>

#include "effect/CommonProcs.h"
#include "windows/ColorPicker.h"

namespace {

ToolboxObjectClassRef lgColorBoxClassRef = nullptr;
EventHandlerUPP lgMyHandlerUPP = nullptr;

// Movable, modal, ColorSync-aware, in the picker's own dialog.
constexpr UInt32 kPickerFlags = 0x93;

ControlRef ControlOf(EventRef theEvent) {
    ControlRef theControl = nullptr;
    GetEventParameter(theEvent, kEventParamDirectObject, typeControlRef, nullptr, sizeof theControl, nullptr,
                      &theControl);
    return theControl;
}

Rect BoundsOf(ControlRef theControl) {
    Rect bounds{0, 0, 0, 0};
    GetControlBounds(theControl, &bounds);
    return bounds;
}

void ColorBoxHitTest(EventRef theEvent, ControlRef theControl) {
    Point where{0, 0};
    GetEventParameter(theEvent, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where);
    Rect bounds = BoundsOf(theControl);
    ControlPartCode part = PtInRect(where, &bounds) ? 1 : 0;
    SetEventParameter(theEvent, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
}

void ColorBoxDrawEvent(ControlRef theControl) {
    toolbox::SaveGWorld saved;
    SetPortWindowPort(GetControlOwner(theControl));
    Rect bounds = BoundsOf(theControl);
    UInt16 hilite = GetControlHilite(theControl);
    if (hilite == kControlInactivePart || hilite == kControlDisabledPart)
        EraseRect(&bounds);
    else
        ColorBoxDraw(bounds, ColorBoxColor(GetControl32BitValue(theControl)));
}

void ColorBoxHit(ControlRef theControl) {
    RGBColor theColor = ColorBoxColor(GetControl32BitValue(theControl));
    const UInt8 prompt[] = "\x14Please choose color:";
    if (UseColorPicker(Point{0, 0}, prompt, theColor, &theColor))
        SetControl32BitValue(theControl, ColorBoxValue(theColor));
}

}  // namespace

SInt32 ColorBoxValue(RGBColor theColor) {
    return (SInt32(theColor.red >> 8) << 16) | (SInt32(theColor.green >> 8) << 8) | SInt32(theColor.blue >> 8);
}

RGBColor ColorBoxColor(SInt32 theValue) {
    return RGBColor{UInt16(((theValue >> 16) & 0xFF) << 8), UInt16(((theValue >> 8) & 0xFF) << 8),
                    UInt16((theValue & 0xFF) << 8)};
}

void RegisterColorBox() {
    const EventTypeSpec events[] = {{kEventClassControl, kEventControlDraw},
                                    {kEventClassControl, kEventControlHitTest},
                                    {kEventClassControl, kEventControlHit}};
    lgMyHandlerUPP = NewEventHandlerUPP(ColorBoxControlHandler);
    CFStringRef classID = CFStringCreateWithCString(kCFAllocatorDefault, cColorCtrlID, kCFStringEncodingMacRoman);
    (void)RegisterToolboxObjectClass(classID, nullptr, 3, events, lgMyHandlerUPP, nullptr, &lgColorBoxClassRef);
    CFRelease(classID);
}

void UnregisterColorBox() {
    (void)UnregisterToolboxObjectClass(lgColorBoxClassRef);
    lgColorBoxClassRef = nullptr;
    DisposeEventHandlerUPP(lgMyHandlerUPP);
    lgMyHandlerUPP = nullptr;
}

OSStatus ColorBoxControlHandler(EventHandlerCallRef, EventRef theEvent, void*) {
    ControlRef theControl = ControlOf(theEvent);
    switch (GetEventKind(theEvent)) {
        case kEventControlHitTest: ColorBoxHitTest(theEvent, theControl); return noErr;
        case kEventControlDraw: ColorBoxDrawEvent(theControl); return noErr;
        case kEventControlHit: ColorBoxHit(theControl); return eventNotHandledErr;
        default: return eventNotHandledErr;
    }
}

void ColorBoxDraw(Rect theRect, RGBColor theColor) {
    const RGBColor black = {0, 0, 0};
    RGBForeColor(&theColor);
    PaintRect(&theRect);
    RGBForeColor(&black);
    FrameRect(&theRect);
}

Boolean UseColorPicker(Point where, ConstStr255Param prompt, RGBColor inColor, RGBColor* outColor) {
    NColorPickerInfo info;
    std::memset(&info, 0, sizeof info);
    info.theColor.color.rgb = CMRGBColor{inColor.red, inColor.green, inColor.blue};
    info.flags = kPickerFlags;
    info.placeWhere = kAtSpecifiedOrigin;
    info.dialogOrigin = where;
    std::memcpy(info.prompt, prompt, std::size_t(prompt[0]) + 1);
    info.newColorChosen = false;
    if (NPickColor(&info) != noErr || !info.newColorChosen) return false;
    const CMRGBColor& chosen = info.theColor.color.rgb;
    *outColor = RGBColor{chosen.red, chosen.green, chosen.blue};
    return true;
}
