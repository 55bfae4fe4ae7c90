// The live display. One desktop window shows whichever toolbox window is frontmost: it
// takes that window's size and title when the front changes (a nested About box, alert or
// colour picker, then the dialog again) and copies the window's pixels when its port is
// flushed. Copies happen only while the toolbox waits for input, and no more often than
// the display refreshes, so a drag that redraws faster than the screen never queues
// frames behind the mouse. Pointer input is coalesced the same way: a move that a later
// move overtakes before the toolbox asked for it is dropped.
#include "input/LiveEventSource.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <vector>

#include "corefoundation/CFString.h"
#include "events/CarbonEvents.h"
#include "quickdraw/PortInternals.h"
#include "windows/EventLoop.h"
#include "windows/MacWindows.h"

#if TONEFADE_HAVE_SDL2
#include <SDL.h>
#endif

namespace toolbox {

#if TONEFADE_HAVE_SDL2

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFrameCredit = 2.0;  // pictures the display may take close together after a pause

bool EnvironmentNames(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

bool IsUnseenDriver(const char* driver) {
    return driver != nullptr && (std::string(driver) == "dummy" || std::string(driver) == "offscreen");
}

// Left to itself SDL tries every driver it has, and when the display named cannot be
// reached it ends on its unseen "offscreen" one, where the dialog would wait for ever for
// a person who cannot see it. So only the drivers of the displays named are tried.
std::string DriversOfTheDisplay() {
    std::string drivers = EnvironmentNames("WAYLAND_DISPLAY") ? "wayland" : "";
    if (EnvironmentNames("DISPLAY")) drivers += drivers.empty() ? "x11" : ",x11";
    return drivers;
}

// The display as the environment names it, for messages.
std::string DisplayName() {
    const char* name = EnvironmentNames("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : std::getenv("DISPLAY");
    return name ? name : "";
}

SInt16 Clamp16(long v) { return SInt16(std::clamp(v, -32768L, 32767L)); }

UInt32 MacModifiers(Uint16 mod) {
    UInt32 m = 0;
    if (mod & KMOD_SHIFT) m |= shiftKey;
    if (mod & KMOD_ALT) m |= optionKey;
    if (mod & (KMOD_CTRL | KMOD_GUI)) m |= cmdKey;  // the Mac's Command key sits where Ctrl is used
    if (mod & KMOD_CAPS) m |= alphaLock;
    return m;
}

bool IsModifierKey(SDL_Keycode sym) {
    switch (sym) {
        case SDLK_LSHIFT: case SDLK_RSHIFT: case SDLK_LCTRL: case SDLK_RCTRL: case SDLK_LALT:
        case SDLK_RALT: case SDLK_LGUI: case SDLK_RGUI: case SDLK_CAPSLOCK: case SDLK_MODE: return true;
        default: return false;
    }
}

// Keys that type no text, as the Mac's character codes (0 for none).
char ControlKeyChar(SDL_Keycode sym) {
    switch (sym) {
        case SDLK_RETURN: return '\r';
        case SDLK_KP_ENTER: return 3;
        case SDLK_TAB: return '\t';
        case SDLK_ESCAPE: return 27;
        case SDLK_BACKSPACE: return '\b';
        case SDLK_DELETE: return 127;
        case SDLK_LEFT: return 28;
        case SDLK_RIGHT: return 29;
        case SDLK_UP: return 30;
        case SDLK_DOWN: return 31;
        default: return 0;
    }
}

short Width(const Rect& r) { return short(r.right - r.left); }
short Height(const Rect& r) { return short(r.bottom - r.top); }

Rect Union(const Rect& a, const Rect& b) {
    return Rect{std::min(a.top, b.top), std::min(a.left, b.left), std::max(a.bottom, b.bottom),
                std::max(a.right, b.right)};
}

// The title in plain ASCII, for a C library that cannot spell anything else.
std::string AsciiTitle(const std::string& utf8) {
    std::string ascii;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            ascii += char(c);
        } else if (c >= 0xC0) {  // one character, however many bytes it takes
            const bool dash = utf8.compare(i, 3, "\xE2\x80\x93") == 0 || utf8.compare(i, 3, "\xE2\x80\x94") == 0;
            ascii += dash ? '-' : '?';
        }
    }
    return ascii;
}

// SDL hands a title to X through the C library's locale and drops it when the locale
// cannot spell it, and the host runs in the "C" locale: so the title goes through a
// UTF-8 locale for the moment it takes, or in ASCII where the system has none.
void SetDesktopTitle(SDL_Window* window, const std::string& utf8) {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current ? current : "C";
    if (std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr) {
        SDL_SetWindowTitle(window, utf8.c_str());
        std::setlocale(LC_CTYPE, saved.c_str());
        return;
    }
    SDL_SetWindowTitle(window, AsciiTitle(utf8).c_str());
}

// Port pixels are A, R, G, B in memory; a 32-bit X or ARGB surface wants that as one
// native-endian word: one byte swap a pixel on a little-endian machine, none on a big one.
void CopyRowsSwapped(const UInt8* base, SInt32 rowBytes, SDL_Surface* target, const SDL_Rect& r) {
    for (int y = r.y; y < r.y + r.h; ++y) {
        const auto* src = reinterpret_cast<const Uint32*>(base + std::ptrdiff_t(y) * rowBytes) + r.x;
        auto* row = static_cast<Uint8*>(target->pixels) + std::ptrdiff_t(y) * target->pitch;
        auto* dst = reinterpret_cast<Uint32*>(row) + r.x;
        for (int x = 0; x < r.w; ++x) dst[x] = SDL_SwapBE32(src[x]) | 0xFF000000u;
    }
}

}  // namespace

