// Rectangle, colour and relative-rectangle arithmetic, with the exact truncations.
#include <cmath>
#include <limits>

#include "effect/CommonProcs.h"
#include "effect/RelRects.h"
#include "support/Toolbox.h"

namespace {

TEST(Geometry, KeepProportions) {
    struct Case {
        bool fixedHorizontal;
        Rect original, newSize;
        Rect expected;
    } cases[] = {
        {true, {0, 0, 480, 720}, {0, 0, 100, 100}, {0, 0, 67, 100}},      // 66.67 + 0.5 truncated
        {false, {0, 0, 480, 720}, {10, 10, 110, 50}, {10, 10, 110, 160}},  // 100 × 1.5
        {true, {0, 0, 480, 720}, {0, 0, 10, -4}, {0, 0, -2, -4}},         // -2.67 + 0.5 → -2
        {true, {0, 0, 480, 0}, {1, 2, 3, 4}, {1, 2, 3, 4}},               // zero width: unchanged
        {false, {0, 0, 0, 720}, {1, 2, 3, 4}, {1, 2, 3, 4}},              // zero height: unchanged
        {true, {0, 0, 0, 720}, {5, 0, 9, 100}, {5, 0, 5, 100}},           // flat original: height 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.fixedHorizontal ? KeepPropsWithFixedHorizontal(c.original, c.newSize)
                                    : KeepPropsWithFixedVertical(c.original, c.newSize), c.expected);
    }
}

TEST(Geometry, ProportionalFitCentringAndOrdering) {
    EXPECT_EQ(CalcProportionalRectForFrame(Rect{0, 0, 480, 720}, Rect{0, 0, 240, 320}), (Rect{0, 0, 240, 360}));
    EXPECT_EQ(CalcProportionalRectForFrame(Rect{0, 0, 480, 720}, Rect{0, 0, 320, 240}), (Rect{0, 0, 160, 240}));
    Rect r{50, 80, 10, 20}, box{0, 0, 10, 20};
    VerifyRect(&r);
    EXPECT_EQ(r, (Rect{10, 20, 50, 80}));
    CenterRectInRect(&box, Rect{100, 100, 201, 301});
    EXPECT_EQ(box, (Rect{145, 190, 155, 210}));
    SInt32 wid, hig;
    GetDims(Rect{-5, 10, 20, 4}, &wid, &hig);
    EXPECT_EQ(std::make_pair(wid, hig), std::make_pair(-6, 25));
}

TEST(Geometry, PackedColours) {
    EXPECT_EQ(RGBColor2LongInt(RGBColor{65535, 32768, 255}), 255 * 65536 + 128 * 256);
    EXPECT_EQ(LongInt2RGBColor(255 * 65536 + 128 * 256), (RGBColor{65280, 32768, 0}));
    EXPECT_EQ(PixRec2LongInt(pixRec{1, 2, 3, 4}), 0x01020304);
    for (SInt32 v : {0, 0x01020304, -1, int(0x80FF00AA), 0x7FFFFFFF}) EXPECT_EQ(PixRec2LongInt(LongInt2PixRec(v)), v);
}

TEST(Geometry, TruncationToSixteenBitsIsDefinedForEveryDouble) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double in;
        SInt16 out;
    } cases[] = {{2.9, 2},          {-2.9, -2},       {32767.9, 32767}, {32768.0, -32768}, {65536.0 + 5, 5},
                 {-65536.0 - 5, -5}, {1e300, 0},      {-1e300, 0},      {inf, 0},          {-inf, 0},
                 {std::nan(""), 0}, {9.3e18, 0},      {70000.5, 4464}};
    for (const Case& c : cases) EXPECT_EQ(TruncToSInt16(c.in), c.out) << c.in;
}

TEST(RelRects, ConversionsTruncateAndWrap) {
    relRect whole;
    InitRelRect(&whole);
    EXPECT_EQ(Rel2Rect(whole, Rect{10, 20, 250, 340}), (Rect{10, 20, 250, 340}));
    EXPECT_EQ(Rel2Rect(relRect{0.25, 0.75, 0.1, 0.9}, Rect{10, 20, 250, 340}), (Rect{34, 100, 226, 260}));
    EXPECT_EQ(Rel2Rect(relRect{0.999, 0.999, 0, 0}, Rect{0, 0, 100, 100}), (Rect{0, 99, 0, 99}));
    EXPECT_EQ(Rel2Rect(relRect{-0.0249, 1, 0, 1}, Rect{0, 0, 10, 200}), (Rect{0, -4, 10, 200}));
    // Far outside 0..1, NaN and infinity: defined results, never an undefined conversion.
    EXPECT_EQ(Rel2Rect(relRect{1000.0, std::nan(""), 1e30, -INFINITY}, Rect{0, 0, 100, 100}), (Rect{0, -31072, 0, 0}));

    relRect rel = Rect2Rel(Rect{0, 13, 50, 100}, Rect{0, 0, 100, 180});
    EXPECT_EQ(rel.left, 13.0 / 180.0);
    EXPECT_EQ(Rel2Rect(rel, Rect{0, 0, 100, 180}).left, 12);  // comes back one pixel smaller
    for (int x = 0; x <= 320; ++x)
        EXPECT_EQ(Rel2Rect(Rect2Rel(Rect{0, SInt16(x), 1, SInt16(x)}, Rect{0, 0, 1, 320}), Rect{0, 0, 1, 320}).left, x);
    relRect outside = Rect2Rel(Rect{-10, -20, 120, 220}, Rect{0, 0, 100, 200});
    EXPECT_TRUE(outside.left < 0.0 && outside.bottom > 1.0);
    relRect moved = Rect2Rel(Rect{20, 30, 70, 130}, Rect{10, 20, 110, 220});
    EXPECT_DOUBLE_EQ(moved.left, 0.05);
    EXPECT_DOUBLE_EQ(moved.top, 0.1);
    const Point pt = Rel2Point(relPoint{0.5, 0.25}, Rect{10, 20, 110, 220});
    EXPECT_EQ(pt, (Point{35, 120}));
    const relPoint back = Point2Rel(pt, Rect{10, 20, 110, 220});
    EXPECT_EQ(std::make_pair(back.horiz, back.vert), std::make_pair(0.5, 0.25));
}

}  // namespace
