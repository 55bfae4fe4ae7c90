// The live event source and presenter on SDL's dummy video driver, so that it runs with
// no screen: pointer input in the coordinates of the window shown, the key and modifier
// mapping, closing the desktop window, nested modal windows in turn, and pictures shown
// when a port changes, with the right colours, no faster than the display.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "controls/Controls.h"
#include "input/LiveEventSource.h"
#include "windows/EventLoop.h"
#include "windows/MacWindows.h"

namespace {

using toolbox::InputType;
using toolbox::LiveEventSource;
using Clock = std::chrono::steady_clock;

std::string Code(UInt32 c) { return std::string{char(c >> 24), char(c >> 16), char(c >> 8), char(c)}; }

void PushKey(Uint32 type, SDL_Keycode sym, Uint16 mod) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

void PushText(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    SDL_PushEvent(&e);
}

// The desktop window the source made, found by the title it shows.
SDL_Window* DesktopWindowTitled(const std::string& title) {
    for (Uint32 id = 1; id < 256; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id); w && title == SDL_GetWindowTitle(w)) return w;
    return nullptr;
}

class LiveSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        live_ = LiveEventSource::Open(&why);
        if (!live_) GTEST_SKIP() << "no display for the live source: " << why;
        live_->SetPresentObserver([this](const LiveEventSource::PresentInfo& p) {
            presents_.push_back(p);
            if (onPresent_) onPresent_(p);
        });
    }
    void TearDown() override {
        for (WindowRef w : windows_) DisposeWindow(w);
        live_.reset();
        EXPECT_EQ(toolbox::LiveWindowCount(), 0);
    }

    // A movable modal window with its commands logged as "TITLE:CODE".
    WindowRef NewWindow(const std::string& title, Rect bounds) {
        WindowRef w = nullptr;
        EXPECT_EQ(CreateNewWindow(kMovableModalWindowClass, 0, &bounds, &w), noErr);
        CFStringRef cf = CFStringCreateWithCString(nullptr, title.c_str(), kCFStringEncodingUTF8);
        SetWindowTitleWithCFString(w, cf);
        CFRelease(cf);
        EventTypeSpec command{kEventClassCommand, kEventCommandProcess};
        InstallEventHandler(GetWindowEventTarget(w), Commands, 1, &command, this, nullptr);
        windows_.push_back(w);
        return w;
    }
    ControlRef AddButton(WindowRef w, Rect r, const char* title, UInt32 command) {
        ControlRef c = nullptr;
        CFStringRef cf = CFStringCreateWithCString(nullptr, title, kCFStringEncodingUTF8);
        CreatePushButtonControl(w, &r, cf, &c);
        CFRelease(cf);
        SetControlCommandID(c, command);
        if (command == kHICommandCancel) SetWindowCancelButton(w, c);
        return c;
    }
    static OSStatus Commands(EventHandlerCallRef, EventRef event, void* self) {
        auto* test = static_cast<LiveSourceTest*>(self);
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        WindowRef front = FrontWindow();
        test->log_.push_back(toolbox::WindowTitleUTF8(front) + ":" + Code(command.commandID));
        if (command.commandID == kHICommandCancel) QuitAppModalLoopForWindow(front);
        if (command.commandID == FOUR_CHAR_CODE("open") && test->onOpen_) test->onOpen_();
        return noErr;
    }
    void Paint(WindowRef w, RGBColor color, Rect r) {
        toolbox::SaveGWorld saved;
        SetPortWindowPort(w);
        RGBForeColor(&color);
        PaintRect(&r);
        QDFlushPortBuffer(GetWindowPort(w), nullptr);
    }
    toolbox::InputEvent Next() { return live_->NextInput(); }

    std::unique_ptr<LiveEventSource> live_;
    std::vector<LiveEventSource::PresentInfo> presents_;
    std::function<void(const LiveEventSource::PresentInfo&)> onPresent_;
    std::function<void()> onOpen_;
    std::vector<std::string> log_;
    std::vector<WindowRef> windows_;
};

