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
