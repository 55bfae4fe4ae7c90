// The host's worlds: the blend of its Blit against the per-pixel formula it replaced.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Carbon.h"
#include "HostSession.h"

namespace {

// The blend as it was first written, pixel by pixel with a division: the reference.
void ReferenceBlend(const PixMap& src, const PixMap& dst, const Rect& srcRect, const Rect& dstRect, SInt16 opacity) {
    auto at = [](const PixMap& pm, int x, int y) {
        return reinterpret_cast<UInt8*>(pm.baseAddr) + std::ptrdiff_t(y - pm.bounds.top) * pm.rowBytes +
               std::ptrdiff_t(x - pm.bounds.left) * 4;
    };
    int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
    int dw = dstRect.right - dstRect.left, dh = dstRect.bottom - dstRect.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    const int a = std::clamp<int>(opacity, 0, 255), inv = 255 - a;
    Rect area;
    if (!SectRect(&dstRect, &dst.bounds, &area)) return;
    for (int y = area.top; y < area.bottom; ++y) {
        int sy = srcRect.top + int(SInt64(y - dstRect.top) * sh / dh);
        if (sy < src.bounds.top || sy >= src.bounds.bottom) continue;
        UInt8* d = at(dst, area.left, y);
        for (int x = area.left; x < area.right; ++x, d += 4) {
            int sx = srcRect.left + int(SInt64(x - dstRect.left) * sw / dw);
            if (sx < src.bounds.left || sx >= src.bounds.right) continue;
            const UInt8* s = at(src, sx, sy);
            for (int c = 0; c < 4; ++c) d[c] = UInt8((s[c] * a + d[c] * inv + 127) / 255);
        }
    }
}

PixMap MapOf(std::vector<UInt8>& bytes, Rect bounds, int rowBytes) {
    PixMap pm{};
    pm.baseAddr = reinterpret_cast<Ptr>(bytes.data());
    pm.rowBytes = rowBytes;
    pm.bounds = bounds;
    pm.pixelSize = 32;
    return pm;
}

// Every (source byte, destination byte) pair at every opacity, and the clamped ones.
TEST(HostBlend, EveryByteAndOpacityAsTheDivision) {
    std::vector<UInt8> src(65536), dst(65536);
    for (std::size_t i = 0; i < src.size(); ++i) {
        src[i] = UInt8(i >> 8);
        dst[i] = UInt8(i);
    }
    const Rect bounds{0, 0, 128, 128};  // 128 x 128 pixels of 4 bytes: all 65,536 pairs
    for (int opacity = -2; opacity <= 257; ++opacity) {
        std::vector<UInt8> got = dst, want = dst;
        PixMap s = MapOf(src, bounds, 512), g = MapOf(got, bounds, 512), w = MapOf(want, bounds, 512);
        ASSERT_EQ(host::HostSession::BlendPixMaps(s, g, bounds, bounds, SInt16(opacity)), kPluginOK);
        ReferenceBlend(s, w, bounds, bounds, SInt16(opacity));
        ASSERT_EQ(got, want) << "opacity " << opacity;
    }
}

// Rectangles moved, cut by either map, scaled, with padded rows and offset bounds.
TEST(HostBlend, RectanglesAsThePerPixelWalk) {
    struct Case {
        Rect srcBounds, dstBounds, srcRect, dstRect;
    } cases[] = {
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}},
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {2, 3, 9, 13}, {0, 0, 7, 10}},      // moved up and left
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}, {-3, -4, 6, 9}},     // partly off the destination
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {-2, -5, 7, 8}, {0, 0, 9, 13}},     // partly off the source
        {{0, 0, 9, 13}, {0, 0, 11, 20}, {0, 0, 9, 13}, {0, 0, 11, 20}},    // scaled up
        {{0, 0, 9, 13}, {0, 0, 5, 6}, {0, 0, 9, 13}, {0, 0, 5, 6}},        // scaled down
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 5, 13}},      // rows scaled only
        {{4, 7, 13, 20}, {-2, 3, 7, 16}, {5, 8, 12, 19}, {-1, 5, 6, 16}},  // bounds not at the origin
    };
    for (const Case& c : cases) {
        const int srcRow = (c.srcBounds.right - c.srcBounds.left) * 4 + 12;
        const int dstRow = (c.dstBounds.right - c.dstBounds.left) * 4 + 20;
        std::vector<UInt8> src(std::size_t(srcRow) * std::size_t(c.srcBounds.bottom - c.srcBounds.top));
        std::vector<UInt8> dst(std::size_t(dstRow) * std::size_t(c.dstBounds.bottom - c.dstBounds.top));
        for (std::size_t i = 0; i < src.size(); ++i) src[i] = UInt8(i * 37 + 11);
        for (std::size_t i = 0; i < dst.size(); ++i) dst[i] = UInt8(i * 101 + 3);
        for (SInt16 opacity : {0, 1, 128, 254, 255}) {
            std::vector<UInt8> got = dst, want = dst;
            PixMap s = MapOf(src, c.srcBounds, srcRow), g = MapOf(got, c.dstBounds, dstRow),
                   w = MapOf(want, c.dstBounds, dstRow);
            host::HostSession::BlendPixMaps(s, g, c.srcRect, c.dstRect, opacity);
            ReferenceBlend(s, w, c.srcRect, c.dstRect, opacity);
            EXPECT_EQ(got, want) << "case " << (&c - cases) << " opacity " << opacity;
        }
    }
}

}  // namespace
