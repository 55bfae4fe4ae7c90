// Ports, offscreen worlds, pixel-map lock state and the current port and device.
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "memory/MacMemory.h"
#include "quickdraw/PixelMemory.h"
#include "quickdraw/PortInternals.h"

namespace {

QDErr gQDError = noErr;

// Worlds alive now. Disposing of a world twice (the host and a plug-in may both think
// they own a frame) must not touch freed memory, so disposal checks here first.
std::unordered_set<OpaqueGrafPtr*>& LiveGWorlds() {
    static std::unordered_set<OpaqueGrafPtr*> live;
    return live;
}

// Ports made for caller-owned pixels and not yet disposed of, so that a port can be
// checked without reading through a pointer that may have been freed.
std::unordered_set<OpaqueGrafPtr*>& LivePixelPorts() {
    static std::unordered_set<OpaqueGrafPtr*> live;
    return live;
}

// The screen: the port and device that are current before anybody sets another.
struct Screen {
    OpaqueGrafPtr port;
    GDHandle device;
    Screen() {
        port.magic = toolbox::kPortMagic;
        port.pixMap.pixelSize = 32;
        SetRect(&port.pixMap.bounds, 0, 0, 1920, 1080);
        port.clipRect = port.pixMap.bounds;
        port.device.gdPMap = &port.pixMapMaster.ptr;
        port.device.gdRect = port.pixMap.bounds;
        device = &port.deviceMaster;
    }
};
Screen& TheScreen() {
    static Screen screen;
    return screen;
}

CGrafPtr gCurrentPort = nullptr;
GDHandle gCurrentDevice = nullptr;

void EnsureCurrent() {
    if (gCurrentPort == nullptr) {
        gCurrentPort = &TheScreen().port;
        gCurrentDevice = TheScreen().device;
    }
}

OpaqueGrafPtr* PortOfPixMap(PixMapHandle pm) {
    if (pm == nullptr || *pm == nullptr) return nullptr;
    auto* master = reinterpret_cast<OpaqueGrafPtr::MasterPointer*>(pm);
    OpaqueGrafPtr* port = master->owner;
    return port && port->magic == toolbox::kPortMagic ? port : nullptr;
}

void InitPort(OpaqueGrafPtr* port, const Rect& bounds, SInt32 rowBytes, Ptr base, short depth) {
    port->magic = toolbox::kPortMagic;
    port->pixMap.baseAddr = base;
    port->pixMap.rowBytes = rowBytes;
    port->pixMap.bounds = bounds;
    port->pixMap.pixelType = 16;  // RGBDirect
    port->pixMap.pixelSize = depth;
    port->pixMap.cmpCount = 3;
    port->pixMap.cmpSize = depth == 32 ? 8 : depth == 16 ? 5 : depth;
    port->pixMap.pixelFormat = OSType(depth);
    port->clipRect = bounds;
    port->device.gdType = 2;  // directType
    port->device.gdPMap = &port->pixMapMaster.ptr;
    port->device.gdRect = bounds;
}

// Rows padded to 16 bytes, as QuickDraw does for offscreen worlds.
SInt32 RowBytesFor(long width, short depth) {
    long bytes = (width * depth + 7) / 8;
    return SInt32((bytes + 15) & ~15L);
}

}  // namespace

namespace toolbox {

CGrafPtr CurrentPort() {
    EnsureCurrent();
    return gCurrentPort;
}

long LiveGWorldCount() { return long(LiveGWorlds().size()); }

UInt64 GWorldSerial(GWorldPtr world) {
    if (world == nullptr || LiveGWorlds().count(world) == 0) return 0;
    return world->serial;
}

CGrafPtr NewPortForPixels(const Rect& bounds, SInt32 rowBytes, Ptr baseAddr) {
    auto* port = new OpaqueGrafPtr;
    InitPort(port, bounds, rowBytes, baseAddr, 32);
    LivePixelPorts().insert(port);
    return port;
}

void DisposePort(CGrafPtr port) {
    if (port == nullptr || LivePixelPorts().erase(port) == 0) return;
    if (gCurrentPort == port) {
        gCurrentPort = &TheScreen().port;
        gCurrentDevice = TheScreen().device;
    }
    port->magic = 0;
    delete port;
}

void SetPortFlushHook(CGrafPtr port, PortFlushHook hook, void* refCon) {
    if (port == nullptr) return;
    port->flushHook = hook;
    port->flushRefCon = refCon;
}

}  // namespace toolbox

QDErr NewGWorld(GWorldPtr* offscreenGWorld, short pixelDepth, const Rect* boundsRect,
                CTabHandle, GDHandle, GWorldFlags flags) {
    if (offscreenGWorld == nullptr || boundsRect == nullptr) return gQDError = paramErr;
    *offscreenGWorld = nullptr;
    if (pixelDepth == 0) pixelDepth = 32;
    if (pixelDepth != 8 && pixelDepth != 16 && pixelDepth != 32) return gQDError = paramErr;
    long width = long(boundsRect->right) - boundsRect->left;
    long height = long(boundsRect->bottom) - boundsRect->top;
    if (width < 0 || height < 0) return gQDError = paramErr;
    if (toolbox::ShouldFail(toolbox::FaultSite::GWorld) ||
        width * height > toolbox::kMaxGWorldPixels)
        return gQDError = memFullErr;

    SInt32 rowBytes = RowBytesFor(width, pixelDepth);
    std::size_t bytes = std::size_t(rowBytes) * std::size_t(height);
    // Zero-filled and 64-byte aligned; no slack after the last row, so that whoever fills
    // a world must stay inside its rows (guard pages in tests hold them to that).
    toolbox::PixelStorage pixels = toolbox::AllocatePixels(bytes);
    if (pixels == nullptr) return gQDError = memFullErr;

    auto* world = new OpaqueGrafPtr;
    Ptr base = reinterpret_cast<Ptr>(pixels.get());
    world->storage = std::move(pixels);
    world->isGWorld = true;
    static UInt64 lastSerial = 0;
    world->serial = ++lastSerial;
    InitPort(world, *boundsRect, rowBytes, base, pixelDepth);
    world->pixState = flags & GWorldFlags(pixelsLocked);
    LiveGWorlds().insert(world);
    *offscreenGWorld = world;
    return gQDError = noErr;
}

