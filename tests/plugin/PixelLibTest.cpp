// Pixel library: exact pixels on small worlds, squares over the edges, nil and unusable
// worlds, and the pixel state every world is left in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <vector>

#include "effect/PixelLib.h"

namespace {

bool Same(pixRec a, pixRec b) { return std::memcmp(&a, &b, 4) == 0; }
pixRec Pattern(int x, int y) { return pixRec{UInt8(x + 10 * y), UInt8(100 + x), UInt8(50 + y), UInt8(200 - x - y)}; }

// A 32-bit port over the middle of a larger buffer whose margin (0xA5) must stay untouched.
struct Port {
    int width, height, stride;
    std::vector<UInt8> buffer;
    GWorldPtr gw;
    Port(int w, int h, SInt16 originH = 0, SInt16 originV = 0, SInt32 flagBits = 0)
        : width(w), height(h), stride(4 * w + 16), buffer(std::size_t(stride) * (h + 2), 0xA5) {
        gw = toolbox::NewPortForPixels(Rect{originV, originH, SInt16(originV + h), SInt16(originH + w)},
                                       stride | flagBits, reinterpret_cast<Ptr>(&buffer[std::size_t(stride) + 8]));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) Set(x, y, Pattern(x, y));
    }
    ~Port() { toolbox::DisposePort(gw); }
    UInt8* At(int x, int y) { return &buffer[std::size_t(stride) * (y + 1) + 8 + 4 * x]; }
    pixRec Get(int x, int y) { pixRec p; std::memcpy(&p, At(x, y), 4); return p; }
    void Set(int x, int y, pixRec p) { std::memcpy(At(x, y), &p, 4); }
    void Fill(pixRec p) { for (int y = 0; y < height; ++y) for (int x = 0; x < width; ++x) Set(x, y, p); }
    bool GuardsIntact() {
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            int y = int(i / stride) - 1, x = int(i % stride) - 8;
            if ((y < 0 || y >= height || x < 0 || x >= 4 * width) && buffer[i] != 0xA5) return false;
        }
        return true;
    }
    // Pixels inside r are `inside`, all others still the pattern.
    void ExpectOnly(Rect r, pixRec inside) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                bool in = y >= r.top && y < r.bottom && x >= r.left && x < r.right;
                EXPECT_TRUE(Same(Get(x, y), in ? inside : Pattern(x, y))) << x << "," << y;
            }
        EXPECT_TRUE(GuardsIntact());
    }
};

const RGBColor kColour{0x12FF, 0x80AB, 0xFFFF};  // high bytes 18, 128, 255

TEST(PixelLibDepth, SizesAndWorldDepths) {
    for (auto [depth, size] : {std::pair{8, 1}, {16, 2}, {24, 4}, {32, 4}, {1, 4}, {0, 4}})
        EXPECT_EQ(Depth2Size(SInt16(depth)), size) << depth;
    for (short depth : {8, 16, 32}) {
        Rect r{0, 0, 2, 2};
        GWorldPtr gw = nullptr;
        ASSERT_EQ(NewGWorld(&gw, depth, &r, nullptr, nullptr, 0), noErr);
        EXPECT_EQ(GetGWDepth(gw), depth);
        DisposeGWorld(gw);
    }
    EXPECT_EQ(GetGWDepth(nullptr), 0);
}