struct LiveEventSource::Impl {
    enum class Kind { Input, Close, End };
    struct Queued {
        Kind kind = Kind::Input;
        InputEvent input;
    };

    SDL_Window* window = nullptr;
    Uint32 windowID = 0;
    bool onScreen = false;
    WindowRef shown = nullptr;  // compared, never followed: the toolbox may have disposed of it
    Rect shownBounds{};
    std::string shownTitle;
    std::vector<WindowRef> hooked;
    bool whole = true;
    bool dirtyAny = false;
    Rect dirty{};
    Clock::duration interval = std::chrono::microseconds(16667);
    Clock::time_point lastPresent{};
    // Pictures the display could take now: one more every frame, up to kFrameCredit.
    double credit = kFrameCredit;
    Clock::time_point creditAt{};
    std::deque<Queued> queue;
    bool buttonDown = false;
    bool ended = false;
    UInt32 modifiers = 0;
    Point pointer{0, 0};  // the pointer input handed out last
    Point latest{0, 0};   // the pointer as last read from the display, maybe not handed out yet
    long frames = 0;
    PresentObserver presentObserver;
    WindowListObserver previousObserver;

    ~Impl();
    bool Start(std::string* whyNot);
    InputEvent Next();
    // Presenting.
    static void OnFlush(CGrafPtr port, const Rect& dirty, void* refCon);
    void OnWindowListChanged();
    bool NeedsPresent() const { return whole || dirtyAny; }
    double CreditNow() const;
    Clock::duration UntilDue() const;
    bool PresentDue() const { return UntilDue() <= Clock::duration::zero(); }
    void Present();
    void Adopt(WindowRef front, const Rect& bounds);
    void Hook(WindowRef front);
    void Hide();
    void CopyToScreen(WindowRef front, const Rect& area);
    // Input.
    void Pump();
    void Wait();
    void Translate(const SDL_Event& e);
    void TranslateButton(const SDL_MouseButtonEvent& b);
    void TranslateKey(const SDL_KeyboardEvent& k);
    void TranslateText(const char* utf8);
    void TranslateWindowEvent(const SDL_WindowEvent& w);
    void QueuePointer(InputType type, Point where);
    void QueueKey(char c);
    InputEvent Pop();
    InputEvent CloseFrontWindow();
    Point ToGlobal(int x, int y) const;
};