TEST_F(LiveSourceTest, PointerInputComesInGlobalCoordinatesOfTheWindowShown) {
    WindowRef w = NewWindow("Pointer", Rect{50, 100, 150, 300});
    ShowWindow(w);
    live_->Inject(LiveEventSource::Synthetic::Press, 10, 20);
    live_->Inject(LiveEventSource::Synthetic::Move, 15, 25);
    live_->Inject(LiveEventSource::Synthetic::Move, 30, 40);
    live_->Inject(LiveEventSource::Synthetic::Release, 30, 40);
    // The two moves came before the toolbox asked: only the later one counts.
    for (auto [type, h, v] : {std::tuple{InputType::MouseDown, 110, 70}, {InputType::MouseDragged, 130, 90},
                              {InputType::MouseUp, 130, 90}}) {
        const toolbox::InputEvent e = Next();
        EXPECT_EQ(std::make_tuple(int(e.type), int(e.where.h), int(e.where.v)), std::make_tuple(int(type), h, v));
    }
    ASSERT_FALSE(presents_.empty());
    EXPECT_EQ(std::make_tuple(presents_[0].window, presents_[0].width, presents_[0].height),
              std::make_tuple(w, 200, 100));
    EXPECT_NE(DesktopWindowTitled("Pointer"), nullptr);
}

// Ctrl-period, a shifted É, an Alt-click, the Super key, then the keys that type no text.
void PushTheKeys(LiveEventSource& live) {
    PushKey(SDL_KEYDOWN, SDLK_LCTRL, KMOD_LCTRL);
    PushKey(SDL_KEYDOWN, SDLK_PERIOD, KMOD_LCTRL);
    PushText(".");  // the text of a Command key is not typed as well
    PushKey(SDL_KEYUP, SDLK_LCTRL, 0);
    PushKey(SDL_KEYDOWN, SDLK_LSHIFT, KMOD_LSHIFT);
    PushText("\xC3\x89");  // É, 0x83 in Mac Roman
    PushKey(SDL_KEYUP, SDLK_LSHIFT, 0);
    PushKey(SDL_KEYDOWN, SDLK_LALT, KMOD_LALT);
    live.Inject(LiveEventSource::Synthetic::Press, 5, 5);
    PushKey(SDL_KEYUP, SDLK_LALT, 0);
    PushKey(SDL_KEYDOWN, SDLK_LGUI, KMOD_LGUI);
    PushKey(SDL_KEYUP, SDLK_LGUI, 0);
    for (SDL_Keycode k : {SDLK_RETURN, SDLK_KP_ENTER, SDLK_ESCAPE, SDLK_BACKSPACE, SDLK_DELETE, SDLK_TAB, SDLK_LEFT,
                          SDLK_RIGHT, SDLK_UP, SDLK_DOWN})
        PushKey(SDL_KEYDOWN, k, 0);
}

TEST_F(LiveSourceTest, KeysAndModifiersBecomeTheMacs) {
    ShowWindow(NewWindow("Keys", Rect{40, 40, 140, 240}));
    PushTheKeys(*live_);
    struct Want {
        InputType type;
        UInt32 modifiers;
        int charCode;
        UInt32 keyCode;
    };
    const std::vector<Want> wants = {
        {InputType::ModifiersChanged, cmdKey, 0, 0}, {InputType::KeyDown, cmdKey, '.', 47},
        {InputType::ModifiersChanged, 0, 0, 0},      {InputType::ModifiersChanged, shiftKey, 0, 0},
        {InputType::KeyDown, shiftKey, 0x83, 0xFF},  {InputType::ModifiersChanged, 0, 0, 0},
        {InputType::ModifiersChanged, optionKey, 0, 0}, {InputType::MouseDown, optionKey, 0, 0},
        {InputType::ModifiersChanged, 0, 0, 0},      {InputType::ModifiersChanged, cmdKey, 0, 0},
        {InputType::ModifiersChanged, 0, 0, 0},      {InputType::KeyDown, 0, '\r', 36},
        {InputType::KeyDown, 0, 3, 76},              {InputType::KeyDown, 0, 27, 53},
        {InputType::KeyDown, 0, '\b', 51},           {InputType::KeyDown, 0, 127, 117},
        {InputType::KeyDown, 0, '\t', 48},           {InputType::KeyDown, 0, 28, 123},
        {InputType::KeyDown, 0, 29, 124},            {InputType::KeyDown, 0, 30, 126},
        {InputType::KeyDown, 0, 31, 125}};
    for (std::size_t i = 0; i < wants.size(); ++i) {
        toolbox::InputEvent e = Next();
        EXPECT_EQ(int(e.type), int(wants[i].type)) << "input " << i;
        EXPECT_EQ(e.modifiers, wants[i].modifiers) << "input " << i;
        if (e.type != InputType::KeyDown) continue;
        EXPECT_EQ(UInt8(e.charCode), wants[i].charCode) << "input " << i;
        EXPECT_EQ(e.keyCode, wants[i].keyCode) << "input " << i;
    }
}

