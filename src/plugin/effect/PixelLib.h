// PixelLib: the 32-bit pixel record and direct access to the pixels of offscreen worlds.
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
