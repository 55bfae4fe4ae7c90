// Ovals: PaintOval's set and FrameOval's outline at every size up to 40 by 40, each
// width with each height, against the outline's definition, and a few exact pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Carbon.h"

namespace {

// Which pixels of a w x h rectangle a call set, drawn into a white world with a margin
// that must stay white. Frames are drawn in XOR mode, so a pixel plotted twice shows.
struct Shape {
    int w, h;
    std::vector<bool> on;
    bool Has(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && on[std::size_t(y * w + x)]; }
    std::string Picture() const {
        std::string s;
        for (int y = 0; y < h; ++y, s += '\n')
            for (int x = 0; x < w; ++x) s += Has(x, y) ? '#' : '.';
        return s;
    }
};

constexpr int kMargin = 3;

Shape Draw(int w, int h, void (*draw)(const Rect*), short mode, short penW = 1, short penH = 1) {
    GWorldPtr gw = nullptr;
    Rect bounds{0, 0, SInt16(h + 2 * kMargin), SInt16(w + 2 * kMargin)};
    EXPECT_EQ(NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0), noErr);
    Shape shape{w, h, std::vector<bool>(std::size_t(w * h))};
    {
        toolbox::SaveGWorld saved;
        SetGWorld(gw, nullptr);
        const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF}, black{0, 0, 0};
        RGBForeColor(&white);
        PaintRect(&bounds);
        RGBForeColor(&black);
        PenMode(mode);
        PenSize(penW, penH);
        Rect r{kMargin, kMargin, SInt16(kMargin + h), SInt16(kMargin + w)};
        draw(&r);
        PenNormal();
    }
    PixMapHandle pm = GetGWorldPixMap(gw);
    for (int y = 0; y < bounds.bottom; ++y)
        for (int x = 0; x < bounds.right; ++x) {
            const UInt8* p = reinterpret_cast<UInt8*>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + x * 4;
            const bool black = p[1] == 0 && p[2] == 0 && p[3] == 0, white = p[1] == 255 && p[2] == 255 && p[3] == 255;
            EXPECT_TRUE(black || white) << "a pixel set twice or half: " << x << "," << y;
            const int ix = x - kMargin, iy = y - kMargin;
            if (ix < 0 || iy < 0 || ix >= w || iy >= h)
                EXPECT_TRUE(white) << "drawn outside the rectangle at " << x << "," << y;
            else
                shape.on[std::size_t(iy * w + ix)] = black;
        }
    DisposeGWorld(gw);
    return shape;
}

// The outline by definition: the pixels of the set that a pen moved inside the set
// cannot reach from inside, that is, with a pixel outside the set fewer than penW steps
// away along the row or fewer than penH along the column.
Shape OutlineOf(const Shape& set, int penW, int penH) {
    Shape outline{set.w, set.h, std::vector<bool>(set.on.size())};
    for (int y = 0; y < set.h; ++y)
        for (int x = 0; x < set.w; ++x) {
            if (!set.Has(x, y)) continue;
            bool edge = false;
            for (int d = 1; d <= penW; ++d) edge |= !set.Has(x - d, y) || !set.Has(x + d, y);
            for (int d = 1; d <= penH; ++d) edge |= !set.Has(x, y - d) || !set.Has(x, y + d);
            outline.on[std::size_t(y * set.w + x)] = edge;
        }
    return outline;
}

bool Symmetric(const Shape& s) {
    for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x)
            if (s.Has(x, y) != s.Has(s.w - 1 - x, y) || s.Has(x, y) != s.Has(x, s.h - 1 - y)) return false;
    return true;
}

// Every row and every column holds one run, and the set reaches all four sides.
bool OneRunPerLineTouchingEverySide(const Shape& s) {
    auto runs = [&](int n, int len, auto at) {
        for (int i = 0; i < n; ++i) {
            int count = 0;
            for (int j = 0; j < len; ++j) count += at(i, j) && !(j > 0 && at(i, j - 1));
            if (count != 1) return false;
        }
        return true;
    };
    return runs(s.h, s.w, [&](int y, int x) { return s.Has(x, y); }) &&
           runs(s.w, s.h, [&](int x, int y) { return s.Has(x, y); });
}

int EightConnectedPieces(const Shape& s) {
    std::vector<bool> seen(s.on.size());
    int pieces = 0;
    for (int start = 0; start < s.w * s.h; ++start) {
        if (!s.on[std::size_t(start)] || seen[std::size_t(start)]) continue;
        ++pieces;
        std::vector<int> todo{start};
        seen[std::size_t(start)] = true;
        while (!todo.empty()) {
            const int p = todo.back(), x = p % s.w, y = p / s.w;
            todo.pop_back();
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (s.Has(x + dx, y + dy) && !seen[std::size_t((y + dy) * s.w + x + dx)]) {
                        seen[std::size_t((y + dy) * s.w + x + dx)] = true;
                        todo.push_back((y + dy) * s.w + x + dx);
                    }
        }
    }
    return pieces;
}

