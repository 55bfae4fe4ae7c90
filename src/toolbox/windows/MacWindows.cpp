// Windows: creation, order, visibility, activation, drawing and snapshots. Each window
// draws into pixels of its own through a port that QuickDraw treats like any other.
#include <algorithm>
#include <cstring>

#include "quickdraw/PortInternals.h"
#include "quickdraw/QDPng.h"
#include "quickdraw/QDText.h"
#include "windows/WindowInternals.h"

namespace {

std::vector<WindowRef>& Windows() {  // front to back
    static std::vector<WindowRef> windows;
    return windows;
}

toolbox::WindowListObserver& Observer() {
    static toolbox::WindowListObserver observer;
    return observer;
}

void WindowListChanged() {
    if (Observer()) Observer()();
}

short Width(const Rect& r) { return short(r.right - r.left); }
short Height(const Rect& r) { return short(r.bottom - r.top); }

// Gives the window's port pixels of the window's size, erased; the port keeps its identity.
void AllocatePixels(WindowRef w) {
    const int width = std::max(0, int(Width(w->bounds))), height = std::max(0, int(Height(w->bounds)));
    w->pixels.assign(std::size_t(width) * std::size_t(height), toolbox::PixelFromRGB(toolbox::WindowBackground()));
    Rect local{0, 0, SInt16(height), SInt16(width)};
    if (w->port == nullptr) {
        w->port = toolbox::NewPortForPixels(local, width * 4, reinterpret_cast<Ptr>(w->pixels.data()));
        return;
    }
    w->port->pixMap.baseAddr = reinterpret_cast<Ptr>(w->pixels.data());
    w->port->pixMap.rowBytes = width * 4;
    w->port->pixMap.bounds = local;
    w->port->clipRect = local;
    w->port->device.gdRect = local;
}

void SendWindowEvent(WindowRef w, EventKind kind) {
    toolbox::ScopedEvent event(kEventClassWindow, kind);
    event.Set(kEventParamDirectObject, typeWindowRef, w);
    SendEventToEventTarget(event.get(), w->target);
}

// The controls of a window learn that their window became active or inactive.
void ChangeActivity(WindowRef w, bool active) {
    w->active = active;
    std::vector<ControlRef> customs;
    for (auto& c : w->controls)
        if (c->kind == toolbox::ControlKind::Custom) customs.push_back(c.get());
    for (ControlRef c : customs)
        if (toolbox::IsLiveControl(c))
            toolbox::SendControlEvent(c, active ? kEventControlActivate : kEventControlDeactivate, Point{0, 0}, 0, nullptr);
    if (!toolbox::IsLiveWindow(w)) return;
    SendWindowEvent(w, active ? kEventWindowActivated : kEventWindowDeactivated);
    if (toolbox::IsLiveWindow(w)) toolbox::RedrawWindow(w);
}

}  // namespace

