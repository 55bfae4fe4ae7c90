// PixelLib: the 32-bit pixel record, direct access to the pixels of offscreen worlds, and
// routines that read, write, blend, plot, smudge and rotate those pixels.
//
// Every routine that locks a world saves its pixel state first and gives it back before it
// returns, in the reverse order of locking, so a world ends in the state it had on entry even
// when it is passed more than once. A nil world makes a routine do nothing. The routines that
// move whole 32-bit words leave a world alone unless it holds 32-bit pixels and its row stride
// can hold a whole row: walking a shallower or narrower buffer would run past its end.
#pragma once

#include "Carbon.h"

// One pixel, in memory order alpha, red, green, blue, in every 32-bit world.
struct pixRec {
    UInt8 alpha;
    UInt8 red;
    UInt8 green;
    UInt8 blue;
};
typedef pixRec* pixRecPtr;
static_assert(sizeof(pixRec) == 4 && offsetof(pixRec, blue) == 3);

// Saves the world's pixel state into pixFlags, locks its pixels and hands back the base
// address, the row stride and the port bounds. The caller gives pixFlags back with
// SetPixelsState(GetGWorldPixMap(theGW), pixFlags) when done.
void GetPixInfoFromGWorld(GWorldPtr theGW, Ptr* pixBaseAddress, SInt32* pixRowBytes, Rect* theFrame,
                          GWorldFlags* pixFlags);

// --- Depths -----------------------------------------------------------------------------
// The pixel depth of the world's pixel map (0 for nil).
SInt16 GetGWDepth(GWorldPtr theGW);
// Bytes per pixel: 8 gives 1, 16 gives 2, every other depth (24 included) gives 4.
SInt16 Depth2Size(SInt16 depth);

// --- Single pixels at an address (the caller keeps address and coordinates inside the map) ---
void PGetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, pixRec* thePixel);
void PSetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, pixRecPtr thePixel);
// Writes one pixel into a map of the given depth: 8 bits the red byte, 16 bits 5 bits each
// of red, green and blue (bits 10-14, 5-9, 0-4), 24 bits the bytes red, green, blue at
// 3 bytes per pixel, 32 bits and any other depth the whole word.
void Put32BitPixelInPixMap(pixRec thePixel, Ptr dstBaseAddress, SInt16 x, SInt16 y, SInt32 dstRowBytes,
                           SInt16 targetDepth);
// Red, green and blue as the high bytes of 16-bit components; the alpha byte as 0..255.
void Pixel2RGBA(pixRec thePixel, RGBColor* theRGB, SInt16* alpha);

// --- Whole worlds -------------------------------------------------------------------------
// Writes (alpha 0, r, g, b) to every pixel of the world inside theActiveRect, counted from
// the world's top-left pixel.
void SetPixMapPixels(GWorldPtr theDest, Rect theActiveRect, UInt8 r, UInt8 g, UInt8 b);
// Rotates the pixels inside theActiveRect by phi radians about the rectangle's centre into
// theDest; each pixel also lands one column to the left of its place, to close the gaps that
// truncation leaves. Target pixels no source pixel reaches keep their value.
void RotatePixmap(GWorldPtr theSource, GWorldPtr theDest, Rect theActiveRect, double phi);

// --- Squares ------------------------------------------------------------------------------
// These draw only when the anchor point lies inside the world (coordinates counted from its
// top-left pixel) and never write a pixel outside it. A square of side theSize covers
// (x + h, y + v) for h and v from theSize - 1 down to 0.

// Blends theRGB's high bytes over the square with weight theAlpha; each pixel's alpha stays.
void PSetGWPixelUsingAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, double theAlpha, RGBColor theRGB,
                           SInt16 theSize);
// Fills the square with theRGB's high bytes and the low byte of alpha.
void PSetGWPixelAndAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, RGBColor theRGB, SInt16 alpha, SInt16 theSize);
// Mixes theSource1 (weight alpha / 255, or (255 - alpha) / 255 when inverted) with theSource2
// from (sx, sy) into theTarget at (tx, ty). The result keeps theSource1's alpha byte. Only
// pixels inside the target and inside both sources are combined. A target of another depth
// than 32 gets its pixels through Put32BitPixelInPixMap.
void PCombineGWAndPutUsingAlpha(GWorldPtr theSource1, GWorldPtr theSource2, GWorldPtr theTarget, SInt16 sx,
                                SInt16 sy, SInt16 tx, SInt16 ty, SInt16 alpha, Boolean invertAlpha,
                                SInt16 theSize);
// Averages the pixels of theSource1 (and of theSource2 when it is not nil, each weighted by
// its alpha when uses2Alpha) within radius of (x, y) and inside the worlds into result, with
// the low byte of smudgeAlpha as alpha. result is left as it was when nothing is averaged
// (the point outside the world, a negative radius).
void PSmudgePixel(GWorldPtr theSource1, GWorldPtr theSource2, SInt16 radius, SInt16 x, SInt16 y,
                  Boolean uses2Alpha, SInt16 smudgeAlpha, pixRec* result);
// Writes thePixel to every pixel of the world within size of (x, y). blend and round are
// accepted for callers that pass them and have no effect.
void PPlotPixel(GWorldPtr theTarget, SInt16 x, SInt16 y, SInt16 size, Boolean blend, Boolean round,
                pixRec thePixel);
