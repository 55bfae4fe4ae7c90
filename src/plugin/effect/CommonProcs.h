// CommonProcs: offscreen worlds, port rectangles, rectangle geometry and packed colours
// (the graphics half), and the alerts and assertions every module reports trouble with.
#pragma once

#include "Carbon.h"
#include "effect/PixelLib.h"

// --- Alerts and assertions ---------------------------------------------------------
CFStringRef MakeCFString(ConstStr255Param theString);
SInt16 StandardWarning(ConstStr255Param headline, ConstStr255Param description, ConstStr255Param okText,
                       ConstStr255Param cancelText);
void StandardStop(ConstStr255Param headline, ConstStr255Param description);
[[noreturn]] void Terminate(ConstStr255Param headline, ConstStr255Param description);
void Assert(const void* thePtr, ConstStr255Param failLocation);
void Notify(ConstStr255Param theMessage);
// The same, for callers that hold their texts as C string literals.
void Assert(const void* thePtr, const char* failLocation);
[[noreturn]] void Terminate(const char* headline, const char* description);

// --- Offscreen worlds and ports ------------------------------------------------------
Rect GetPortRect(CGrafPtr port);
Rect CarbonGetPortBounds(CGrafPtr port);
BitMap CarbonGetPortBitMapForCopyBits(CGrafPtr port);
void LockGWorld(GWorldPtr theGW);
GWorldPtr AllocateRectGWorld(Rect theRect);
GWorldPtr AllocateGWorld(SInt16 wid, SInt16 hig);
GWorldPtr MakeGWorldClone(GWorldPtr theGW);
void Source2Target(GWorldPtr source, GWorldPtr target);
void DrawGWInGW(GWorldPtr source, GWorldPtr dest, Rect theRect);
// Draws the picture scaled into theRect of the world; a nil world or picture does nothing.
// The current world and device are the caller's again afterwards.
void DrawPictureInGW(GWorldPtr theGW, PicHandle thePicture, Rect theRect);
void ClearGW(GWorldPtr theGW, RGBColor theColor);

// --- Rectangles ---------------------------------------------------------------------
void GetDims(Rect theRect, SInt32* wid, SInt32* hig);
Rect KeepPropsWithFixedHorizontal(Rect inOriginal, Rect inNewSize);
Rect KeepPropsWithFixedVertical(Rect inOriginal, Rect inNewSize);
Rect CalcProportionalRectForFrame(Rect inRect, Rect inFrame);
void VerifyRect(Rect* theRect);
void CenterRectInRect(Rect* theRect, Rect theBounds);

// --- Colours ------------------------------------------------------------------------
RGBColor SetRGBColor(SInt16 r, SInt16 g, SInt16 b);
SInt32 PixRec2LongInt(pixRec thePixel);
pixRec LongInt2PixRec(SInt32 theLong);
SInt32 RGBColor2LongInt(RGBColor theColor);
RGBColor LongInt2RGBColor(SInt32 theLong);

// Truncates a double toward zero into 16 bits the way the 16-bit sums of these routines
// wrap; NaN and infinities count as 0 (never an out-of-range conversion).
SInt16 TruncToSInt16(double value);

// --- Justified text and windows -------------------------------------------------------
// Justification codes: 1 left, 2 centre, 3 right; any other code places text as left does.
// Draws one line of text in the current port inside theBox, with its baseline placed for a
// text theTextHeight pixels high; font, size and colours are the port's.
void DrawJustifiedTextInBox(Rect theBox, SInt16 theJustification, double theTextHeight, ConstStr255Param theText);
// Paints, in the current foreground colour, the part of theBox behind where the text would
// stand; any other code than 1, 2 or 3 paints the whole box.
void PaintJustifiedRect(Rect theBox, SInt16 theJustification, ConstStr255Param theText);
// Flushes the buffer of the window's whole port to the screen.
void FlushWindowBuffer(WindowRef window);
// Moves the window sideways so that its structure's right edge lies on theBounds.right.
void MoveWindowToRightEdge(WindowRef window, Rect theBounds);
