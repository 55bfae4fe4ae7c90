// The toolbox's records in tests: equality and printing of rectangles, points, colours
// and relative rectangles, so that one EXPECT_EQ compares a whole record and says what
// it got; the pixels of ports and windows; test windows and scripts.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <ostream>
#include <string>

#include "Carbon.h"
#include "effect/PluginDefines.h"
#include "input/EventScript.h"
#include "support/Files.h"

inline bool operator==(const Rect& a, const Rect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}
inline bool operator==(const Point& a, const Point& b) { return a.v == b.v && a.h == b.h; }
inline bool operator==(const RGBColor& a, const RGBColor& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}
inline bool operator==(const relRect& a, const relRect& b) {
    return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
}
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "Rect{" << r.top << ", " << r.left << ", " << r.bottom << ", " << r.right << "}";
}
inline void PrintTo(const Point& p, std::ostream* os) { *os << "Point{v " << p.v << ", h " << p.h << "}"; }
inline void PrintTo(const RGBColor& c, std::ostream* os) {
    *os << "RGBColor{" << c.red << ", " << c.green << ", " << c.blue << "}";
}
inline void PrintTo(const relRect& r, std::ostream* os) {
    os->precision(17);
    *os << "relRect{" << r.left << ", " << r.right << ", " << r.top << ", " << r.bottom << "}";
}

namespace testsupport {

using Pixel = std::array<int, 4>;  // A, R, G, B

inline Pixel PixelOf(CGrafPtr port, int x, int y) {
    const BitMap* bits = GetPortBitMapForCopyBits(port);
    const UInt8* p = reinterpret_cast<const UInt8*>(bits->baseAddr) + y * bits->rowBytes + x * 4;
    return {p[0], p[1], p[2], p[3]};
}
inline Pixel PixelOf(WindowRef w, int x, int y) { return PixelOf(GetWindowPort(w), x, y); }
// The window background as a pixel.
inline Pixel Background() {
    const RGBColor bg = toolbox::WindowBackground();
    return {0xFF, bg.red >> 8, bg.green >> 8, bg.blue >> 8};
}

// A world of width × height made current, erased white, with the system font at 12
// points, plain, for drawing text; the caller keeps the port it had with a SaveGWorld.
inline GWorldPtr NewTextWorld(int width, int height) {
    Rect r{0, 0, SInt16(height), SInt16(width)};
    GWorldPtr world = nullptr;
    EXPECT_EQ(NewGWorld(&world, 32, &r, nullptr, nullptr, 0), noErr);
    SetGWorld(world, nullptr);
    const RGBColor white{0xFFFF, 0xFFFF, 0xFFFF};
    RGBBackColor(&white);
    EraseRect(&r);
    TextFont(systemFont);
    TextSize(12);
    TextFace(normal);
    return world;
}

inline WindowRef NewTestWindow(Rect content, WindowClass windowClass = kDocumentWindowClass) {
    WindowRef w = nullptr;
    EXPECT_EQ(CreateNewWindow(windowClass, 0, &content, &w), noErr);
    return w;
}

// An event script from text, read relative to `folder`; a script that cannot be read
// fails the test.
inline std::unique_ptr<toolbox::ScriptedEventSource> Script(const std::string& text, const std::string& folder = ".") {
    toolbox::ScriptError error;
    auto source = toolbox::ScriptedEventSource::FromText(text, folder, &error);
    EXPECT_NE(source, nullptr) << error.Describe();
    return source;
}

// The dialog toolkit's test bundle (tests/data/dialogkit), registered.
inline CFBundleRef RegisterDialogKit() {
    std::string error;
    CFBundleRef bundle = toolbox::RegisterBundle(DialogKitBundle(), &error);
    EXPECT_NE(bundle, nullptr) << error;
    return bundle;
}

inline UInt32 Sig(const char* s) {
    return UInt32(UInt8(s[0])) << 24 | UInt32(UInt8(s[1])) << 16 | UInt32(UInt8(s[2])) << 8 | UInt8(s[3]);
}

}  // namespace testsupport