TEST(PixelLibAddress, SinglePixelsAndDepthsOfTheWriter) {
    const pixRec px{7, 255, 128, 8};
    struct Case { SInt16 depth; int offset; std::vector<UInt8> bytes; } cases[] = {
        {8, 20 + 2, {255}},
        {16, 20 + 4, {0x01, 0x7E}},  // 31 * 1024 + 16 * 32 + 1, little-endian
        {24, 20 + 6, {255, 128, 8}},  // three bytes a pixel, where Depth2Size says 4
        {32, 20 + 8, {7, 255, 128, 8}},
        {12, 20 + 8, {7, 255, 128, 8}},
    };
    for (const Case& c : cases) {
        std::vector<UInt8> buf(64, 0xEE), want(64, 0xEE);
        Put32BitPixelInPixMap(px, reinterpret_cast<Ptr>(buf.data()), 2, 1, 20, c.depth);
        std::copy(c.bytes.begin(), c.bytes.end(), want.begin() + c.offset);
        EXPECT_EQ(buf, want) << c.depth;
    }
    std::vector<UInt8> buf(64, 0);
    pixRec in{1, 2, 3, 4}, out{};
    PSetPixel(reinterpret_cast<Ptr>(buf.data()), 20, 3, 2, &in);
    EXPECT_EQ(buf[52], 1);
    EXPECT_EQ(buf[55], 4);
    PGetPixel(reinterpret_cast<Ptr>(buf.data()), 20, 3, 2, &out);
    EXPECT_TRUE(Same(in, out));
    RGBColor rgb;
    SInt16 alpha;
    Pixel2RGBA(pixRec{200, 255, 128, 1}, &rgb, &alpha);
    EXPECT_EQ(rgb.red, 65280);
    EXPECT_EQ(rgb.green, 32768);
    EXPECT_EQ(rgb.blue, 256);
    EXPECT_EQ(alpha, 200);
}

TEST(PixelLibFill, ActiveRectIsCountedFromTheTopLeftPixelAndClipped) {
    Port p(4, 3, 20, 10);
    SetPixMapPixels(p.gw, Rect{1, -5, 9, 2}, 1, 2, 3);
    p.ExpectOnly(Rect{1, 0, 3, 2}, pixRec{0, 1, 2, 3});
}

TEST(PixelLibSquares, AlphaBlendTruncatesEachTermAndWrapsTheSum) {
    struct Case { double alpha; pixRec want; } cases[] = {
        {0.0, {9, 200, 100, 50}},  {1.0, {9, 18, 128, 255}},
        {0.25, {9, 154, 107, 100}},  // 150 + 4, 75 + 32, 37 + 63
        {2.0, {9, 92, 156, 204}},    // -200 + 36, -100 + 256, -50 + 510, as bytes
    };
    for (const Case& c : cases) {
        Port p(3, 3);
        p.Fill(pixRec{9, 200, 100, 50});
        PSetGWPixelUsingAlpha(p.gw, 1, 1, c.alpha, kColour, 5);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_TRUE(Same(p.Get(x, y), x && y ? c.want : pixRec{9, 200, 100, 50})) << c.alpha;
        EXPECT_TRUE(p.GuardsIntact());
    }
}

TEST(PixelLibSquares, FillAndPlotStayInsideTheWorld) {
    struct Case { std::function<void(GWorldPtr)> call; Rect painted; pixRec pixel; } cases[] = {
        {[](GWorldPtr g) { PSetGWPixelAndAlpha(g, 2, 1, kColour, 0x1234, 9); }, {1, 2, 3, 4}, {0x34, 18, 128, 255}},
        {[](GWorldPtr g) { PSetGWPixelAndAlpha(g, 4, 0, kColour, 1, 9); }, {0, 0, 0, 0}, {}},
        {[](GWorldPtr g) { PSetGWPixelAndAlpha(g, 0, -1, kColour, 1, 9); }, {0, 0, 0, 0}, {}},
        {[](GWorldPtr g) { PPlotPixel(g, 0, 0, 1, true, true, pixRec{1, 2, 3, 4}); }, {0, 0, 2, 2}, {1, 2, 3, 4}},
        {[](GWorldPtr g) { PPlotPixel(g, 3, 1, 0, false, false, pixRec{1, 2, 3, 4}); }, {1, 3, 2, 4}, {1, 2, 3, 4}},
        {[](GWorldPtr g) { PPlotPixel(g, 2, 1, 7, false, false, pixRec{5, 6, 7, 8}); }, {0, 0, 3, 4}, {5, 6, 7, 8}},
        {[](GWorldPtr g) { PPlotPixel(g, -1, 1, 3, false, false, pixRec{5, 6, 7, 8}); }, {0, 0, 0, 0}, {}},
        {[](GWorldPtr g) { PPlotPixel(g, 1, 1, -1, false, false, pixRec{5, 6, 7, 8}); }, {0, 0, 0, 0}, {}},
    };
    for (const Case& c : cases) {
        Port p(4, 3, -7, 3);  // bounds away from (0,0): coordinates count from the top-left pixel
        c.call(p.gw);
        p.ExpectOnly(c.painted, c.pixel);
    }
}

