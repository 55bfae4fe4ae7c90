// The toolbox on a real screen: a desktop window (SDL2) that shows the frontmost toolbox
// window at its size and under its title, and an event source that turns the person's
// mouse and keyboard into the same input a script produces. Installed like any source:
//
//     auto live = toolbox::LiveEventSource::Open(&why);   // nil without a display
//     toolbox::ScopedEventSource input(live.get());
//
// Keys: Shift is shiftKey, Alt is optionKey, Ctrl and the Super key are cmdKey. Closing
// the desktop window ends the front window's modal loop as Cancel would.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "input/ScopedEventSource.h"
#include "windows/MacWindows.h"

namespace toolbox {

class LiveEventSource : public EventSource {
public:
    // True when this build can show windows and the environment names a display that a
    // person sees (DISPLAY, WAYLAND_DISPLAY, or a video driver chosen with
    // SDL_VIDEODRIVER other than SDL's unseen "dummy" and "offscreen").
    static bool DisplayAvailable();
    // The source with its (still hidden) desktop window; nil, with the reason in
    // *whyNot, when there is no display to open it on. An unseen driver named in
    // SDL_VIDEODRIVER counts here, for tests and benchmarks.
    static std::unique_ptr<LiveEventSource> Open(std::string* whyNot = nullptr);
    ~LiveEventSource() override;
    LiveEventSource(const LiveEventSource&) = delete;
    LiveEventSource& operator=(const LiveEventSource&) = delete;

    // Shows what changed (at the display's rate at most), then blocks until the person
    // does something.
    InputEvent NextInput() override;

    // What one presented frame showed; for measuring how far the screen lags the mouse.
    struct PresentInfo {
        std::chrono::steady_clock::time_point presentedAt;
        Point lastPointer{0, 0};  // global; the pointer input handed out last before the frame
        long frame = 0;           // frames presented so far, this one included
        WindowRef window = nullptr;  // the toolbox window shown (nil: the desktop window is hidden)
        int width = 0, height = 0;   // the desktop window's size
    };
    using PresentObserver = std::function<void(const PresentInfo&)>;
    void SetPresentObserver(PresentObserver observer);
    // The fastest the window is redrawn: the display's refresh rate (60 when unknown).
    double RefreshRate() const;

    // Puts pointer input into the display's queue as the mouse would, at a point of the
    // desktop window (content coordinates); safe from any thread. For benchmarks and
    // tests that cannot move a real pointer.
    enum class Synthetic { Press, Move, Release, CloseWindow };
    void Inject(Synthetic what, int x, int y);

private:
    struct Impl;
    explicit LiveEventSource(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace toolbox
