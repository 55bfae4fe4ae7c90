// Window Manager stand-in: windows with a 32-bit port each, a front-to-back order, the
// active window, application-modal loops and snapshots of what a window shows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "MacTypes.h"
#include "corefoundation/CFString.h"
#include "events/CarbonEvents.h"
#include "quickdraw/QuickDraw.h"

typedef UInt32 WindowClass;
typedef UInt32 WindowAttributes;
typedef UInt16 WindowRegionCode;

enum : WindowClass {
    kAlertWindowClass = 1,
    kMovableAlertWindowClass = 2,
    kModalWindowClass = 3,
    kMovableModalWindowClass = 4,
    kFloatingWindowClass = 5,
    kDocumentWindowClass = 6,
    kUtilityWindowClass = 8,
    kSheetWindowClass = 11,
    kPlainWindowClass = 13,
};

enum : WindowAttributes {
    kWindowNoAttributes = 0,
    kWindowCloseBoxAttribute = 1u << 0,
    kWindowHorizontalZoomAttribute = 1u << 1,
    kWindowVerticalZoomAttribute = 1u << 2,
    kWindowCollapseBoxAttribute = 1u << 3,
    kWindowResizableAttribute = 1u << 4,
    kWindowCompositingAttribute = 1u << 19,
    kWindowStandardHandlerAttribute = 1u << 25,
    kWindowLiveResizeAttribute = 1u << 28,
};

enum : WindowRegionCode {
    kWindowTitleBarRgn = 0,
    kWindowStructureRgn = 32,
    kWindowContentRgn = 33,
    kWindowGlobalPortRgn = 40,
};

enum : OSStatus {
    errInvalidWindowRef = -5600,
    errWindowNotFound = -5610,
    errInvalidWindowPtr = -5600,
};

// Height of the title bar drawn above the content in snapshots.
constexpr short kWindowTitleBarHeight = 22;

OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes, const Rect* contentBounds,
                         WindowRef* outWindow);
void DisposeWindow(WindowRef window);
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
Boolean IsWindowVisible(WindowRef window);
void BringToFront(WindowRef window);
void SelectWindow(WindowRef window);
WindowRef FrontWindow();
Boolean IsWindowActive(WindowRef window);
CGrafPtr GetWindowPort(WindowRef window);
void SetPortWindowPort(WindowRef window);
WindowRef GetWindowFromPort(CGrafPtr port);
OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds);
// Moves or resizes the window; a new size gives it a new, erased picture.
OSStatus SetWindowBounds(WindowRef window, WindowRegionCode regionCode, const Rect* globalBounds);
Rect* GetWindowPortBounds(WindowRef window, Rect* bounds);
OSStatus SetWindowTitleWithCFString(WindowRef inWindow, CFStringRef inString);
OSStatus CopyWindowTitleAsCFString(WindowRef inWindow, CFStringRef* outString);
OSStatus GetWindowClass(WindowRef inWindow, WindowClass* outClass);
OSStatus GetWindowAttributes(WindowRef window, WindowAttributes* outAttributes);
void SetWRefCon(WindowRef window, long data);
long GetWRefCon(WindowRef window);
// Redraws every visible control (after the content was drawn over).
void DrawControls(WindowRef theWindow);

// Application-modal loops. Loops nest; each ends when QuitAppModalLoopForWindow names its
// window, when the window goes away, or when the input ends (then as Cancel would).
OSStatus RunAppModalLoopForWindow(WindowRef inWindow);
OSStatus QuitAppModalLoopForWindow(WindowRef inWindow);
// The application's own loop: runs until QuitApplicationEventLoop or the input ends.
void RunApplicationEventLoop();
void QuitApplicationEventLoop();

namespace toolbox {

bool IsLiveWindow(WindowRef window);
// The colour window content is erased to.
RGBColor WindowBackground();
// The window's name in its nib ("" for windows made in code).
std::string WindowName(WindowRef window);
void SetWindowName(WindowRef window, const std::string& name);
std::string WindowTitleUTF8(WindowRef window);
// The visible window whose content holds the global point, front to back; nullptr if none.
WindowRef FindWindowAt(Point globalPoint);
// Erases the content and draws every visible control again.
void RedrawWindow(WindowRef window);
// Writes the window as it looks: a title bar with its title above the content.
bool WriteWindowPNG(WindowRef window, const std::string& path, std::string* error = nullptr);
// A display shows what these give: the visible windows from back to front. The observer
// is called whenever a window appears, goes, moves, or changes its place in the order.
std::vector<WindowRef> VisibleWindowsBackToFront();
using WindowListObserver = std::function<void()>;
WindowListObserver SetWindowListObserver(WindowListObserver observer);
// Windows alive now (leak checks in tests).
long LiveWindowCount();
// The default button (Return) and cancel button (Escape) of a window.
void SetWindowDefaultButtonRef(WindowRef window, ControlRef control);
void SetWindowCancelButtonRef(WindowRef window, ControlRef control);
ControlRef WindowDefaultButton(WindowRef window);
ControlRef WindowCancelButton(WindowRef window);
// The window's modal loop, if one runs for it (innermost first); used by the input code.
bool IsModalLoopRunning(WindowRef window);

}  // namespace toolbox