TEST(PixelLibCombine, AlphaPicksTheSourcesAndTruncates) {
    struct Case { SInt16 alpha; bool invert; pixRec want; } cases[] = {
        {255, false, {7, 200, 100, 3}}, {0, false, {7, 0, 51, 254}}, {255, true, {7, 0, 51, 254}},
        {128, false, {7, 100, 75, 128}},  // 100.39, 75.6, 128.01
    };
    for (const Case& c : cases) {
        Port s1(3, 3), s2(3, 3), t(3, 3);
        s1.Fill(pixRec{7, 200, 100, 3});
        s2.Fill(pixRec{9, 0, 51, 254});
        PCombineGWAndPutUsingAlpha(s1.gw, s2.gw, t.gw, 1, 1, 0, 1, c.alpha, c.invert, 3);
        t.ExpectOnly(Rect{1, 0, 3, 2}, c.want);
    }
}

TEST(PixelLibCombine, SquareRunsBackwardsOverlapsAndDepths) {
    Port p(4, 1);  // one world as both sources and target: the last column is written first
    PCombineGWAndPutUsingAlpha(p.gw, p.gw, p.gw, 0, 0, 1, 0, 255, false, 3);
    for (int x = 0; x < 4; ++x) EXPECT_TRUE(Same(p.Get(x, 0), Pattern(x == 0 ? 0 : x - 1, 0))) << x;
    Port big(3, 3), small(2, 2), t(3, 3);  // only pixels the smaller source holds are read
    small.Fill(pixRec{9, 1, 2, 3});
    PCombineGWAndPutUsingAlpha(big.gw, small.gw, t.gw, 0, 0, 0, 0, 0, false, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) {
            const pixRec want = x < 2 && y < 2 ? pixRec{big.Get(x, y).alpha, 1, 2, 3} : Pattern(x, y);
            EXPECT_TRUE(Same(t.Get(x, y), want)) << x << "," << y;
        }
    Rect r{0, 0, 1, 3};
    GWorldPtr deep = nullptr;
    ASSERT_EQ(NewGWorld(&deep, 16, &r, nullptr, nullptr, 0), noErr);
    Port src(3, 1);
    src.Set(1, 0, pixRec{7, 255, 128, 8});
    PCombineGWAndPutUsingAlpha(src.gw, src.gw, deep, 1, 0, 2, 0, 255, false, 1);
    const auto* bytes = reinterpret_cast<const UInt16*>(GetPixBaseAddr(GetGWorldPixMap(deep)));
    EXPECT_EQ(bytes[2], 31 * 1024 + 16 * 32 + 1);
    EXPECT_EQ(bytes[0] | bytes[1], 0);
    DisposeGWorld(deep);
}