void DisposeGWorld(GWorldPtr offscreenGWorld) {
    if (offscreenGWorld == nullptr || LiveGWorlds().erase(offscreenGWorld) == 0) return;
    // Disposing of the current world leaves the screen current, never a dangling port.
    if (gCurrentPort == offscreenGWorld) {
        gCurrentPort = &TheScreen().port;
        gCurrentDevice = TheScreen().device;
    }
    offscreenGWorld->magic = 0;
    delete offscreenGWorld;
}

PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld) {
    return offscreenGWorld ? &offscreenGWorld->pixMapMaster.ptr : nullptr;
}
GDHandle GetGWorldDevice(GWorldPtr offscreenGWorld) {
    return offscreenGWorld ? &offscreenGWorld->deviceMaster : nullptr;
}
QDErr QDError() { return gQDError; }

GWorldFlags GetPixelsState(PixMapHandle pm) {
    OpaqueGrafPtr* port = PortOfPixMap(pm);
    return port ? port->pixState : 0;
}
void SetPixelsState(PixMapHandle pm, GWorldFlags state) {
    if (OpaqueGrafPtr* port = PortOfPixMap(pm)) port->pixState = state;
}
Boolean LockPixels(PixMapHandle pm) {
    OpaqueGrafPtr* port = PortOfPixMap(pm);
    if (port == nullptr) return false;
    port->pixState |= pixelsLocked;
    return true;
}
void UnlockPixels(PixMapHandle pm) {
    if (OpaqueGrafPtr* port = PortOfPixMap(pm)) port->pixState &= ~GWorldFlags(pixelsLocked);
}
Ptr GetPixBaseAddr(PixMapHandle pm) { return pm && *pm ? (*pm)->baseAddr : nullptr; }
SInt32 GetPixRowBytes(PixMapHandle pm) { return pm && *pm ? (*pm)->rowBytes : 0; }
SInt16 GetPixDepth(PixMapHandle pm) { return pm && *pm ? (*pm)->pixelSize : 0; }
Rect* GetPixBounds(PixMapHandle pm, Rect* bounds) {
    if (pm && *pm && bounds) *bounds = (*pm)->bounds;
    return bounds;
}

void GetGWorld(CGrafPtr* port, GDHandle* gdh) {
    EnsureCurrent();
    if (port) *port = gCurrentPort;
    if (gdh) *gdh = gCurrentDevice;
}

// A world is its own device; other ports draw on the device given, or the current one.
void SetGWorld(CGrafPtr port, GDHandle gdh) {
    EnsureCurrent();
    if (port == nullptr) return;
    gCurrentPort = port;
    if (port->isGWorld)
        gCurrentDevice = &port->deviceMaster;
    else if (gdh != nullptr)
        gCurrentDevice = gdh;
}

void GetPort(GrafPtr* port) {
    EnsureCurrent();
    if (port) *port = gCurrentPort;
}
void SetPort(GrafPtr port) {
    EnsureCurrent();
    if (port) gCurrentPort = port;
}
GDHandle GetGDevice() {
    EnsureCurrent();
    return gCurrentDevice;
}
void SetGDevice(GDHandle gdh) {
    EnsureCurrent();
    if (gdh) gCurrentDevice = gdh;
}
GDHandle GetMainDevice() { return TheScreen().device; }

Rect* GetPortBounds(CGrafPtr port, Rect* rect) {
    if (port && rect) *rect = port->pixMap.bounds;
    return rect;
}
PixMapHandle GetPortPixMap(CGrafPtr port) { return port ? &port->pixMapMaster.ptr : nullptr; }
const BitMap* GetPortBitMapForCopyBits(CGrafPtr port) {
    return port ? reinterpret_cast<const BitMap*>(&port->pixMap) : nullptr;
}
// Answered from the lists of live ports alone: a port disposed of is never read.
Boolean IsValidPort(CGrafPtr port) {
    if (port == nullptr) return false;
    return LiveGWorlds().count(port) || LivePixelPorts().count(port) || port == &TheScreen().port;
}

void QDFlushPortBuffer(CGrafPtr port, RgnHandle region) {
    if (port == nullptr || port->flushHook == nullptr) return;
    Rect dirty = port->pixMap.bounds;
    if (region && *region) SectRect(&dirty, &(*region)->rgnBBox, &dirty);
    port->flushHook(port, dirty, port->flushRefCon);
}

static_assert(offsetof(PixMap, baseAddr) == offsetof(BitMap, baseAddr));
static_assert(offsetof(PixMap, rowBytes) == offsetof(BitMap, rowBytes));
static_assert(offsetof(PixMap, bounds) == offsetof(BitMap, bounds));
