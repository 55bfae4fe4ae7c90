// Window Manager: order, visibility and activation, ports that keep their identity,
// content erased to the background, snapshots with a title bar.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "controls/Controls.h"
#include "quickdraw/QDPng.h"

namespace {

WindowRef NewWindow(short left, short top, short width = 60, short height = 40) {
    Rect r{top, left, SInt16(top + height), SInt16(left + width)};
    WindowRef w = nullptr;
    EXPECT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &r, &w), noErr);
    return w;
}

const UInt8* PixelOf(WindowRef w, int x, int y) {
    const BitMap* bits = GetPortBitMapForCopyBits(GetWindowPort(w));
    return reinterpret_cast<const UInt8*>(bits->baseAddr) + y * bits->rowBytes + x * 4;
}

TEST(WindowTest, CreationRefusesEmptyOrHugeBounds) {
    const Rect bad[] = {{0, 0, 0, 10}, {0, 0, 10, 0}, {10, 10, 5, 20}, {0, 0, 9000, 10}};
    for (const Rect& r : bad) {
        WindowRef w = reinterpret_cast<WindowRef>(1);
        EXPECT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &r, &w), paramErr);
        EXPECT_EQ(w, nullptr);
    }
    EXPECT_EQ(CreateNewWindow(kDocumentWindowClass, 0, nullptr, nullptr), paramErr);
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
}

TEST(WindowTest, FrontWindowIsTheFrontmostVisibleOneAndIsTheOnlyActiveOne) {
    WindowRef a = NewWindow(0, 100), b = NewWindow(30, 110);
    EXPECT_EQ(FrontWindow(), nullptr);  // new windows are invisible
    ShowWindow(a);
    EXPECT_EQ(FrontWindow(), a);
    ShowWindow(b);  // b was made after a, so it is in front of it
    EXPECT_EQ(FrontWindow(), b);
    EXPECT_TRUE(IsWindowActive(b));
    EXPECT_FALSE(IsWindowActive(a));
    BringToFront(a);
    EXPECT_EQ(FrontWindow(), a);
    EXPECT_TRUE(IsWindowActive(a));
    EXPECT_FALSE(IsWindowActive(b));
    // Where they overlap, the front one gets the point.
    EXPECT_EQ(toolbox::FindWindowAt(Point{120, 40}), a);
    EXPECT_EQ(toolbox::FindWindowAt(Point{120, 80}), b);
    EXPECT_EQ(toolbox::FindWindowAt(Point{10, 10}), nullptr);
    HideWindow(a);
    EXPECT_EQ(FrontWindow(), b);
    EXPECT_TRUE(IsWindowActive(b));
    EXPECT_EQ(toolbox::FindWindowAt(Point{120, 40}), b);
    DisposeWindow(b);
    EXPECT_EQ(FrontWindow(), nullptr);
    DisposeWindow(a);
    DisposeWindow(a);  // twice is harmless
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
}

TEST(WindowTest, PortStaysTheSameWhenTheWindowIsResizedAndContentIsErased) {
    WindowRef w = NewWindow(10, 50);
    CGrafPtr port = GetWindowPort(w);
    EXPECT_EQ(GetWindowFromPort(port), w);
    ShowWindow(w);
    const RGBColor bg = toolbox::WindowBackground();
    const UInt8 expected[4] = {0xFF, UInt8(bg.red >> 8), UInt8(bg.green >> 8), UInt8(bg.blue >> 8)};
    EXPECT_EQ(std::memcmp(PixelOf(w, 59, 39), expected, 4), 0);
    Rect bigger{60, 20, 160, 220};
    ASSERT_EQ(SetWindowBounds(w, kWindowContentRgn, &bigger), noErr);
    EXPECT_EQ(GetWindowPort(w), port);
    Rect portRect;
    GetPortBounds(port, &portRect);
    EXPECT_EQ(portRect.right, 200);
    EXPECT_EQ(portRect.bottom, 100);
    EXPECT_EQ(std::memcmp(PixelOf(w, 199, 99), expected, 4), 0);
    Rect structure;
    GetWindowBounds(w, kWindowStructureRgn, &structure);
    EXPECT_EQ(structure.top, 60 - kWindowTitleBarHeight);
    Rect empty{0, 0, 0, 0};
    EXPECT_EQ(SetWindowBounds(w, kWindowContentRgn, &empty), paramErr);
    DisposeWindow(w);
    EXPECT_EQ(GetWindowPort(w), nullptr);
    EXPECT_EQ(GetWindowBounds(w, kWindowContentRgn, &portRect), errInvalidWindowRef);
}

TEST(WindowTest, SetPortWindowPortMakesTheWindowsPortCurrent) {
    WindowRef w = NewWindow(10, 50);
    toolbox::SaveGWorld saved;
    SetPortWindowPort(w);
    GrafPtr current = nullptr;
    GetPort(&current);
    EXPECT_EQ(current, GetWindowPort(w));
    DisposeWindow(w);
    GetPort(&current);
    EXPECT_NE(current, nullptr);  // never left pointing at a disposed port
}

TEST(WindowTest, SnapshotHasTheTitleBarAboveTheContent) {
    WindowRef w = NewWindow(10, 50, 80, 30);
    SetWindowTitleWithCFString(w, CFSTR("Snap"));
    ShowWindow(w);
    RGBColor green{0, 0xFFFF, 0};
    {
        toolbox::SaveGWorld saved;
        SetPortWindowPort(w);
        RGBForeColor(&green);
        Rect r{0, 0, 30, 80};
        PaintRect(&r);
    }
    std::string path = ::testing::TempDir() + "window-snapshot.png";
    std::string error;
    ASSERT_TRUE(toolbox::WriteWindowPNG(w, path, &error)) << error;
    toolbox::ARGBImage image;
    ASSERT_TRUE(toolbox::ReadPNG(path, &image, &error)) << error;
    EXPECT_EQ(image.width, 80);
    EXPECT_EQ(image.height, 30 + kWindowTitleBarHeight);
    const UInt8* content = &image.pixels[std::size_t(kWindowTitleBarHeight + 10) * 80 * 4 + 40 * 4];
    EXPECT_EQ(content[1], 0);
    EXPECT_EQ(content[2], 0xFF);
    EXPECT_EQ(content[3], 0);
    const UInt8* bar = &image.pixels[std::size_t(2) * 80 * 4 + 2 * 4];
    EXPECT_EQ(bar[1], 0xD6);
    DisposeWindow(w);
    EXPECT_FALSE(toolbox::WriteWindowPNG(w, path, &error));
}

TEST(WindowTest, DisplaysAreToldWhenTheVisibleWindowsChange) {
    int changes = 0;
    toolbox::SetWindowListObserver([&] { ++changes; });
    WindowRef a = NewWindow(0, 100), b = NewWindow(30, 110);
    EXPECT_EQ(changes, 0);  // invisible windows show nothing
    ShowWindow(a);
    ShowWindow(b);
    EXPECT_EQ(toolbox::VisibleWindowsBackToFront(), (std::vector<WindowRef>{a, b}));
    BringToFront(a);
    EXPECT_EQ(toolbox::VisibleWindowsBackToFront(), (std::vector<WindowRef>{b, a}));
    HideWindow(b);
    EXPECT_EQ(toolbox::VisibleWindowsBackToFront(), std::vector<WindowRef>{a});
    DisposeWindow(a);
    DisposeWindow(b);
    EXPECT_EQ(changes, 6);
    toolbox::SetWindowListObserver({});
}

}  // namespace
