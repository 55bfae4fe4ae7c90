// The editor's blend: every byte (alpha too) rounded as (s·a + d·(255 − a) + 127) / 255,
// the source scaled to the destination by nearest pixel and clipped to both maps, the
// same whether the rectangles are of one size (whole rows at once) or not.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "quickdraw/QDBlend.h"

namespace {

struct Map {
    Map(int w, int h, unsigned seed) : pixels(std::size_t(w) * h * 4) {
        std::mt19937 random(seed);
        for (auto& byte : pixels) byte = UInt8(random());
        map.baseAddr = reinterpret_cast<Ptr>(pixels.data());
        map.rowBytes = w * 4;
        map.bounds = Rect{0, 0, SInt16(h), SInt16(w)};
        map.pixelSize = 32;
    }
    std::vector<UInt8> pixels;
    PixMap map{};
};

// The blend pixel by pixel, straight from its definition.
std::vector<UInt8> Reference(const Map& src, Map dst, Rect s, Rect d, int a) {
    const int w = dst.map.bounds.right, h = dst.map.bounds.bottom, sw = src.map.bounds.right, sh = src.map.bounds.bottom;
    for (int y = std::max<int>(d.top, 0); y < std::min<int>(d.bottom, h); ++y)
        for (int x = std::max<int>(d.left, 0); x < std::min<int>(d.right, w); ++x) {
            int sx = s.left + (x - d.left) * (s.right - s.left) / (d.right - d.left);
            int sy = s.top + (y - d.top) * (s.bottom - s.top) / (d.bottom - d.top);
            if (sx < 0 || sy < 0 || sx >= sw || sy >= sh) continue;
            for (int c = 0; c < 4; ++c) {
                UInt8& out = dst.pixels[(std::size_t(y) * w + x) * 4 + c];
                out = UInt8((src.pixels[(std::size_t(sy) * sw + sx) * 4 + c] * a + out * (255 - a) + 127) / 255);
            }
        }
    return dst.pixels;
}

TEST(QDBlend, BlendsEveryByteOfTheCoveredPixelsScaledOrNot) {
    struct Case {
        Rect s, d;
        int opacity;
    };
    const Case cases[] = {
        {{0, 0, 23, 37}, {0, 0, 23, 37}, 127},    // the whole frame
        {{0, 0, 23, 37}, {0, 0, 23, 37}, 0},      // destination kept
        {{0, 0, 23, 37}, {0, 0, 23, 37}, 255},    // source copied
        {{3, 5, 13, 30}, {7, 1, 17, 26}, 200},    // moved, same size
        {{-4, -6, 10, 20}, {0, 0, 14, 26}, 90},   // partly outside the source
        {{10, 20, 30, 50}, {-5, -3, 15, 27}, 33}, // outside both at once
        {{0, 0, 23, 37}, {2, 3, 12, 20}, 64},     // scaled down
        {{0, 0, 5, 7}, {0, 0, 23, 37}, 180},      // scaled up
    };
    const Map src(37, 23, 1);
    for (const Case& c : cases) {
        Map dst(37, 23, 2);
        const auto want = Reference(src, dst, c.s, c.d, c.opacity);
        ASSERT_TRUE(toolbox::BlendPixMaps(src.map, dst.map, c.s, c.d, SInt16(c.opacity)));
        EXPECT_TRUE(dst.pixels == want) << c.d.top << "," << c.d.left << " opacity " << c.opacity;
    }
    Map dst(37, 23, 2);
    PixMap shallow = dst.map;
    shallow.pixelSize = 16;
    EXPECT_FALSE(toolbox::BlendPixMaps(src.map, shallow, cases[0].s, cases[0].d, 127));
    EXPECT_EQ(toolbox::BlendPixMaps(src.map, dst.map, cases[0].s, cases[0].d, 999), true);  // held to 255
    EXPECT_TRUE(dst.pixels == src.pixels);
}

}  // namespace
