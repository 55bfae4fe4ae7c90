// PixelLib: direct pixel access.
#include "effect/PixelLib.h"

void GetPixInfoFromGWorld(GWorldPtr theGW, Ptr* pixBaseAddress, SInt32* pixRowBytes, Rect* theFrame,
                          GWorldFlags* pixFlags) {
    PixMapHandle thePixMap = GetGWorldPixMap(theGW);
    *pixFlags = GetPixelsState(thePixMap);
    LockPixels(thePixMap);
    *pixBaseAddress = GetPixBaseAddr(thePixMap);
    *pixRowBytes = GetPixRowBytes(thePixMap);
    GetPortBounds(theGW, theFrame);
}
