// The inside of a window, shared by the Window Manager, the Control Manager and the
// input code; nothing outside the toolbox sees it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/ControlInternals.h"
#include "windows/MacWindows.h"

struct OpaqueWindowPtr {
    UInt32 magic = 0;
    std::string name;
    std::string title;  // UTF-8
    WindowClass windowClass = kDocumentWindowClass;
    WindowAttributes attributes = 0;
    Rect bounds{};      // content, global coordinates
    std::vector<UInt32> pixels;
    CGrafPtr port = nullptr;
    bool visible = false;
    bool active = false;
    long refCon = 0;
    EventTargetRef target = nullptr;
    std::vector<std::unique_ptr<OpaqueControlRef>> controls;  // drawing order; hit tests go backwards
    ControlRef focus = nullptr;
    ControlRef defaultButton = nullptr;
    ControlRef cancelButton = nullptr;
};

namespace toolbox {

constexpr UInt32 kWindowMagic = 0x57494E44;  // 'WIND'

// Sends the window's visible controls an activate or deactivate and redraws after the
// front window changed.
void UpdateActivation();
// Saves the current port and device and gives them back at the end of the scope, unless
// the saved port belonged to a window that a handler disposed of in the meantime.
class SaveWindowGWorld {
public:
    SaveWindowGWorld();
    ~SaveWindowGWorld();
    SaveWindowGWorld(const SaveWindowGWorld&) = delete;
    SaveWindowGWorld& operator=(const SaveWindowGWorld&) = delete;

private:
    CGrafPtr port_ = nullptr;
    GDHandle device_ = nullptr;
    WindowRef window_ = nullptr;  // the window whose port was current, if any
};

// Makes the window's port current, clipped to its content, for the scope.
class WindowDrawingScope {
public:
    explicit WindowDrawingScope(WindowRef window);
    ~WindowDrawingScope();
    WindowDrawingScope(const WindowDrawingScope&) = delete;
    WindowDrawingScope& operator=(const WindowDrawingScope&) = delete;

private:
    SaveWindowGWorld saved_;
    Rect savedClip_{};
    WindowRef window_;
};

}  // namespace toolbox