namespace toolbox {

RGBColor WindowBackground() { return RGBColor{0xE8E8, 0xE8E8, 0xE8E8}; }

bool IsLiveWindow(WindowRef window) {
    return window != nullptr && std::find(Windows().begin(), Windows().end(), window) != Windows().end();
}

long LiveWindowCount() { return long(Windows().size()); }

std::vector<WindowRef> VisibleWindowsBackToFront() {
    std::vector<WindowRef> visible;
    for (auto it = Windows().rbegin(); it != Windows().rend(); ++it)
        if ((*it)->visible) visible.push_back(*it);
    return visible;
}

WindowListObserver SetWindowListObserver(WindowListObserver observer) {
    WindowListObserver old = std::move(Observer());
    Observer() = std::move(observer);
    return old;
}

std::string WindowName(WindowRef window) { return IsLiveWindow(window) ? window->name : std::string(); }
void SetWindowName(WindowRef window, const std::string& name) {
    if (IsLiveWindow(window)) window->name = name;
}
std::string WindowTitleUTF8(WindowRef window) { return IsLiveWindow(window) ? window->title : std::string(); }

WindowRef FindWindowAt(Point globalPoint) {
    for (WindowRef w : Windows())
        if (w->visible && PtInRect(globalPoint, &w->bounds)) return w;
    return nullptr;
}

void UpdateActivation() {
    WindowRef front = FrontWindow();
    // Collect first: the handlers that activation runs may change the window list.
    std::vector<std::pair<WindowRef, bool>> changes;
    for (WindowRef w : Windows()) {
        bool shouldBeActive = w == front;
        if (w->active != shouldBeActive) changes.emplace_back(w, shouldBeActive);
    }
    // Deactivate before activating, as the Mac does.
    std::stable_sort(changes.begin(), changes.end(), [](auto& a, auto& b) { return !a.second && b.second; });
    for (auto& [w, active] : changes)
        if (IsLiveWindow(w)) ChangeActivity(w, active);
}

SaveWindowGWorld::SaveWindowGWorld() {
    GetGWorld(&port_, &device_);
    window_ = GetWindowFromPort(port_);
}

SaveWindowGWorld::~SaveWindowGWorld() {
    if (window_ && !IsLiveWindow(window_)) return;  // its port is gone; the screen is current
    SetGWorld(port_, device_);
}

WindowDrawingScope::WindowDrawingScope(WindowRef window) : window_(window) {
    SetGWorld(window->port, nullptr);
    savedClip_ = window->port->clipRect;
    window->port->clipRect = window->port->pixMap.bounds;
}

WindowDrawingScope::~WindowDrawingScope() {
    if (!IsLiveWindow(window_)) return;  // a handler disposed of the window while it drew
    window_->port->clipRect = savedClip_;
    QDFlushPortBuffer(window_->port, nullptr);
}

void RedrawWindow(WindowRef window) {
    if (!IsLiveWindow(window) || !window->visible) return;
    {
        WindowDrawingScope scope(window);
        RGBColor bg = WindowBackground();
        RGBBackColor(&bg);
        EraseRect(&window->port->pixMap.bounds);
    }
    DrawControls(window);
}

bool WriteWindowPNG(WindowRef window, const std::string& path, std::string* error) {
    if (!IsLiveWindow(window)) {
        if (error) *error = "no such window";
        return false;
    }
    const short w = Width(window->bounds), h = Height(window->bounds);
    Rect frame{0, 0, SInt16(h + kWindowTitleBarHeight), w};
    GWorldPtr world = nullptr;
    if (NewGWorld(&world, 32, &frame, nullptr, nullptr, 0) != noErr) {
        if (error) *error = "out of memory for the snapshot";
        return false;
    }
    {
        SaveGWorld saved;
        SetGWorld(world, nullptr);
        RGBColor bar{0xD6D6, 0xD6D6, 0xD6D6}, line{0x8080, 0x8080, 0x8080}, black{0, 0, 0};
        Rect titleBar{0, 0, kWindowTitleBarHeight, w};
        RGBForeColor(&bar);
        PaintRect(&titleBar);
        RGBForeColor(&line);
        MoveTo(0, kWindowTitleBarHeight - 1);
        LineTo(short(w - 1), kWindowTitleBarHeight - 1);
        std::string title = UTF8ToMacRoman(window->title);
        TextFont(systemFont);
        TextSize(13);
        TextFace(bold);
        short tw = TextWidth(title.data(), 0, short(std::min<std::size_t>(title.size(), 255)));
        RGBForeColor(&black);
        MoveTo(short(std::max(4, (w - tw) / 2)), 16);
        DrawText(title.data(), 0, short(std::min<std::size_t>(title.size(), 255)));
        Rect content{kWindowTitleBarHeight, 0, frame.bottom, w}, local{0, 0, h, w};
        CopyBits(GetPortBitMapForCopyBits(window->port), GetPortBitMapForCopyBits(world), &local, &content, srcCopy,
                 nullptr);
        RGBForeColor(&line);
        FrameRect(&frame);
    }
    bool ok = WritePortPNG(world, path, error);
    DisposeGWorld(world);
    return ok;
}

void SetWindowDefaultButtonRef(WindowRef window, ControlRef control) {
    if (IsLiveWindow(window)) window->defaultButton = control;
}
void SetWindowCancelButtonRef(WindowRef window, ControlRef control) {
    if (IsLiveWindow(window)) window->cancelButton = control;
}
ControlRef WindowDefaultButton(WindowRef window) {
    return IsLiveWindow(window) && IsLiveControl(window->defaultButton) ? window->defaultButton : nullptr;
}
ControlRef WindowCancelButton(WindowRef window) {
    return IsLiveWindow(window) && IsLiveControl(window->cancelButton) ? window->cancelButton : nullptr;
}

}  // namespace toolbox

OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes, const Rect* contentBounds,
                         WindowRef* outWindow) {
    if (outWindow) *outWindow = nullptr;
    if (outWindow == nullptr || contentBounds == nullptr) return paramErr;
    const int width = contentBounds->right - contentBounds->left, height = contentBounds->bottom - contentBounds->top;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return paramErr;
    auto* w = new OpaqueWindowPtr;
    w->magic = toolbox::kWindowMagic;
    w->windowClass = windowClass;
    w->attributes = attributes;
    w->bounds = *contentBounds;
    AllocatePixels(w);
    w->target = toolbox::NewEventTarget({GetApplicationEventTarget(), nullptr});
    // New windows come in front, invisible; the active window stays what it was.
    Windows().insert(Windows().begin(), w);
    *outWindow = w;
    return noErr;
}

void DisposeWindow(WindowRef window) {
    if (!toolbox::IsLiveWindow(window)) return;
    Windows().erase(std::find(Windows().begin(), Windows().end(), window));
    while (!window->controls.empty()) toolbox::DestroyControl(window->controls.back().get());
    toolbox::DisposeEventTarget(window->target);
    toolbox::DisposePort(window->port);
    window->magic = 0;
    delete window;
    toolbox::UpdateActivation();
    WindowListChanged();
}

