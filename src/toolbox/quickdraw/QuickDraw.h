// QuickDraw stand-in: ports and offscreen graphics worlds with 32-bit ARGB pixel maps,
// the current port and device, CopyBits, pens, colours, rectangle drawing and regions.
#pragma once

#include "MacTypes.h"

// --- Pixel maps and bitmaps ----------------------------------------------------
// A BitMap is the leading part of a PixMap, so a PixMap may stand where a BitMap is asked for.
struct BitMap {
    Ptr baseAddr;
    SInt32 rowBytes;  // wider than the Mac's 16 bits so that frames of any width fit
    Rect bounds;
};
typedef BitMap* BitMapPtr;

struct PixMap {
    Ptr baseAddr;
    SInt32 rowBytes;
    Rect bounds;
    SInt16 pixelType;
    SInt16 pixelSize;  // bits per pixel
    SInt16 cmpCount;
    SInt16 cmpSize;
    OSType pixelFormat;
};
typedef PixMap* PixMapPtr;
typedef PixMapPtr* PixMapHandle;

struct GDevice {
    SInt16 gdType;
    PixMapHandle gdPMap;
    Rect gdRect;
};
typedef GDevice* GDPtr;
typedef GDPtr* GDHandle;

struct ColorTable;
typedef ColorTable** CTabHandle;

struct OpaqueGrafPtr;
typedef OpaqueGrafPtr* GrafPtr;
typedef GrafPtr CGrafPtr;
typedef CGrafPtr GWorldPtr;

typedef UInt32 GWorldFlags;
typedef SInt16 QDErr;

enum : GWorldFlags {
    pixPurge = 1u << 0,
    noNewDevice = 1u << 1,
    useTempMem = 1u << 2,
    keepLocal = 1u << 3,
    pixelsPurgeable = 1u << 6,
    pixelsLocked = 1u << 7,
};

// Transfer modes.
enum : SInt16 {
    srcCopy = 0,
    srcOr = 1,
    srcXor = 2,
    srcBic = 3,
    patCopy = 8,
    patOr = 9,
    patXor = 10,
    patBic = 11,
    notPatCopy = 12,
};

constexpr OSType k32ARGBPixelFormat = 0x00000020;

// --- Regions (rectangular only) ----------------------------------------------
struct MacRegion {
    Rect rgnBBox;
};
typedef MacRegion* RgnPtr;
typedef RgnPtr* RgnHandle;

RgnHandle NewRgn();
void DisposeRgn(RgnHandle rgn);
void RectRgn(RgnHandle rgn, const Rect* r);
void SetRectRgn(RgnHandle rgn, short left, short top, short right, short bottom);
Rect* GetRegionBounds(RgnHandle rgn, Rect* bounds);

// --- Rectangles and points ---------------------------------------------------
void SetRect(Rect* r, short left, short top, short right, short bottom);
void OffsetRect(Rect* r, short dh, short dv);
void InsetRect(Rect* r, short dh, short dv);
Boolean SectRect(const Rect* a, const Rect* b, Rect* dst);
void UnionRect(const Rect* a, const Rect* b, Rect* dst);
Boolean EqualRect(const Rect* a, const Rect* b);
Boolean EmptyRect(const Rect* r);
Boolean PtInRect(Point pt, const Rect* r);
void SetPt(Point* pt, short h, short v);

// --- Offscreen worlds --------------------------------------------------------
QDErr NewGWorld(GWorldPtr* offscreenGWorld, short pixelDepth, const Rect* boundsRect,
                CTabHandle cTable, GDHandle aGDevice, GWorldFlags flags);
void DisposeGWorld(GWorldPtr offscreenGWorld);
PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld);
GDHandle GetGWorldDevice(GWorldPtr offscreenGWorld);
QDErr QDError();

// Pixel map access and the lock state.
GWorldFlags GetPixelsState(PixMapHandle pm);
void SetPixelsState(PixMapHandle pm, GWorldFlags state);
Boolean LockPixels(PixMapHandle pm);
void UnlockPixels(PixMapHandle pm);
Ptr GetPixBaseAddr(PixMapHandle pm);
SInt32 GetPixRowBytes(PixMapHandle pm);
SInt16 GetPixDepth(PixMapHandle pm);
Rect* GetPixBounds(PixMapHandle pm, Rect* bounds);

