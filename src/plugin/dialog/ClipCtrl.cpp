// ClipCtrl: draw, hit test and track of the clip preview control. A drag keeps the
// rectangle, part and modifiers of the click for its whole length; corner drags start
// again from the rectangle at the click each step, moves carry on from the last step.
#include "dialog/ClipCtrl.h"

#include "dialog/DlgUtils.h"
#include "effect/CallPixelFX.h"
#include "effect/CommonProcs.h"
#include "effect/DataHandling.h"

namespace {

ToolboxObjectClassRef lgClipCtrlClassRef1 = nullptr;
EventHandlerUPP lgMyHandlerUPP = nullptr;

ControlRef ControlOf(EventRef theEvent) {
    ControlRef theControl = nullptr;
    GetEventParameter(theEvent, kEventParamDirectObject, typeControlRef, nullptr, sizeof theControl, nullptr,
                      &theControl);
    return theControl;
}

Point MouseLocOf(EventRef theEvent) {
    Point where{0, 0};
    GetEventParameter(theEvent, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where);
    return where;
}

Rect BoundsOf(ControlRef theControl) {
    Rect bounds{0, 0, 0, 0};
    GetControlBounds(theControl, &bounds);
    return bounds;
}

void ClipDraw(ControlRef theControl, WindowRef theWindow) {
    toolbox::SaveGWorld saved;
    SetPortWindowPort(theWindow);
    UInt16 hilite = GetControlHilite(theControl);
    if (hilite != kControlInactivePart && hilite != kControlDisabledPart)
        DrawFrameContents(theWindow, BoundsOf(theControl));
}

void ClipHitTest(EventRef theEvent, ControlRef theControl) {
    Point where = MouseLocOf(theEvent);
    Rect bounds = BoundsOf(theControl);
    ControlPartCode part = kControlNoPart;
    if (PtInRect(where, &bounds)) part = IsHandleHit(Rel2Rect(gConfigWorkSpace.theConfig->startRel, bounds), where);
    SetEventParameter(theEvent, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
}

// One step of a drag inside the preview: the new rectangle goes into the record, the
// frame is rendered again and the preview redrawn. The tracking draws outside the
// Control Manager's drawing, so it flushes the window itself for the display to follow.
void ApplyDragStep(WindowRef theWindow, Rect testRect, Rect bounds) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    PutCurrentRel(Rect2Rel(testRect, bounds));
    CallPixelEffect(ws.sourceClip, ws.theFXClip);
    DrawFrameContents(theWindow, bounds);
    QDFlushPortBuffer(GetWindowPort(theWindow), nullptr);
}

void ClipTrack(EventRef theEvent, ControlRef theControl, WindowRef theWindow) {
    Point clickLoc = MouseLocOf(theEvent);
    UInt32 modifiers = 0;
    GetEventParameter(theEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof modifiers, nullptr, &modifiers);
    const Rect bounds = BoundsOf(theControl);
    ClipRect(&bounds);
    const Rect origRect = Rel2Rect(gConfigWorkSpace.theConfig->startRel, bounds);
    const relRect origRel = GetCurrentRel();
    Rect testRect = origRect;
    const SInt16 whatPart = IsHandleHit(testRect, clickLoc);
    MouseTrackingResult trackingResult = kMouseTrackingMouseDown;
    Point newLoc = clickLoc;
    while (trackingResult != kMouseTrackingMouseUp) {
        if (trackingResult == kMouseTrackingMouseDragged && PtInRect(newLoc, &bounds) && whatPart != kNoHandle) {
            if (whatPart == kInsideRect) {
                DragRect(&testRect, clickLoc, newLoc, modifiers);
                clickLoc = newLoc;
            } else {
                testRect = origRect;
                DragCorner(whatPart, &testRect, clickLoc, newLoc, modifiers, bounds, origRel);
            }
            ApplyDragStep(theWindow, testRect, bounds);
        }
        TrackMouseLocation(nullptr, &newLoc, &trackingResult);
    }
}

// Drawing of the handler's events may narrow the clip; the window gets all of it back.
void RestoreWindowClip(WindowRef theWindow) {
    Rect whole = GetPortRect(GetWindowPort(theWindow));
    ClipRect(&whole);
}

}  // namespace

void RegisterClipCtrl() {
    const EventTypeSpec events[] = {{kEventClassControl, kEventControlDraw},
                                    {kEventClassControl, kEventControlHitTest},
                                    {kEventClassControl, kEventControlHit},
                                    {kEventClassControl, kEventControlActivate},
                                    {kEventClassControl, kEventControlOwningWindowChanged},
                                    {kEventClassControl, kEventControlTrack}};
    lgMyHandlerUPP = NewEventHandlerUPP(ClipCtrlControlHandler);
    CFStringRef classID = CFStringCreateWithCString(kCFAllocatorDefault, cClipCtrlID, kCFStringEncodingMacRoman);
    (void)RegisterToolboxObjectClass(classID, nullptr, 6, events, lgMyHandlerUPP, nullptr, &lgClipCtrlClassRef1);
    CFRelease(classID);
}

void UnregisterClipCtrl() {
    (void)UnregisterToolboxObjectClass(lgClipCtrlClassRef1);
    lgClipCtrlClassRef1 = nullptr;
    DisposeEventHandlerUPP(lgMyHandlerUPP);
    lgMyHandlerUPP = nullptr;
}

OSStatus ClipCtrlControlHandler(EventHandlerCallRef, EventRef theEvent, void*) {
    ControlRef theControl = ControlOf(theEvent);
    WindowRef theWindow = GetControlOwner(theControl);
    switch (GetEventKind(theEvent)) {
        case kEventControlHit: (void)GetControl32BitValue(theControl); break;
        case kEventControlHitTest: ClipHitTest(theEvent, theControl); break;
        case kEventControlDraw:
        case kEventControlActivate:
        case kEventControlOwningWindowChanged: ClipDraw(theControl, theWindow); break;
        case kEventControlTrack: ClipTrack(theEvent, theControl, theWindow); break;
        default: return eventNotHandledErr;
    }
    RestoreWindowClip(theWindow);
    return noErr;
}
