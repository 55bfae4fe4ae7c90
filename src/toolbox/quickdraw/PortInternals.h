// The inside of a graphics port, shared by the QuickDraw stand-in's source files
// and by the Window Manager, which gives each window a port of its own.
#pragma once

#include <memory>

#include "quickdraw/QuickDraw.h"

struct OpaqueGrafPtr {
    // The PixMapHandle points at `ptr`; `owner` leads back from a handle to its port.
    struct MasterPointer {
        PixMapPtr ptr;
        OpaqueGrafPtr* owner;
    };
    PixMap pixMap{};
    MasterPointer pixMapMaster{&pixMap, this};
    GWorldFlags pixState = 0;
    GDevice device{};                  // an offscreen world is its own device
    GDPtr deviceMaster = &device;
    std::unique_ptr<UInt8, void (*)(void*)> storage{nullptr, nullptr};  // pixels we own
    bool isGWorld = false;
    UInt64 serial = 0;  // worlds only: see toolbox::GWorldSerial
    UInt32 magic = 0;

    RGBColor foreColor{0, 0, 0};
    RGBColor backColor{0xFFFF, 0xFFFF, 0xFFFF};
    SInt16 penMode = patCopy;
    Point penLoc{0, 0};
    Point penSize{1, 1};
    Rect clipRect{};
    SInt16 txFont = 0;
    SInt16 txSize = 12;
    SInt16 txFace = 0;

    toolbox::PortFlushHook flushHook = nullptr;
    void* flushRefCon = nullptr;
};

namespace toolbox {

constexpr UInt32 kPortMagic = 0x47524146;  // 'GRAF'

CGrafPtr CurrentPort();
// The 32-bit pixel value (memory order A, R, G, B) for an RGBColor, alpha opaque.
UInt32 PixelFromRGB(const RGBColor& c);
// Fills r (already in the port's coordinates) clipped to the port, in the given mode.
void FillPortRect(CGrafPtr port, const Rect& r, UInt32 pixel, SInt16 mode);

}  // namespace toolbox