bool LiveEventSource::Impl::Start(std::string* whyNot) {
    // A dialog must not take over the session: no signal handlers, no compositor bypass,
    // no screensaver block, and the plain X framebuffer (it sends only what changed).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const bool driverChosen = EnvironmentNames("SDL_VIDEODRIVER");
    if (!driverChosen) SDL_SetHint(SDL_HINT_VIDEODRIVER, DriversOfTheDisplay().c_str());
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (whyNot) *whyNot = "cannot open the display " + DisplayName() + " (" + SDL_GetError() + ")";
        return false;
    }
    // Belt and braces: a display nobody sees is no display, unless asked for by name.
    if (!driverChosen && IsUnseenDriver(SDL_GetCurrentVideoDriver())) {
        if (whyNot) *whyNot = "cannot open the display " + DisplayName() + " (only an unseen video driver answered)";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    window = SDL_CreateWindow("Tonefade", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 320, 200, SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        if (whyNot) *whyNot = std::string("cannot open a window on the display: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    windowID = SDL_GetWindowID(window);
    SDL_DisplayMode mode{};
    if (SDL_GetCurrentDisplayMode(std::max(0, SDL_GetWindowDisplayIndex(window)), &mode) == 0 && mode.refresh_rate > 0)
        interval = std::chrono::microseconds(1000000 / mode.refresh_rate);
    modifiers = MacModifiers(Uint16(SDL_GetModState()));
    previousObserver = SetWindowListObserver([this] { OnWindowListChanged(); });
    return true;
}

LiveEventSource::Impl::~Impl() {
    if (window == nullptr) return;
    SetWindowListObserver(std::move(previousObserver));
    for (WindowRef w : hooked) {
        CGrafPtr port = IsLiveWindow(w) ? GetWindowPort(w) : nullptr;
        if (port && port->flushHook == &Impl::OnFlush && port->flushRefCon == this)
            SetPortFlushHook(port, nullptr, nullptr);
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// --- Presenting -------------------------------------------------------------------------

void LiveEventSource::Impl::OnFlush(CGrafPtr port, const Rect& area, void* refCon) {
    auto* self = static_cast<Impl*>(refCon);
    WindowRef front = FrontWindow();
    if (front == nullptr || front != self->shown || GetWindowPort(front) != port) return;
    self->dirty = self->dirtyAny ? Union(self->dirty, area) : area;
    self->dirtyAny = true;
}

void LiveEventSource::Impl::OnWindowListChanged() {
    whole = true;
    // With nothing left to show, the desktop window goes at once: the host may not ask
    // for input again for a while (it saves, renders) and must not leave a stale dialog up.
    if (FrontWindow() == nullptr) Hide();
    if (previousObserver) previousObserver();
}

void LiveEventSource::Impl::Hide() {
    if (onScreen) SDL_HideWindow(window);
    onScreen = false;
    shown = nullptr;
}

// The display's pace as a budget rather than a fixed beat: a picture costs a frame of
// credit, and credit comes back at the refresh rate. Over any stretch of time there are
// at most two pictures more than the display shows, and never two within half a frame;
// yet input that comes about once a frame is shown the moment it is drawn, even after a
// hiccup, instead of locking onto a beat it has drifted away from.
double LiveEventSource::Impl::CreditNow() const {
    const double frames = std::chrono::duration<double>(Clock::now() - creditAt) / interval;
    return std::min(kFrameCredit, credit + frames);
}

Clock::duration LiveEventSource::Impl::UntilDue() const {
    const auto forCredit = std::chrono::duration_cast<Clock::duration>((1.0 - CreditNow()) * interval);
    const auto forGap = lastPresent + interval / 2 - Clock::now();
    return std::max(forCredit, forGap);
}

void LiveEventSource::Impl::Present() {
    WindowRef front = FrontWindow();
    if (front == nullptr) {
        Hide();
    } else {
        Rect bounds{};
        GetWindowBounds(front, kWindowContentRgn, &bounds);
        if (front != shown || !onScreen || Width(bounds) != Width(shownBounds) ||
            Height(bounds) != Height(shownBounds) || WindowTitleUTF8(front) != shownTitle)
            Adopt(front, bounds);
        shownBounds = bounds;
        Hook(front);
        Rect local{0, 0, Height(bounds), Width(bounds)};
        Rect area = local;
        if (!whole) SectRect(&dirty, &local, &area);
        CopyToScreen(front, area);
    }
    whole = dirtyAny = false;
    lastPresent = Clock::now();
    credit = CreditNow() - 1.0;
    creditAt = lastPresent;
    ++frames;
    if (!presentObserver) return;
    int w = 0, h = 0;
    if (onScreen) SDL_GetWindowSize(window, &w, &h);
    presentObserver(PresentInfo{lastPresent, pointer, frames, shown, w, h});
}

// The front window's port tells when its picture changes. Hooked at every picture, not
// only when the front changes: a window disposed of and a new one made in its place may
// share an address, but not a hook.
void LiveEventSource::Impl::Hook(WindowRef front) {
    SetPortFlushHook(GetWindowPort(front), &Impl::OnFlush, this);
    if (std::find(hooked.begin(), hooked.end(), front) == hooked.end()) hooked.push_back(front);
}

// The desktop window takes on a new toolbox window: its size (kept centred where the
// last one was) and its title.
void LiveEventSource::Impl::Adopt(WindowRef front, const Rect& bounds) {
    const int w = Width(bounds), h = Height(bounds);
    int oldW = 0, oldH = 0, x = 0, y = 0;
    SDL_GetWindowSize(window, &oldW, &oldH);
    SDL_GetWindowPosition(window, &x, &y);
    if (w != oldW || h != oldH) {
        SDL_SetWindowSize(window, w, h);
        if (onScreen)
            SDL_SetWindowPosition(window, x + (oldW - w) / 2, y + (oldH - h) / 2);
        else
            SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    shownTitle = WindowTitleUTF8(front);
    SetDesktopTitle(window, shownTitle);
    if (!onScreen) SDL_ShowWindow(window);
    onScreen = true;
    shown = front;
    whole = true;
}

void LiveEventSource::Impl::CopyToScreen(WindowRef front, const Rect& area) {
    SDL_Surface* target = SDL_GetWindowSurface(window);
    if (target == nullptr || EmptyRect(&area)) return;
    PixMapHandle pm = GetPortPixMap(GetWindowPort(front));
    const auto* base = reinterpret_cast<const UInt8*>(GetPixBaseAddr(pm));
    const SInt32 rowBytes = GetPixRowBytes(pm);
    const int w = Width(shownBounds), h = Height(shownBounds);
    const bool swappable = target->format->BytesPerPixel == 4 && target->format->Rmask == 0x00FF0000u &&
                           target->format->Gmask == 0x0000FF00u && target->format->Bmask == 0x000000FFu;
    if (target->w == w && target->h == h && swappable) {
        const SDL_Rect r{area.left, area.top, Width(area), Height(area)};
        if (SDL_MUSTLOCK(target)) SDL_LockSurface(target);
        CopyRowsSwapped(base, rowBytes, target, r);
        if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
        SDL_UpdateWindowSurfaceRects(window, &r, 1);
        return;
    }
    // A window manager that sized the window otherwise, or an unusual screen format.
    SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<UInt8*>(base), w, h, 32, rowBytes,
                                                             SDL_PIXELFORMAT_ARGB32);
    if (source == nullptr) return;
    SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
    SDL_BlitScaled(source, nullptr, target, nullptr);
    SDL_FreeSurface(source);
    SDL_UpdateWindowSurface(window);
}

// --- Input ----------------------------------------------------------------------------

InputEvent LiveEventSource::Impl::Next() {
    for (;;) {
        // The picture first: it shows the input handed out last, and the input now waiting
        // is read against the window it shows.
        if (NeedsPresent() && PresentDue()) Present();
        Pump();
        if (!queue.empty()) return Pop();
        if (ended) return InputEvent{InputType::End, pointer, modifiers};
        Wait();
    }
}

void LiveEventSource::Impl::Pump() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) Translate(e);
}

// Sleeps until input comes or, with a picture waiting, until the display can take it.
void LiveEventSource::Impl::Wait() {
    int timeout = -1;
    if (NeedsPresent()) {
        const double ms = std::chrono::duration<double, std::milli>(UntilDue()).count();
        timeout = std::clamp(int(std::ceil(ms)), 1, 1000);
    }
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, timeout)) Translate(e);
}