// The outer window's "open" button runs an inner modal window. The desktop window shows
// the inner one in turn; closing it cancels the inner window only, the outer one comes
// back, and closing that cancels it too.
TEST_F(LiveSourceTest, ClosingTheDesktopWindowCancelsTheWindowItShowsInTurn) {
    WindowRef outer = NewWindow("Outer", Rect{100, 100, 300, 400});
    AddButton(outer, Rect{20, 20, 44, 120}, "Open", FOUR_CHAR_CODE("open"));
    AddButton(outer, Rect{60, 20, 84, 120}, "Cancel", kHICommandCancel);
    WindowRef inner = NewWindow("Inner", Rect{150, 150, 250, 350});
    AddButton(inner, Rect{60, 20, 84, 120}, "Cancel", kHICommandCancel);
    bool innerDone = false;
    onOpen_ = [&] {
        ShowWindow(inner);
        BringToFront(inner);
        RunAppModalLoopForWindow(inner);
        innerDone = true;
        HideWindow(inner);
        log_.push_back("inner returned");
    };
    // Each step is keyed to what happened, not to how many frames were shown: a slow
    // machine may present the outer window again between the press and the release.
    bool clicked = false, innerClosed = false, outerClosed = false;
    onPresent_ = [&](const LiveEventSource::PresentInfo& p) {
        bool* step = p.window == inner ? &innerClosed : !clicked ? &clicked : innerDone ? &outerClosed : nullptr;
        if (p.window != inner && p.window != outer) step = nullptr;
        if (step == nullptr || *step) return;
        *step = true;
        if (step == &clicked) {
            live_->Inject(LiveEventSource::Synthetic::Press, 70, 32);
            live_->Inject(LiveEventSource::Synthetic::Release, 70, 32);
        } else {
            live_->Inject(LiveEventSource::Synthetic::CloseWindow, 0, 0);
        }
    };
    ShowWindow(outer);
    {
        toolbox::ScopedEventSource input(live_.get());
        ASSERT_EQ(RunAppModalLoopForWindow(outer), noErr);
    }
    EXPECT_EQ(log_, (std::vector<std::string>{"Outer:open", "Inner:not!", "inner returned", "Outer:not!"}));
    std::vector<std::pair<WindowRef, int>> shown;
    for (auto& p : presents_)
        if (shown.empty() || shown.back().first != p.window) shown.emplace_back(p.window, p.width);
    EXPECT_EQ(shown, (std::vector<std::pair<WindowRef, int>>{{outer, 300}, {inner, 200}, {outer, 300}}));
}

TEST_F(LiveSourceTest, ClosingMidDragReleasesTheButtonAndWithoutAModalLoopEndsTheInput) {
    ShowWindow(NewWindow("Drag", Rect{10, 10, 110, 210}));
    live_->Inject(LiveEventSource::Synthetic::Press, 10, 10);
    live_->Inject(LiveEventSource::Synthetic::Move, 20, 30);
    live_->Inject(LiveEventSource::Synthetic::CloseWindow, 0, 0);
    EXPECT_EQ(Next().type, InputType::MouseDown);
    EXPECT_EQ(Next().type, InputType::MouseDragged);
    toolbox::InputEvent up = Next();
    EXPECT_EQ(std::make_tuple(int(up.type), int(up.where.h), int(up.where.v)), std::make_tuple(int(InputType::MouseUp), 30, 40));
    EXPECT_EQ(Next().type, InputType::End);
    EXPECT_EQ(Next().type, InputType::End);
}

