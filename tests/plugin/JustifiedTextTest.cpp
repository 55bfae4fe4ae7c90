// Justified text in a box, the painted box behind it, flushing a window and moving it
// to a right edge.
#include <gtest/gtest.h>

#include <cstring>

#include "effect/CommonProcs.h"
#include "support/Toolbox.h"

namespace {

class JustifiedText : public ::testing::Test {
protected:
    void SetUp() override {
        world_ = testsupport::NewTextWorld(120, 40);
        const RGBColor red{0xFFFF, 0, 0};
        RGBForeColor(&red);
    }
    void TearDown() override { DisposeGWorld(world_); }
    // Green is 255 on the white background and lower wherever red ink or paint went.
    bool Inked(int x, int y) {
        PixMapHandle pm = GetGWorldPixMap(world_);
        return reinterpret_cast<const UInt8*>(GetPixBaseAddr(pm))[y * GetPixRowBytes(pm) + x * 4 + 2] != 0xFF;
    }
    toolbox::SaveGWorld saved_;
    GWorldPtr world_ = nullptr;
};

const Rect kBox{10, 20, 41, 101};  // 81 wide, 31 high
// Left edge of the text for a code: base - w / wDiv (wDiv 0: no share of the width).
struct Placement { SInt16 code; int base, wDiv; } const kPlacements[] = {
    {1, 21, 0}, {2, 60, 2}, {3, 100, 1}, {0, 21, 0}, {4, 21, 0}, {-1, 21, 0}};

TEST_F(JustifiedText, PlacesTheTextByCodeWithTruncatingBaseline) {
    // bottom + (-31) div 2 + size div 2 - trunc(height / 5), each div toward zero
    const struct { double height; int baseline; } heights[] = {{12.7, 30}, {20.5, 32}, {-3.5, 25}};
    for (const char* text : {"\0", "\x08" "Tonefade"})
        for (const Placement& p : kPlacements)
            for (const auto& h : heights) {
                const auto* s = reinterpret_cast<ConstStr255Param>(text);
                const int w = StringWidth(s), x = p.base - (p.wDiv ? w / p.wDiv : 0);
                DrawJustifiedTextInBox(kBox, p.code, h.height, s);
                Point pen;
                GetPen(&pen);  // drawing moves the pen from (x, baseline) by the width
                EXPECT_EQ(pen.h, x + w) << p.code << " " << h.height << " " << text + 1;
                EXPECT_EQ(pen.v, h.baseline) << p.code << " " << h.height;
            }
}

TEST_F(JustifiedText, DrawsTheInkAtItsPlace) {
    const auto* s = reinterpret_cast<ConstStr255Param>("\x08" "Tonefade");
    const int w = StringWidth(s);
    DrawJustifiedTextInBox(Rect{0, 0, 40, 120}, 3, 12.0, s);  // right: x = 119 - w
    int inkLeft = 120, inkRight = -1;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            if (Inked(x, y)) inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
    EXPECT_GE(inkLeft, 119 - w - 1);
    EXPECT_LE(inkRight, 119);
    EXPECT_GT(inkRight, inkLeft);
}

TEST_F(JustifiedText, PaintsTheBoxBehindTheText) {
    for (const char* text : {"\0", "\x08" "Tonefade"})
        for (const Placement& p : kPlacements) {
            Rect all{0, 0, 40, 120};
            EraseRect(&all);
            const auto* s = reinterpret_cast<ConstStr255Param>(text);
            const int w = StringWidth(s), x = p.base - (p.wDiv ? w / p.wDiv : 0);
            PaintJustifiedRect(kBox, p.code, s);
            // One pixel either side of the text; any other code paints the whole box.
            const bool known = p.code >= 1 && p.code <= 3;
            const int left = known ? x - 1 : kBox.left, right = known ? x + w + 1 : kBox.right;
            for (int y = 0; y < 40; ++y)
                for (int px = 0; px < 120; ++px) {
                    const bool in = y >= kBox.top && y < kBox.bottom && px >= left && px < right;
                    ASSERT_EQ(Inked(px, y), in) << p.code << " " << px << "," << y << " " << text + 1;
                }
        }
}

TEST(WindowEdges, FlushCoversThePortAndMovingKeepsTopAndSize) {
    Rect content{100, 30, 140, 90};
    WindowRef window = nullptr;
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &content, &window), noErr);
    static Rect flushed;
    static int flushes;
    flushes = 0;
    toolbox::SetPortFlushHook(
        GetWindowPort(window), [](CGrafPtr, const Rect& dirty, void*) { flushed = dirty, ++flushes; }, nullptr);
    FlushWindowBuffer(window);
    FlushWindowBuffer(nullptr);
    EXPECT_EQ(flushes, 1);
    const Rect portRect{0, 0, 40, 60};
    EXPECT_TRUE(EqualRect(&flushed, &portRect));

    for (SInt16 edge : {500, 50}) {
        MoveWindowToRightEdge(window, Rect{0, 0, 768, edge});
        Rect structure, now;
        GetWindowBounds(window, kWindowStructureRgn, &structure);
        GetWindowBounds(window, kWindowContentRgn, &now);
        EXPECT_EQ(structure.right, edge);
        const Rect want{100, SInt16(edge - 60), 140, edge};
        EXPECT_TRUE(EqualRect(&now, &want)) << now.top << " " << now.left << " " << now.bottom << " " << now.right;
    }
    MoveWindowToRightEdge(nullptr, Rect{0, 0, 768, 500});
    DisposeWindow(window);
}

}  // namespace