void LiveEventSource::Impl::Translate(const SDL_Event& e) {
    switch (e.type) {
        case SDL_MOUSEMOTION:
            if (e.motion.windowID == windowID)
                QueuePointer(buttonDown ? InputType::MouseDragged : InputType::MouseMoved,
                             ToGlobal(e.motion.x, e.motion.y));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: TranslateButton(e.button); break;
        case SDL_KEYDOWN:
        case SDL_KEYUP: TranslateKey(e.key); break;
        case SDL_TEXTINPUT: TranslateText(e.text.text); break;
        case SDL_WINDOWEVENT: TranslateWindowEvent(e.window); break;
        case SDL_QUIT: queue.push_back(Queued{Kind::End, {}}); break;
        default: break;
    }
}

void LiveEventSource::Impl::TranslateButton(const SDL_MouseButtonEvent& b) {
    // One button, as on the Mac: the others mean nothing to the toolbox.
    if (b.windowID != windowID || b.button != SDL_BUTTON_LEFT) return;
    const bool down = b.type == SDL_MOUSEBUTTONDOWN;
    if (down == buttonDown) return;
    buttonDown = down;
    QueuePointer(down ? InputType::MouseDown : InputType::MouseUp, ToGlobal(b.x, b.y));
}

void LiveEventSource::Impl::TranslateKey(const SDL_KeyboardEvent& k) {
    const UInt32 before = modifiers;
    modifiers = MacModifiers(k.keysym.mod);
    if (IsModifierKey(k.keysym.sym)) {
        if (modifiers != before)
            queue.push_back(Queued{Kind::Input, InputEvent{InputType::ModifiersChanged, pointer, modifiers}});
        return;
    }
    if (k.type != SDL_KEYDOWN) return;
    if (char c = ControlKeyChar(k.keysym.sym)) return QueueKey(c);
    // With Command down no text is typed, so the key itself is the character (Command-period).
    if ((modifiers & cmdKey) && k.keysym.sym >= 32 && k.keysym.sym < 127) QueueKey(char(k.keysym.sym));
}