TEST(PixelLibSmudge, AveragesWhatLiesInsideWithExactTruncation) {
    Port a(3, 3), b(3, 3), one(1, 1);
    one.Fill(pixRec{0, 255, 255, 255});
    const pixRec sentinel{1, 1, 1, 1};
    struct Case { GWorldPtr second; SInt16 radius, x, y; bool alpha2; pixRec want; } cases[] = {
        {nullptr, 0, 1, 2, false, {0xFF, 101, 52, 197}},  // the pixel itself
        {nullptr, 1, 0, 0, false, {0xFF, 100, 50, 199}},  // 402 / 4, 202 / 4, 796 / 4 at the corner
        {nullptr, 1, 2, 2, false, {0xFF, 101, 51, 197}},  // 406 / 4, 206 / 4, 788 / 4 at the far corner
        {b.gw, 1, 0, 0, false, {0xFF, 100, 30, 227}},     // b adds 4 x (100, 10, 255): 802 / 8, 242 / 8, 1816 / 8
        {b.gw, 1, 0, 0, true, {0xFF, 100, 43, 208}},      // b weighted 0.2: 482 / 4.8, 210 / 4.8, 1000 / 4.8
        {one.gw, 1, 0, 0, false, {0xFF, 131, 91, 210}},   // a smaller b adds one pixel: 657 / 5 ...
        {nullptr, 1, 3, 0, false, sentinel},              // outside: nothing
        {nullptr, -1, 1, 1, false, sentinel},             // negative radius: nothing averaged
    };
    b.Fill(pixRec{51, 100, 10, 255});
    for (const Case& c : cases) {
        pixRec result = sentinel;
        PSmudgePixel(a.gw, c.second, c.radius, c.x, c.y, c.alpha2, 0x2FF, &result);
        EXPECT_TRUE(Same(result, c.want)) << int(result.red) << " " << int(result.green) << " " << int(result.blue);
    }
}

TEST(PixelLibRotate, QuarterTurnAndNoTurn) {
    Port src(6, 2), dst(6, 2);
    dst.Fill(pixRec{});
    RotatePixmap(src.gw, dst.gw, Rect{0, 1, 2, 5}, 0.0);
    const int fromColumn[6] = {1, 2, 3, 4, 4, -1};  // each pixel lands on its place and one left of it
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_TRUE(Same(dst.Get(x, y), fromColumn[x] < 0 ? pixRec{} : Pattern(fromColumn[x], y))) << x;

    Port s(5, 5), t(5, 5);
    t.Fill(pixRec{});
    RotatePixmap(s.gw, t.gw, Rect{1, 1, 4, 4}, std::numbers::pi / 2);
    // cos(pi/2) is 6.1e-17, not 0: 1 - 6.1e-17 truncates to 0, so the turn is uneven.
    const int from[5][5][2] = {{{-1}, {-1}, {-1}, {-1}, {-1}},
                               {{-1}, {1, 2}, {1, 2}, {-1}, {-1}},
                               {{2, 3}, {2, 3}, {2, 2}, {3, 1}, {-1}},
                               {{-1}, {3, 3}, {3, 3}, {-1}, {-1}},
                               {{-1}, {-1}, {-1}, {-1}, {-1}}};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            const int* f = from[y][x];
            EXPECT_TRUE(Same(t.Get(x, y), f[0] < 0 ? pixRec{} : Pattern(f[0], f[1]))) << x << "," << y;
        }
    EXPECT_TRUE(t.GuardsIntact());
}

