// DlgUtils: hit testing, drawing and the drag rules of the clip preview.
#include "dialog/DlgUtils.h"

#include "effect/CommonProcs.h"

namespace {

const RGBColor kBlackColor = {0, 0, 0};
const RGBColor kWhiteColor = {0xFFFF, 0xFFFF, 0xFFFF};

// Pt2Rect: the smallest rectangle that holds both points.
Rect Pt2Rect(Point a, Point b) {
    Rect r;
    SetRect(&r, a.h < b.h ? a.h : b.h, a.v < b.v ? a.v : b.v, a.h < b.h ? b.h : a.h, a.v < b.v ? b.v : a.v);
    return r;
}

Point Offset(Point p, SInt32 dh, SInt32 dv) { return Point{SInt16(p.v + dv), SInt16(p.h + dh)}; }

}  // namespace

Rect HandleSquare(short h, short v) {
    Rect r;
    SetRect(&r, h, v, h, v);
    InsetRect(&r, SInt16(-cHandleSize), SInt16(-cHandleSize));
    return r;
}

SInt16 IsHandleHit(Rect theRect, Point theLoc) {
    const Point corners[4] = {{theRect.top, theRect.left},
                              {theRect.top, theRect.right},
                              {theRect.bottom, theRect.left},
                              {theRect.bottom, theRect.right}};
    for (SInt16 i = 0; i < 4; ++i) {
        Rect square = HandleSquare(corners[i].h, corners[i].v);
        if (PtInRect(theLoc, &square)) return SInt16(kTopLeftHandle + i);
    }
    return PtInRect(theLoc, &theRect) ? SInt16(kInsideRect) : SInt16(kNoHandle);
}

void DrawHandles(Rect theRect) {
    const Point corners[4] = {{theRect.top, theRect.left},
                              {theRect.top, theRect.right},
                              {theRect.bottom, theRect.left},
                              {theRect.bottom, theRect.right}};
    PenMode(srcOr);
    for (const Point& corner : corners) {
        Rect circle = HandleSquare(corner.h, corner.v);
        RGBForeColor(&kBlackColor);
        FrameOval(&circle);
        InsetRect(&circle, 1, 1);
        RGBForeColor(&kWhiteColor);
        FrameOval(&circle);
        InsetRect(&circle, 1, 1);
        RGBForeColor(&kBlackColor);
        FrameOval(&circle);
    }
    PenNormal();
}

void DrawFrameContents(WindowRef theWindow, Rect destRect) {
    const pluginWorkSpace& ws = gConfigWorkSpace;
    CGrafPtr port = GetWindowPort(theWindow);
    RGBBackColor(&kWhiteColor);
    RGBForeColor(&kBlackColor);
    Rect source = GetPortRect(ws.theFXClip);
    CopyBits(GetPortBitMapForCopyBits(ws.theFXClip), GetPortBitMapForCopyBits(port), &source, &destRect, srcCopy,
             nullptr);
    ClipRect(&destRect);
    RGBForeColor(&ws.theConfig->frameStartColor);
    Rect effectRect = Rel2Rect(ws.theConfig->startRel, destRect);
    FrameRect(&effectRect);
    if (ws.activeRel == 1) DrawHandles(effectRect);
    Rect whole = GetPortRect(port);
    ClipRect(&whole);
    RGBForeColor(&kBlackColor);
    FrameRect(&destRect);
}

void DragRect(Rect* theRect, Point oldLoc, Point newLoc, UInt32) {
    OffsetRect(theRect, SInt16(newLoc.h - oldLoc.h), SInt16(newLoc.v - oldLoc.v));
}

void DragCorner(SInt16 theHandle, Rect* theRect, Point oldLoc, Point newLoc, UInt32 modifiers, Rect theFrame,
                relRect origRel) {
    const Rect r = *theRect;
    Point variable, fixed;
    switch (theHandle) {
        case kTopLeftHandle: variable = {r.top, r.left}, fixed = {r.bottom, r.right}; break;
        case kTopRightHandle: variable = {r.top, r.right}, fixed = {r.bottom, r.left}; break;
        case kBottomLeftHandle: variable = {r.bottom, r.left}, fixed = {r.top, r.right}; break;
        case kBottomRightHandle: variable = {r.bottom, r.right}, fixed = {r.top, r.left}; break;
        default: return;
    }
    const SInt32 dx = newLoc.h - oldLoc.h, dy = newLoc.v - oldLoc.v;
    variable = Offset(variable, dx, dy);
    if (modifiers & optionKey) fixed = Offset(fixed, -dx, -dy);
    *theRect = Pt2Rect(variable, fixed);
    if (modifiers & shiftKey) {
        Rect propRect = Rel2Rect(origRel, theFrame);
        SInt32 w, h;
        GetDims(propRect, &w, &h);
        *theRect = w > h ? KeepPropsWithFixedHorizontal(propRect, *theRect)
                         : KeepPropsWithFixedVertical(propRect, *theRect);
    }
}
