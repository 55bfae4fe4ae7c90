// Window Manager: order, visibility and activation, ports that keep their identity,
// content erased to the background, snapshots with a title bar.
#include <gtest/gtest.h>

#include <vector>

#include "controls/Controls.h"
#include "quickdraw/QDPng.h"
#include "support/Toolbox.h"

namespace {

using testsupport::NewTestWindow;
using testsupport::PixelOf;

TEST(WindowTest, CreationRefusesEmptyOrHugeBounds) {
    for (const Rect& r : {Rect{0, 0, 0, 10}, Rect{0, 0, 10, 0}, Rect{10, 10, 5, 20}, Rect{0, 0, 9000, 10}}) {
        WindowRef w = reinterpret_cast<WindowRef>(1);
        EXPECT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &r, &w), paramErr);
        EXPECT_EQ(w, nullptr);
    }
    EXPECT_EQ(CreateNewWindow(kDocumentWindowClass, 0, nullptr, nullptr), paramErr);
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
}

// The front window is the frontmost visible one and the only active one; displays are
// told each time the visible windows change.
TEST(WindowTest, FrontWindowIsTheFrontmostVisibleOneAndIsTheOnlyActiveOne) {
    int changes = 0;
    toolbox::SetWindowListObserver([&] { ++changes; });
    WindowRef a = NewTestWindow({100, 0, 140, 60}), b = NewTestWindow({110, 30, 150, 90});
    EXPECT_EQ(FrontWindow(), nullptr);  // new windows are invisible
    EXPECT_EQ(changes, 0);              // and show nothing
    ShowWindow(a);
    EXPECT_EQ(FrontWindow(), a);
    ShowWindow(b);  // b was made after a, so it is in front of it
    EXPECT_EQ(toolbox::VisibleWindowsBackToFront(), (std::vector<WindowRef>{a, b}));
    EXPECT_TRUE(IsWindowActive(b) && !IsWindowActive(a));
    BringToFront(a);
    EXPECT_EQ(toolbox::VisibleWindowsBackToFront(), (std::vector<WindowRef>{b, a}));
    EXPECT_TRUE(IsWindowActive(a) && !IsWindowActive(b));
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
    EXPECT_EQ(changes, 6);
    toolbox::SetWindowListObserver({});
}

TEST(WindowTest, PortStaysTheSameWhenTheWindowIsResizedAndContentIsErased) {
    WindowRef w = NewTestWindow({50, 10, 90, 70});
    CGrafPtr port = GetWindowPort(w);
    EXPECT_EQ(GetWindowFromPort(port), w);
    ShowWindow(w);
    EXPECT_EQ(PixelOf(w, 59, 39), testsupport::Background());
    Rect bigger{60, 20, 160, 220}, portRect, structure, empty{0, 0, 0, 0};
    ASSERT_EQ(SetWindowBounds(w, kWindowContentRgn, &bigger), noErr);
    EXPECT_EQ(GetWindowPort(w), port);
    GetPortBounds(port, &portRect);
    EXPECT_EQ(portRect, (Rect{0, 0, 100, 200}));
    EXPECT_EQ(PixelOf(w, 199, 99), testsupport::Background());
    GetWindowBounds(w, kWindowStructureRgn, &structure);
    EXPECT_EQ(structure.top, 60 - kWindowTitleBarHeight);
    EXPECT_EQ(SetWindowBounds(w, kWindowContentRgn, &empty), paramErr);
    // SetPortWindowPort makes the port current; disposing never leaves it current.
    toolbox::SaveGWorld saved;
    SetPortWindowPort(w);
    GrafPtr current = nullptr;
    GetPort(&current);
    EXPECT_EQ(current, port);
    DisposeWindow(w);
    GetPort(&current);
    EXPECT_NE(current, nullptr);
    EXPECT_EQ(GetWindowPort(w), nullptr);
    EXPECT_EQ(GetWindowBounds(w, kWindowContentRgn, &portRect), errInvalidWindowRef);
}

TEST(WindowTest, SnapshotHasTheTitleBarAboveTheContent) {
    WindowRef w = NewTestWindow({50, 10, 80, 90});
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
    testsupport::TempFolder folder;
    const std::string path = folder / "window-snapshot.png";
    std::string error;
    ASSERT_TRUE(toolbox::WriteWindowPNG(w, path, &error)) << error;
    toolbox::ARGBImage image;
    ASSERT_TRUE(toolbox::ReadPNG(path, &image, &error)) << error;
    EXPECT_EQ(std::make_pair(image.width, image.height), std::make_pair(80, 30 + kWindowTitleBarHeight));
    const UInt8* content = &image.pixels[std::size_t(kWindowTitleBarHeight + 10) * 80 * 4 + 40 * 4];
    EXPECT_EQ((std::vector<UInt8>(content + 1, content + 4)), (std::vector<UInt8>{0, 0xFF, 0}));
    EXPECT_EQ(image.pixels[std::size_t(2) * 80 * 4 + 2 * 4 + 1], 0xD6);  // the title bar
    DisposeWindow(w);
    EXPECT_FALSE(toolbox::WriteWindowPNG(w, path, &error));
}

}  // namespace