TEST(PixelLibEdges, NothingOutsideTheWorldIsWrittenAndBadWorldsAreLeftAlone) {
    Port p(4, 3);
    PCombineGWAndPutUsingAlpha(p.gw, p.gw, p.gw, 0, 0, 2, 1, 0, false, 4);
    PCombineGWAndPutUsingAlpha(p.gw, p.gw, p.gw, 1, 1, -2, -1, 0, false, 9);
    PSetGWPixelUsingAlpha(p.gw, 3, 2, 0.5, kColour, 30);
    RotatePixmap(p.gw, p.gw, Rect{-9, -9, 20, 20}, 0.7);
    SetPixMapPixels(p.gw, Rect{-9, -9, 20, 20}, 1, 2, 3);
    EXPECT_TRUE(p.GuardsIntact());

    Port flagged(4, 3, 0, 0, 0x8000 | 0x4000);  // stride bits above the low 14 are ignored
    PPlotPixel(flagged.gw, 1, 1, 0, false, false, pixRec{1, 2, 3, 4});
    flagged.ExpectOnly(Rect{1, 1, 2, 2}, pixRec{1, 2, 3, 4});

    // A 16-bit world, and one so wide that its masked stride cannot hold a row: untouched.
    for (auto [depth, width] : {std::pair<short, short>{16, 4}, {32, 4100}}) {
        Rect r{0, 0, 2, width};
        GWorldPtr gw = nullptr;
        ASSERT_EQ(NewGWorld(&gw, depth, &r, nullptr, nullptr, 0), noErr);
        PPlotPixel(gw, 1, 1, 1, false, false, pixRec{1, 2, 3, 4});
        PSetGWPixelAndAlpha(gw, 0, 0, kColour, 1, 3);
        const UInt8* base = reinterpret_cast<const UInt8*>(GetPixBaseAddr(GetGWorldPixMap(gw)));
        std::vector<UInt8> bytes(base, base + 2 * GetPixRowBytes(GetGWorldPixMap(gw)));
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), long(bytes.size())) << depth;
        DisposeGWorld(gw);
    }

    pixRec result{1, 1, 1, 1};
    PSmudgePixel(nullptr, p.gw, 1, 0, 0, false, 0, &result);
    EXPECT_TRUE(Same(result, pixRec{1, 1, 1, 1}));
    Port before(4, 3);
    for (GWorldPtr a : {GWorldPtr(nullptr), before.gw})
        for (GWorldPtr b : {GWorldPtr(nullptr), before.gw})
            if (!a || !b) {
                PCombineGWAndPutUsingAlpha(a, b, before.gw, 0, 0, 0, 0, 255, false, 3);
                PCombineGWAndPutUsingAlpha(before.gw, a, b, 0, 0, 0, 0, 255, false, 3);
                RotatePixmap(a, b, Rect{0, 0, 3, 4}, 1.0);
            }
    SetPixMapPixels(nullptr, Rect{0, 0, 3, 4}, 1, 2, 3);
    PSetGWPixelUsingAlpha(nullptr, 0, 0, 1.0, kColour, 2);
    PSetGWPixelAndAlpha(nullptr, 0, 0, kColour, 1, 2);
    PPlotPixel(nullptr, 0, 0, 2, false, false, pixRec{});
    before.ExpectOnly(Rect{0, 0, 0, 0}, pixRec{});
}

TEST(PixelLibLocking, EveryWorldEndsInTheStateItHadOnEntry) {
    Port a(4, 3), b(4, 3);
    pixRec out{};
    const std::function<void()> calls[] = {
        [&] { SetPixMapPixels(a.gw, Rect{0, 0, 2, 2}, 1, 2, 3); },
        [&] { PSetGWPixelUsingAlpha(a.gw, 1, 1, 0.5, kColour, 2); },
        [&] { PSetGWPixelAndAlpha(a.gw, 9, 1, kColour, 1, 2); },  // anchor outside, still given back
        [&] { PCombineGWAndPutUsingAlpha(a.gw, b.gw, a.gw, 0, 0, 1, 1, 9, true, 2); },
        [&] { PCombineGWAndPutUsingAlpha(a.gw, a.gw, a.gw, 0, 0, 1, 1, 9, false, 2); },
        [&] { PSmudgePixel(a.gw, a.gw, 1, 1, 1, true, 3, &out); },
        [&] { PSmudgePixel(a.gw, nullptr, 1, 1, 1, false, 3, &out); },
        [&] { PPlotPixel(a.gw, 1, 1, 1, false, false, out); },
        [&] { RotatePixmap(a.gw, a.gw, Rect{0, 0, 3, 4}, 0.3); },
        [&] { RotatePixmap(b.gw, a.gw, Rect{0, 0, 3, 4}, 0.3); },
    };
    for (GWorldFlags state : {GWorldFlags(0), GWorldFlags(pixelsLocked), GWorldFlags(pixelsLocked | pixelsPurgeable),
                              GWorldFlags(pixelsPurgeable)})
        for (std::size_t i = 0; i < std::size(calls); ++i) {
            SetPixelsState(GetGWorldPixMap(a.gw), state);
            SetPixelsState(GetGWorldPixMap(b.gw), state ^ pixelsLocked);
            calls[i]();
            EXPECT_EQ(GetPixelsState(GetGWorldPixMap(a.gw)), state) << i;
            EXPECT_EQ(GetPixelsState(GetGWorldPixMap(b.gw)), state ^ pixelsLocked) << i;
        }
}

}  // namespace