// --- Ports, the current port and device ---------------------------------------
void GetGWorld(CGrafPtr* port, GDHandle* gdh);
void SetGWorld(CGrafPtr port, GDHandle gdh);
void GetPort(GrafPtr* port);
void SetPort(GrafPtr port);
GDHandle GetGDevice();
void SetGDevice(GDHandle gdh);
GDHandle GetMainDevice();
Rect* GetPortBounds(CGrafPtr port, Rect* rect);
PixMapHandle GetPortPixMap(CGrafPtr port);
const BitMap* GetPortBitMapForCopyBits(CGrafPtr port);
Boolean IsValidPort(CGrafPtr port);
void QDFlushPortBuffer(CGrafPtr port, RgnHandle region);

// --- Copying -----------------------------------------------------------------
// srcCopy only; the source rectangle is scaled onto the destination rectangle
// (nearest pixel) when their sizes differ, and clipped to both bitmaps' bounds.
void CopyBits(const BitMap* srcBits, const BitMap* dstBits, const Rect* srcRect,
              const Rect* dstRect, short mode, RgnHandle maskRgn);

// --- Pen, colours and drawing into the current port -------------------------------
void RGBForeColor(const RGBColor* color);
void RGBBackColor(const RGBColor* color);
void GetForeColor(RGBColor* color);
void GetBackColor(RGBColor* color);
void PenMode(short mode);
void PenSize(short width, short height);
void PenNormal();
void MoveTo(short h, short v);
void Move(short dh, short dv);
void LineTo(short h, short v);
void Line(short dh, short dv);
void GetPen(Point* pt);
void PaintRect(const Rect* r);
void FrameRect(const Rect* r);
void EraseRect(const Rect* r);
void InvertRect(const Rect* r);
void PaintOval(const Rect* r);
void FrameOval(const Rect* r);
void ClipRect(const Rect* r);
void GetClip(RgnHandle rgn);

namespace toolbox {

// Restores the current port and device on every path out of a scope.
class SaveGWorld {
public:
    SaveGWorld() { GetGWorld(&port_, &device_); }
    ~SaveGWorld() { SetGWorld(port_, device_); }
    SaveGWorld(const SaveGWorld&) = delete;
    SaveGWorld& operator=(const SaveGWorld&) = delete;
    CGrafPtr port() const { return port_; }
    GDHandle device() const { return device_; }

private:
    CGrafPtr port_ = nullptr;
    GDHandle device_ = nullptr;
};

// Saves a pixel map's lock state and gives it back when the scope ends.
class SavePixelsState {
public:
    explicit SavePixelsState(PixMapHandle pm) : pm_(pm), state_(pm ? GetPixelsState(pm) : 0) {}
    ~SavePixelsState() {
        if (pm_) SetPixelsState(pm_, state_);
    }
    SavePixelsState(const SavePixelsState&) = delete;
    SavePixelsState& operator=(const SavePixelsState&) = delete;
    GWorldFlags state() const { return state_; }

private:
    PixMapHandle pm_;
    GWorldFlags state_;
};

// Creates a port that draws into caller-owned pixels (a window's backing store, say).
CGrafPtr NewPortForPixels(const Rect& bounds, SInt32 rowBytes, Ptr baseAddr);
void DisposePort(CGrafPtr port);
// Called by QDFlushPortBuffer so that a presenter can show the port's pixels.
using PortFlushHook = void (*)(CGrafPtr port, const Rect& dirty, void* refCon);
void SetPortFlushHook(CGrafPtr port, PortFlushHook hook, void* refCon);
// Offscreen worlds currently alive (leak checks in tests).
long LiveGWorldCount();
// A number given to each world when it is made and never again; 0 for a pointer that is
// no live world. Whoever keeps a world pointer that someone else may dispose of (a pool of
// worlds) compares this to tell its world from a new one made at the same address.
UInt64 GWorldSerial(GWorldPtr world);
// Largest number of pixels one world may have; a larger request fails with memFullErr.
constexpr long kMaxGWorldPixels = 32767L * 4096L;

}  // namespace toolbox
