// DlgUtils: the geometry and drawing of the clip preview: which handle of the effect
// rectangle a point hits, the handles themselves, the whole preview, and the two drag
// rules (moving the rectangle and dragging one of its corners).
#pragma once

#include "effect/PluginDefines.h"

// Part codes of the clip preview control.
enum : SInt16 {
    kNoHandle = 0,
    kTopLeftHandle = 1,
    kTopRightHandle = 2,
    kBottomLeftHandle = 3,
    kBottomRightHandle = 4,
    kInsideRect = 5,
};

// The handle square around a corner: corner - cHandleSize (inclusive) to corner +
// cHandleSize (exclusive) on both axes.
Rect HandleSquare(short h, short v);
// The first of: the four handle squares in part-code order, the inside, nothing.
SInt16 IsHandleHit(Rect theRect, Point theLoc);
// Three concentric circles, black, white, black, on each corner.
void DrawHandles(Rect theRect);
// The processed frame scaled into destRect, the effect rectangle outlined in the
// record's frameStartColor with its handles, clipped to destRect, and a black border.
void DrawFrameContents(WindowRef theWindow, Rect destRect);
// Moves theRect by the step from oldLoc to newLoc.
void DragRect(Rect* theRect, Point oldLoc, Point newLoc, UInt32 modifiers);
// Resizes theRect by moving the corner of theHandle by the step from oldLoc to newLoc:
// Option moves the opposite corner the other way, Shift keeps the proportions that
// origRel has on theFrame. A corner dragged past the opposite one turns it over.
void DragCorner(SInt16 theHandle, Rect* theRect, Point oldLoc, Point newLoc, UInt32 modifiers, Rect theFrame,
                relRect origRel);