TEST_F(LiveSourceTest, APortChangeIsShownWithoutWaitingForInputAndMovesAloneDrawNothing) {
    WindowRef w = NewWindow("Picture", Rect{30, 30, 130, 230});
    ShowWindow(w);
    auto moveLater = [&](int x) {  // once the display could take a new picture
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        live_->Inject(LiveEventSource::Synthetic::Move, x, 1);
        Next();
    };
    moveLater(1);  // shown, and whatever the display reports about showing it settled
    moveLater(2);
    const std::size_t shown = presents_.size();
    ASSERT_GE(shown, 1u);
    for (int i = 0; i < 3; ++i) moveLater(3 + i);
    EXPECT_EQ(presents_.size(), shown) << "the pointer moved, nothing changed, and the window was drawn again";
    Paint(w, RGBColor{0xFFFF, 0x8000, 0}, Rect{10, 20, 40, 60});
    Clock::time_point injected{};
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        injected = Clock::now();
        live_->Inject(LiveEventSource::Synthetic::Move, 9, 9);
    });
    Next();
    later.join();
    ASSERT_EQ(presents_.size(), shown + 1);
    EXPECT_LT(presents_.back().presentedAt, injected);
    SDL_Window* desktop = DesktopWindowTitled("Picture");
    ASSERT_NE(desktop, nullptr);
    SDL_Surface* s = SDL_GetWindowSurface(desktop);
    ASSERT_NE(s, nullptr);
    auto pixel = [&](int x, int y) {
        Uint8 r, g, b;
        SDL_GetRGB(reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch)[x], s->format, &r, &g, &b);
        return (r << 16) | (g << 8) | b;
    };
    EXPECT_EQ(pixel(30, 20), 0xFF8000);
    EXPECT_EQ(pixel(5, 5), 0xE8E8E8);  // the window's background around it
}

TEST_F(LiveSourceTest, PicturesComeNoFasterThanTheDisplayAndTheLastOneIsShown) {
    WindowRef w = NewWindow("Rate", Rect{30, 30, 130, 230});
    ShowWindow(w);
    const std::size_t before = presents_.size();
    const Clock::time_point start = Clock::now();
    int last = 0;
    for (int i = 0; Clock::now() - start < std::chrono::milliseconds(200); ++i) {  // a drag that redraws on every move
        last = i % 200;
        Paint(w, RGBColor{UInt16(last * 300), 0, 0xFFFF}, Rect{0, 0, 100, 200});
        live_->Inject(LiveEventSource::Synthetic::Move, i % 100, 5);
        Next();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::size_t frames = presents_.size() - before;
    EXPECT_LE(double(frames), seconds * live_->RefreshRate() + 2) << frames << " frames in " << seconds << " s";
    EXPECT_GE(frames, 5u);
    for (std::size_t i = before + 1; i < presents_.size(); ++i)
        EXPECT_GE(std::chrono::duration<double>(presents_[i].presentedAt - presents_[i - 1].presentedAt).count(),
                  0.5 / live_->RefreshRate())
            << "frames " << i - 1 << " and " << i << " came closer than half a frame";
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        live_->Inject(LiveEventSource::Synthetic::Move, 1, 1);
    });
    Next();
    later.join();
    SDL_Surface* s = SDL_GetWindowSurface(DesktopWindowTitled("Rate"));
    ASSERT_NE(s, nullptr);
    Uint8 r, g, b;
    SDL_GetRGB(static_cast<Uint32*>(s->pixels)[0], s->format, &r, &g, &b);
    EXPECT_EQ(std::make_pair(int(r), int(b)), std::make_pair((last * 300) >> 8, 0xFF));
}

}  // namespace