void LiveEventSource::Impl::TranslateText(const char* utf8) {
    if (modifiers & cmdKey) return;  // the key went in as a Command key already
    bool lossless = true;
    const std::string mac = UTF8ToMacRoman(utf8, &lossless);
    if (!lossless) return;  // a character the toolbox's text cannot hold
    for (char c : mac) QueueKey(c);
}

void LiveEventSource::Impl::TranslateWindowEvent(const SDL_WindowEvent& w) {
    if (w.windowID != windowID) return;
    switch (w.event) {
        case SDL_WINDOWEVENT_CLOSE:
            if (buttonDown) {  // a drag in progress ends where it is before the window goes
                buttonDown = false;
                QueuePointer(InputType::MouseUp, latest);
            }
            queue.push_back(Queued{Kind::Close, {}});
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: modifiers = MacModifiers(Uint16(SDL_GetModState())); break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: whole = true; break;
        default: break;
    }
}

void LiveEventSource::Impl::QueuePointer(InputType type, Point where) {
    latest = where;
    const bool move = type == InputType::MouseDragged || type == InputType::MouseMoved;
    if (move && !queue.empty() && queue.back().kind == Kind::Input && queue.back().input.type == type &&
        queue.back().input.modifiers == modifiers) {
        queue.back().input.where = where;
        return;
    }
    queue.push_back(Queued{Kind::Input, InputEvent{type, where, modifiers}});
}

void LiveEventSource::Impl::QueueKey(char c) {
    queue.push_back(Queued{Kind::Input, InputEvent{InputType::KeyDown, pointer, modifiers, c, KeyCodeForChar(c)}});
}