TEST(Oval, EverySizeUpTo40By40IsSymmetricAndItsOutlineIsTheClosedEdgeOfThePaintedSet) {
    int checked = 0;
    for (int w = 1; w <= 40; ++w)
        for (int h = 1; h <= 40; ++h) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
            const Shape painted = Draw(w, h, PaintOval, patCopy), framed = Draw(w, h, FrameOval, patXor);
            ASSERT_TRUE(Symmetric(painted)) << painted.Picture();
            ASSERT_TRUE(OneRunPerLineTouchingEverySide(painted)) << painted.Picture();
            ASSERT_EQ(framed.Picture(), OutlineOf(painted, 1, 1).Picture()) << "painted:\n" << painted.Picture();
            ASSERT_EQ(EightConnectedPieces(framed), 1) << framed.Picture();
            ++checked;
        }
    EXPECT_EQ(checked, 1600);
}

TEST(Oval, WiderPensFrameInwardsAndModesApply) {
    struct Case {
        int w, h;
        short penW, penH;
    } cases[] = {{12, 12, 2, 2}, {20, 9, 3, 1}, {9, 20, 1, 3}, {5, 5, 4, 4}, {40, 3, 2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " x " + std::to_string(c.h) + " pen " + std::to_string(c.penW));
        const Shape painted = Draw(c.w, c.h, PaintOval, patCopy);
        const std::string outline = OutlineOf(painted, c.penW, c.penH).Picture();
        EXPECT_EQ(Draw(c.w, c.h, FrameOval, patXor, c.penW, c.penH).Picture(), outline);
        EXPECT_EQ(Draw(c.w, c.h, FrameOval, srcOr, c.penW, c.penH).Picture(), outline);
    }
}

TEST(Oval, ExactPicturesOfTheHandleRingsAndSmallOvals) {
    struct Case {
        int w, h;
        void (*draw)(const Rect*);
        const char* picture;
    } cases[] = {
        {1, 1, FrameOval, "#\n"},
        {3, 2, FrameOval, "###\n###\n"},
        {5, 5, PaintOval, ".###.\n#####\n#####\n#####\n.###.\n"},
        {5, 5, FrameOval, ".###.\n#...#\n#...#\n#...#\n.###.\n"},
        {12, 12, FrameOval,
         "....####....\n"
         "..##....##..\n"
         ".#........#.\n"
         ".#........#.\n"
         "#..........#\n"
         "#..........#\n"
         "#..........#\n"
         "#..........#\n"
         ".#........#.\n"
         ".#........#.\n"
         "..##....##..\n"
         "....####....\n"},
        {10, 4, FrameOval, "..######..\n##......##\n##......##\n..######..\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Draw(c.w, c.h, c.draw, patCopy).Picture(), c.picture) << c.w << " x " << c.h;
}

TEST(Oval, ClippedAndEmptyOvalsDrawOnlyInside) {
    const Shape whole = Draw(8, 8, FrameOval, patCopy);
    GWorldPtr gw = nullptr;
    Rect bounds{0, 0, 4, 4};
    ASSERT_EQ(NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0), noErr);
    const UInt8* base = reinterpret_cast<UInt8*>(GetPixBaseAddr(GetGWorldPixMap(gw)));
    const SInt32 rowBytes = GetPixRowBytes(GetGWorldPixMap(gw));
    auto drawn = [&](int x, int y) { return base[y * rowBytes + x * 4] == 0xFF; };  // alpha of a drawn pixel
    {
        toolbox::SaveGWorld saved;
        SetGWorld(gw, nullptr);
        Rect empty{2, 2, 2, 9}, inverted{3, 3, 1, 1}, huge{-32000, -32000, 32000, 32000};
        for (Rect* r : {&empty, &inverted, &huge}) {
            PaintOval(r == &huge ? &empty : r);
            FrameOval(r);  // the huge one's outline lies far outside the world
        }
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) EXPECT_FALSE(drawn(x, y)) << x << "," << y;
        Rect hanging{-2, -2, 6, 6};
        FrameOval(&hanging);
    }
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(drawn(x, y), whole.Has(x + 2, y + 2)) << x << "," << y;
    DisposeGWorld(gw);
}

}  // namespace