void ShowWindow(WindowRef window) {
    if (!toolbox::IsLiveWindow(window) || window->visible) return;
    window->visible = true;
    toolbox::RedrawWindow(window);
    toolbox::UpdateActivation();
    WindowListChanged();
}

void HideWindow(WindowRef window) {
    if (!toolbox::IsLiveWindow(window) || !window->visible) return;
    window->visible = false;
    toolbox::UpdateActivation();
    WindowListChanged();
}

Boolean IsWindowVisible(WindowRef window) { return toolbox::IsLiveWindow(window) && window->visible; }

void BringToFront(WindowRef window) {
    if (!toolbox::IsLiveWindow(window)) return;
    auto& list = Windows();
    list.erase(std::find(list.begin(), list.end(), window));
    list.insert(list.begin(), window);
    toolbox::UpdateActivation();
    WindowListChanged();
}

void SelectWindow(WindowRef window) { BringToFront(window); }

WindowRef FrontWindow() {
    for (WindowRef w : Windows())
        if (w->visible) return w;
    return nullptr;
}

Boolean IsWindowActive(WindowRef window) { return toolbox::IsLiveWindow(window) && window->active; }

CGrafPtr GetWindowPort(WindowRef window) { return toolbox::IsLiveWindow(window) ? window->port : nullptr; }

void SetPortWindowPort(WindowRef window) {
    if (toolbox::IsLiveWindow(window)) SetPort(window->port);
}

WindowRef GetWindowFromPort(CGrafPtr port) {
    for (WindowRef w : Windows())
        if (w->port == port) return w;
    return nullptr;
}

EventTargetRef GetWindowEventTarget(WindowRef inWindow) {
    return toolbox::IsLiveWindow(inWindow) ? inWindow->target : nullptr;
}

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode regionCode, Rect* globalBounds) {
    if (!toolbox::IsLiveWindow(window)) return errInvalidWindowRef;
    if (globalBounds == nullptr) return paramErr;
    *globalBounds = window->bounds;
    if (regionCode == kWindowStructureRgn) globalBounds->top = SInt16(globalBounds->top - kWindowTitleBarHeight);
    if (regionCode == kWindowTitleBarRgn)
        *globalBounds = Rect{SInt16(window->bounds.top - kWindowTitleBarHeight), window->bounds.left,
                             window->bounds.top, window->bounds.right};
    return noErr;
}

OSStatus SetWindowBounds(WindowRef window, WindowRegionCode regionCode, const Rect* globalBounds) {
    if (!toolbox::IsLiveWindow(window)) return errInvalidWindowRef;
    if (globalBounds == nullptr) return paramErr;
    Rect content = *globalBounds;
    if (regionCode == kWindowStructureRgn) content.top = SInt16(content.top + kWindowTitleBarHeight);
    const int width = content.right - content.left, height = content.bottom - content.top;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return paramErr;
    const bool resized = width != Width(window->bounds) || height != Height(window->bounds);
    window->bounds = content;
    if (resized) {
        AllocatePixels(window);
        toolbox::RedrawWindow(window);
    }
    WindowListChanged();
    return noErr;
}

Rect* GetWindowPortBounds(WindowRef window, Rect* bounds) {
    if (toolbox::IsLiveWindow(window) && bounds) *bounds = window->port->pixMap.bounds;
    return bounds;
}

OSStatus SetWindowTitleWithCFString(WindowRef inWindow, CFStringRef inString) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    inWindow->title = toolbox::CFStringToUTF8(inString);
    return noErr;
}

OSStatus CopyWindowTitleAsCFString(WindowRef inWindow, CFStringRef* outString) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (outString == nullptr) return paramErr;
    *outString = CFStringCreateWithCString(nullptr, inWindow->title.c_str(), kCFStringEncodingUTF8);
    return noErr;
}

OSStatus GetWindowClass(WindowRef inWindow, WindowClass* outClass) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    if (outClass) *outClass = inWindow->windowClass;
    return noErr;
}

OSStatus GetWindowAttributes(WindowRef window, WindowAttributes* outAttributes) {
    if (!toolbox::IsLiveWindow(window)) return errInvalidWindowRef;
    if (outAttributes) *outAttributes = window->attributes;
    return noErr;
}

void SetWRefCon(WindowRef window, long data) {
    if (toolbox::IsLiveWindow(window)) window->refCon = data;
}
long GetWRefCon(WindowRef window) { return toolbox::IsLiveWindow(window) ? window->refCon : 0; }

void DrawControls(WindowRef theWindow) {
    if (!toolbox::IsLiveWindow(theWindow) || !theWindow->visible) return;
    std::vector<ControlRef> order;
    for (auto& c : theWindow->controls) order.push_back(c.get());
    for (ControlRef c : order)
        if (toolbox::IsLiveControl(c) && c->visible) Draw1Control(c);
}