InputEvent LiveEventSource::Impl::Pop() {
    Queued q = queue.front();
    queue.pop_front();
    if (q.kind == Kind::Close) return CloseFrontWindow();
    if (q.kind == Kind::End) ended = true;
    if (ended) return InputEvent{InputType::End, pointer, modifiers};
    if (q.input.type != InputType::KeyDown && q.input.type != InputType::ModifiersChanged) pointer = q.input.where;
    return q.input;
}

// Closing the desktop window cancels the window it shows. The loop notices once it
// gets input back, so it gets a move that means nothing. Without a modal window there
// is nothing to cancel, and closing ends the input altogether.
InputEvent LiveEventSource::Impl::CloseFrontWindow() {
    WindowRef front = FrontWindow();
    if (front == nullptr || !IsModalLoopRunning(front)) {
        ended = true;
        return InputEvent{InputType::End, pointer, modifiers};
    }
    CancelModalLoop(front);
    return InputEvent{InputType::MouseMoved, pointer, modifiers};
}

// Desktop window pixels to global toolbox coordinates, through any scaling the window
// manager forced on the window.
Point LiveEventSource::Impl::ToGlobal(int x, int y) const {
    int ww = 0, wh = 0;
    SDL_GetWindowSize(window, &ww, &wh);
    const int cw = Width(shownBounds), ch = Height(shownBounds);
    if (ww > 0 && cw > 0 && ww != cw) x = int((long long)x * cw / ww);
    if (wh > 0 && ch > 0 && wh != ch) y = int((long long)y * ch / wh);
    return Point{Clamp16(long(shownBounds.top) + y), Clamp16(long(shownBounds.left) + x)};
}

// SDL's dummy and offscreen drivers draw where nobody sees and take no input: a person
// cannot use them, but tests and benchmarks can.
bool LiveEventSource::DisplayAvailable() {
    if (IsUnseenDriver(std::getenv("SDL_VIDEODRIVER"))) return false;
    return EnvironmentNames("DISPLAY") || EnvironmentNames("WAYLAND_DISPLAY") || EnvironmentNames("SDL_VIDEODRIVER");
}

std::unique_ptr<LiveEventSource> LiveEventSource::Open(std::string* whyNot) {
    if (!DisplayAvailable() && !EnvironmentNames("SDL_VIDEODRIVER")) {
        if (whyNot) *whyNot = "no display (DISPLAY is not set)";
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    if (!impl->Start(whyNot)) return nullptr;
    return std::unique_ptr<LiveEventSource>(new LiveEventSource(std::move(impl)));
}

InputEvent LiveEventSource::NextInput() { return impl_->Next(); }
void LiveEventSource::SetPresentObserver(PresentObserver observer) { impl_->presentObserver = std::move(observer); }
double LiveEventSource::RefreshRate() const {
    return 1.0 / std::chrono::duration<double>(impl_->interval).count();
}

void LiveEventSource::Inject(Synthetic what, int x, int y) {
    SDL_Event e{};
    if (what == Synthetic::CloseWindow) {
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = impl_->windowID;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
    } else if (what == Synthetic::Move) {
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = impl_->windowID;
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.type = what == Synthetic::Press ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = impl_->windowID;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.clicks = 1;
        e.button.x = x;
        e.button.y = y;
    }
    SDL_PushEvent(&e);
}

#else  // built without SDL2: there is never a display, and the host stays headless

struct LiveEventSource::Impl {};

bool LiveEventSource::DisplayAvailable() { return false; }
std::unique_ptr<LiveEventSource> LiveEventSource::Open(std::string* whyNot) {
    if (whyNot) *whyNot = "this build has no display support (SDL2 was not found)";
    return nullptr;
}
InputEvent LiveEventSource::NextInput() { return InputEvent{}; }
void LiveEventSource::SetPresentObserver(PresentObserver) {}
double LiveEventSource::RefreshRate() const { return 0; }
void LiveEventSource::Inject(Synthetic, int, int) {}

#endif

LiveEventSource::LiveEventSource(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
LiveEventSource::~LiveEventSource() = default;

}  // namespace toolbox
