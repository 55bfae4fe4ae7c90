// Offscreen worlds, the lock protocol, CopyBits and drawing, on tiny worlds with exact bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/Toolbox.h"

namespace {

struct World {
    GWorldPtr gw = nullptr;
    World(int w, int h, int left = 0, int top = 0) {
        Rect r{SInt16(top), SInt16(left), SInt16(top + h), SInt16(left + w)};
        EXPECT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    }
    ~World() { DisposeGWorld(gw); }
    PixMapHandle pm() const { return GetGWorldPixMap(gw); }
    UInt8* pixel(int x, int y) const {
        return reinterpret_cast<UInt8*>(GetPixBaseAddr(pm())) + std::ptrdiff_t(y) * GetPixRowBytes(pm()) + x * 4;
    }
    std::vector<UInt8> bytes(int x, int y) const { return {pixel(x, y), pixel(x, y) + 4}; }
};

TEST(QuickDraw, NewGWorldPadsRowsAndFailsCleanly) {
    struct Case {
        int width;
        SInt32 rowBytes;
    } cases[] = {{1, 16}, {4, 16}, {5, 32}, {720, 2880}, {721, 2896}, {0, 0}};
    for (const Case& c : cases) {
        World w(c.width, 3);
        EXPECT_EQ(GetPixRowBytes(w.pm()), c.rowBytes) << c.width;
        EXPECT_EQ(GetPixDepth(w.pm()), 32);
        EXPECT_EQ(GetPixelsState(w.pm()), 0u);
    }
    GWorldPtr gw = reinterpret_cast<GWorldPtr>(1);
    Rect huge{0, 0, 32767, 32767};
    EXPECT_EQ(NewGWorld(&gw, 32, &huge, nullptr, nullptr, 0), memFullErr);
    EXPECT_EQ(gw, nullptr);
    Rect small{0, 0, 2, 2};
    toolbox::ArmFault(toolbox::FaultSite::GWorld, 1);
    EXPECT_EQ(NewGWorld(&gw, 32, &small, nullptr, nullptr, 0), memFullErr);
    EXPECT_EQ(QDError(), memFullErr);
    Rect inverted{5, 5, 2, 2};
    EXPECT_EQ(NewGWorld(&gw, 32, &inverted, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(NewGWorld(&gw, 24, &small, nullptr, nullptr, 0), paramErr);
}

// Disposing twice or disposing the current world is safe; the lock protocol; the guards
// give back the pixel state and the port.
TEST(QuickDraw, PixelStateProtocolAndPortGuardAndDisposingTheCurrentWorld) {
    const long live = toolbox::LiveGWorldCount();
    toolbox::SaveGWorld savedPort;
    GWorldPtr gw = nullptr;
    Rect r{0, 0, 2, 2};
    ASSERT_EQ(NewGWorld(&gw, 32, &r, nullptr, nullptr, 0), noErr);
    SetGWorld(gw, nullptr);
    EXPECT_EQ(GetGDevice(), GetGWorldDevice(gw));
    DisposeGWorld(gw);
    DisposeGWorld(gw);
    CGrafPtr port;
    GetPort(&port);
    EXPECT_NE(port, gw);
    EXPECT_EQ(toolbox::LiveGWorldCount(), live);
    World a(2, 2), b(2, 2);
    EXPECT_TRUE(LockPixels(a.pm()));
    EXPECT_EQ(GetPixelsState(a.pm()), GWorldFlags(pixelsLocked));
    {
        toolbox::SavePixelsState saved(b.pm());
        LockPixels(b.pm());
        toolbox::SaveGWorld port;
        SetGWorld(b.gw, nullptr);
    }
    EXPECT_EQ(GetPixelsState(b.pm()), 0u);
    UnlockPixels(a.pm());
    EXPECT_EQ(GetPixelsState(a.pm()), 0u);
    CGrafPtr current;
    GetPort(&current);
    EXPECT_NE(current, b.gw);
}

TEST(QuickDraw, CopyBitsCopiesScalesAndClips) {
    World src(4, 2), dst(8, 4);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) std::memcpy(src.pixel(x, y), std::vector<UInt8>{255, UInt8(x), UInt8(y), 9}.data(), 4);
    Rect s{0, 0, 2, 4}, d{0, 0, 4, 8};
    CopyBits(GetPortBitMapForCopyBits(src.gw), GetPortBitMapForCopyBits(dst.gw), &s, &d, srcCopy, nullptr);
    EXPECT_EQ(dst.bytes(0, 0), (std::vector<UInt8>{255, 0, 0, 9}));
    EXPECT_EQ(dst.bytes(1, 1), (std::vector<UInt8>{255, 0, 0, 9}));
    EXPECT_EQ(dst.bytes(7, 3), (std::vector<UInt8>{255, 3, 1, 9}));
    EXPECT_EQ(dst.bytes(2, 2), (std::vector<UInt8>{255, 1, 1, 9}));

    // Unscaled copy to a rectangle hanging over the edge: only pixels inside are written.
    World small(3, 3);
    Rect over{-1, -1, 1, 3};
    CopyBits(GetPortBitMapForCopyBits(src.gw), GetPortBitMapForCopyBits(small.gw), &s, &over, srcCopy, nullptr);
    EXPECT_EQ(small.bytes(0, 0), (std::vector<UInt8>{255, 1, 1, 9}));
    EXPECT_EQ(small.bytes(2, 0), (std::vector<UInt8>{255, 3, 1, 9}));
    EXPECT_EQ(small.bytes(0, 1), (std::vector<UInt8>{0, 0, 0, 0}));
}

TEST(QuickDraw, PaintFrameAndEraseDrawIntoTheCurrentPort) {
    World w(5, 4);
    toolbox::SaveGWorld saved;
    SetGWorld(w.gw, nullptr);
    RGBColor red{0xFFFF, 0, 0x1234}, white{0xFFFF, 0xFFFF, 0xFFFF};
    RGBBackColor(&white);
    Rect all{0, 0, 4, 5};
    EraseRect(&all);
    RGBForeColor(&red);
    Rect box{1, 1, 4, 4};
    FrameRect(&box);
    const std::vector<UInt8> r{255, 255, 0, 0x12}, wh{255, 255, 255, 255};
    EXPECT_EQ(w.bytes(1, 1), r);
    EXPECT_EQ(w.bytes(3, 3), r);
    EXPECT_EQ(w.bytes(2, 2), wh);  // the inside is not touched
    EXPECT_EQ(w.bytes(4, 3), wh);  // right and bottom are exclusive
    Rect clip{0, 0, 2, 5};
    ClipRect(&clip);
    PaintRect(&all);
    EXPECT_EQ(w.bytes(4, 1), r);
    EXPECT_EQ(w.bytes(4, 2), wh);
}

TEST(QuickDraw, RectangleArithmetic) {
    Rect a{0, 0, 10, 10}, b{5, 5, 20, 20}, out;
    EXPECT_TRUE(SectRect(&a, &b, &out));
    EXPECT_EQ(out, (Rect{5, 5, 10, 10}));
    Rect c{10, 10, 12, 12};
    EXPECT_FALSE(SectRect(&a, &c, &out));
    EXPECT_TRUE(EmptyRect(&out));
    EXPECT_TRUE(PtInRect(Point{0, 9}, &a));
    EXPECT_FALSE(PtInRect(Point{10, 0}, &a));
    OffsetRect(&a, 3, -2);
    EXPECT_EQ(a, (Rect{-2, 3, 8, 13}));
}

}  // namespace
