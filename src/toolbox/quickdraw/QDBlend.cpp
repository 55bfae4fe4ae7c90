// The editor's blend of one pixel map over another.
#include "quickdraw/QDBlend.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace toolbox {

namespace {

UInt8* PixelAddress(const PixMap& pm, int x, int y) {
    return reinterpret_cast<UInt8*>(pm.baseAddr) + std::ptrdiff_t(y - pm.bounds.top) * pm.rowBytes +
           std::ptrdiff_t(x - pm.bounds.left) * 4;
}

// (s·a + d·(255 − a) + 127) div 255. The sum fits 16 bits (at most 65,152), and for such
// sums (x + 1 + x div 256) div 256 is x div 255 exactly, so a run is 16-bit multiplies and
// shifts that the compiler turns into vector code, eight or more bytes an instruction.
inline UInt8 BlendByte(unsigned s, unsigned d, uint16_t a, uint16_t inv) {
    const uint16_t x = uint16_t(s * a + d * inv + 127);
    return UInt8(uint16_t(x + 1 + (x >> 8)) >> 8);
}

// One run of bytes, every byte alike. No per-processor clones here: their resolvers run
// while the library is being relocated, before a sanitizer's runtime is ready, and the
// sanitizer builds load this library at start-up.
void BlendRun(const UInt8* s, UInt8* d, std::size_t n, int a) {
    const uint16_t a16 = uint16_t(a), inv = uint16_t(255 - a);
    for (std::size_t i = 0; i < n; ++i) d[i] = BlendByte(s[i], d[i], a16, inv);
}

// Source and destination rectangles of one size: whole rows, no scaling.
void BlendUnscaled(const PixMap& src, const PixMap& dst, const Rect& srcRect, const Rect& dstRect, const Rect& area,
                   int a) {
    const int dx = srcRect.left - dstRect.left, dy = srcRect.top - dstRect.top;
    const int left = std::max<int>(area.left, src.bounds.left - dx);
    const int right = std::min<int>(area.right, src.bounds.right - dx);
    if (left >= right) return;
    for (int y = area.top; y < area.bottom; ++y) {
        if (y + dy < src.bounds.top || y + dy >= src.bounds.bottom) continue;
        BlendRun(PixelAddress(src, left + dx, y + dy), PixelAddress(dst, left, y), std::size_t(right - left) * 4, a);
    }
}

}  // namespace

bool BlendPixMaps(const PixMap& src, const PixMap& dst, const Rect& srcRect, const Rect& dstRect, SInt16 opacity) {
    if (src.baseAddr == nullptr || dst.baseAddr == nullptr || src.pixelSize != 32 || dst.pixelSize != 32)
        return false;
    int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
    int dw = dstRect.right - dstRect.left, dh = dstRect.bottom - dstRect.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return true;
    const int a = std::clamp<int>(opacity, 0, 255);
    Rect area;
    if (!SectRect(&dstRect, &dst.bounds, &area)) return true;
    if (sw == dw && sh == dh) {
        BlendUnscaled(src, dst, srcRect, dstRect, area, a);
        return true;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        int sy = srcRect.top + int(SInt64(y - dstRect.top) * sh / dh);
        if (sy < src.bounds.top || sy >= src.bounds.bottom) continue;
        UInt8* d = PixelAddress(dst, area.left, y);
        for (int x = area.left; x < area.right; ++x, d += 4) {
            int sx = srcRect.left + int(SInt64(x - dstRect.left) * sw / dw);
            if (sx < src.bounds.left || sx >= src.bounds.right) continue;
            const UInt8* s = PixelAddress(src, sx, sy);
            BlendRun(s, d, 4, a);
        }
    }
    return true;
}

}  // namespace toolbox
