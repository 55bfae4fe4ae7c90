// QuickDraw pictures, kept as the pixels drawn into their frame. While a picture is open
// its port draws into a white scratch copy of itself, as the Mac hides the pen while it
// records; ClosePicture keeps the frame's part of the scratch and gives the port back.
#include "quickdraw/QDPictures.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "memory/MacMemory.h"
#include "quickdraw/PortInternals.h"

namespace {

constexpr OSType kPixelPictureTag = 0x74667078;  // 'tfpx': 32-bit pixels follow the header

// What a picture handle holds: the Mac's header, then the frame's pixels row by row.
struct PictureRecord {
    Picture header;
    SInt16 version;
    OSType tag;
    SInt32 width;
    SInt32 height;
};
static_assert(sizeof(Picture) == 10 && offsetof(PictureRecord, tag) == 12 && sizeof(PictureRecord) == 24,
              "the pixels start 4-byte aligned right after the record");

struct Recording {
    PicHandle picture = nullptr;
    CGrafPtr port = nullptr;
    PixMap ownPixMap{};  // the port's pixels, given back by ClosePicture
    Ptr scratch = nullptr;
};
Recording gRecording;

PictureRecord* RecordOf(PicHandle picture) {
    if (picture == nullptr || *picture == nullptr) return nullptr;
    const Size size = GetHandleSize(reinterpret_cast<Handle>(picture));
    if (size < Size(sizeof(PictureRecord))) return nullptr;
    auto* record = reinterpret_cast<PictureRecord*>(*picture);
    if (record->tag != kPixelPictureTag || record->width <= 0 || record->height <= 0) return nullptr;
    if (size - Size(sizeof(PictureRecord)) < Size(record->width) * record->height * 4) return nullptr;
    return record;
}

BitMap PixelsOf(PictureRecord* record) {
    return BitMap{reinterpret_cast<Ptr>(record + 1), record->width * 4, record->header.picFrame};
}

void FillWhite(Ptr pixels, long count) {
    const UInt32 white = toolbox::PixelFromRGB(RGBColor{0xFFFF, 0xFFFF, 0xFFFF});
    for (long i = 0; i < count; ++i) std::memcpy(pixels + i * 4, &white, 4);
}

// Keeps the frame's part of what was drawn and gives the port its own pixels back.
void EndRecording() {
    if (gRecording.picture == nullptr) return;
    // A world disposed of while recording is not touched again.
    if (IsValidPort(gRecording.port)) {
        const BitMap drawn = *GetPortBitMapForCopyBits(gRecording.port);
        PictureRecord* record = RecordOf(gRecording.picture);
        if (record != nullptr) {
            BitMap kept = PixelsOf(record);
            CopyBits(&drawn, &kept, &kept.bounds, &kept.bounds, srcCopy, nullptr);
        }
        gRecording.port->pixMap = gRecording.ownPixMap;
    }
    DisposePtr(gRecording.scratch);
    gRecording = Recording{};
}

}  // namespace

PicHandle OpenCPicture(const OpenCPicParams* newHeader) {
    if (newHeader == nullptr || gRecording.picture != nullptr) return nullptr;
    const Rect frame = newHeader->srcRect;
    const long width = long(frame.right) - frame.left, height = long(frame.bottom) - frame.top;
    if (width <= 0 || height <= 0 || width * height > toolbox::kMaxGWorldPixels) return nullptr;
    CGrafPtr port = toolbox::CurrentPort();
    const Rect bounds = port->pixMap.bounds;
    const long portWidth = std::max(0L, long(bounds.right) - bounds.left);
    const long portHeight = std::max(0L, long(bounds.bottom) - bounds.top);
    if (portWidth * portHeight > toolbox::kMaxGWorldPixels) return nullptr;

    const Size size = Size(sizeof(PictureRecord)) + width * height * 4;
    Handle handle = NewHandle(size);
    if (handle == nullptr) return nullptr;
    Ptr scratch = NewPtr(portWidth * portHeight * 4);
    if (scratch == nullptr) {
        DisposeHandle(handle);
        return nullptr;
    }
    auto* record = reinterpret_cast<PictureRecord*>(*handle);
    *record = PictureRecord{{SInt16(UInt16(size & 0xFFFF)), frame}, newHeader->version, kPixelPictureTag,
                            SInt32(width), SInt32(height)};
    FillWhite(reinterpret_cast<Ptr>(record + 1), width * height);  // what lies outside the port stays white
    FillWhite(scratch, portWidth * portHeight);

    gRecording = Recording{reinterpret_cast<PicHandle>(handle), port, port->pixMap, scratch};
    port->pixMap.baseAddr = scratch;
    port->pixMap.rowBytes = SInt32(portWidth * 4);
    port->pixMap.pixelSize = 32;
    return gRecording.picture;
}

void ClosePicture() { EndRecording(); }

void KillPicture(PicHandle myPicture) {
    if (myPicture == nullptr) return;
    if (myPicture == gRecording.picture) EndRecording();
    DisposeHandle(reinterpret_cast<Handle>(myPicture));
}

void DrawPicture(PicHandle myPicture, const Rect* dstRect) {
    if (dstRect == nullptr || myPicture == gRecording.picture) return;
    PictureRecord* record = RecordOf(myPicture);
    CGrafPtr port = toolbox::CurrentPort();
    if (record == nullptr || port->pixMap.pixelSize != 32) return;
    const BitMap pixels = PixelsOf(record);
    MacRegion clip{port->clipRect};
    RgnPtr clipPtr = &clip;
    CopyBits(&pixels, GetPortBitMapForCopyBits(port), &pixels.bounds, dstRect, srcCopy, &clipPtr);
}
