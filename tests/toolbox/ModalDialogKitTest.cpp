// The dialog toolkit end to end: a nib window from a test bundle with one control of every
// kind, run modally and driven by event scripts through hit testing and tracking.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bundles/CFBundle.h"
#include "controls/Controls.h"
#include "input/EventScript.h"
#include "quickdraw/QDPng.h"
#include "support/Toolbox.h"
#include "windows/EventLoop.h"
#include "windows/Nib.h"

namespace {

struct ProbeEvent {
    EventKind kind = 0;
    Point where{0, 0};
    UInt32 modifiers = 0;
    ControlPartCode part = 0;
    WindowRef owner = nullptr;
    std::vector<std::pair<MouseTrackingResult, Point>> track;
};

std::vector<ProbeEvent> gProbe;
std::vector<SInt32> gActionValues;
std::vector<std::string> gWindowCommands;
std::vector<std::string> gAppCommands;
SInt32 gPopupValueAtCommand = -1;
int gDepthInNested = 0;

std::string CodeText(UInt32 c) { return std::string{char(c >> 24), char(c >> 16), char(c >> 8), char(c)}; }

// A custom control that reports every event it gets. Its active part is its bounds inset by 10.
OSStatus ProbeHandler(EventHandlerCallRef, EventRef event, void*) {
    ProbeEvent e;
    e.kind = GetEventKind(event);
    ControlRef c = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
    Rect bounds;
    GetControlBounds(c, &bounds);
    GetEventParameter(event, kEventParamMouseLocation, typeQDPoint, nullptr, sizeof e.where, nullptr, &e.where);
    GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof e.modifiers, nullptr, &e.modifiers);
    GetEventParameter(event, kEventParamControlPart, typeControlPartCode, nullptr, sizeof e.part, nullptr, &e.part);
    GetEventParameter(event, kEventParamControlCurrentOwningWindow, typeWindowRef, nullptr, sizeof e.owner, nullptr, &e.owner);
    OSStatus result = noErr;
    if (e.kind == kEventControlHitTest) {
        InsetRect(&bounds, 10, 10);
        ControlPartCode part = PtInRect(e.where, &bounds) ? 1 : 0;
        SetEventParameter(event, kEventParamControlPart, typeControlPartCode, sizeof part, &part);
    } else if (e.kind == kEventControlTrack) {
        MouseTrackingResult r = kMouseTrackingMouseDown;
        while (r != kMouseTrackingMouseUp) {
            Point p;
            TrackMouseLocation(nullptr, &p, &r);
            e.track.emplace_back(r, p);
        }
    } else if (e.kind == kEventControlDraw) {
        RGBColor fill = GetControl32BitValue(c) ? RGBColor{0, 0x8000, 0} : RGBColor{0x4000, 0x4000, 0xC000};
        RGBForeColor(&fill);
        PaintRect(&bounds);
    } else if (e.kind == kEventControlHit) {
        result = eventNotHandledErr;
    }
    gProbe.push_back(e);
    return result;
}

void RecordAction(ControlRef c, ControlPartCode) { gActionValues.push_back(GetControl32BitValue(c)); }

class DialogKitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bundle_ = testsupport::RegisterDialogKit();
        EventTypeSpec events[] = {{kEventClassControl, kEventControlDraw}, {kEventClassControl, kEventControlHitTest},
                                  {kEventClassControl, kEventControlHit}, {kEventClassControl, kEventControlActivate},
                                  {kEventClassControl, kEventControlOwningWindowChanged}, {kEventClassControl, kEventControlTrack}};
        ASSERT_EQ(RegisterToolboxObjectClass(CFSTR("org.tonefade.test.probe"), nullptr, 6, events, ProbeHandler, nullptr,
                                             &probeClass_), noErr);
    }
    static void TearDownTestSuite() { UnregisterToolboxObjectClass(probeClass_); }

    void SetUp() override {
        gProbe.clear();
        gActionValues.clear();
        gWindowCommands.clear();
        gAppCommands.clear();
        gPopupValueAtCommand = -1;
        ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle_, CFSTR("dialogkit"), &nib_), noErr);
        ASSERT_EQ(CreateWindowFromNib(nib_, CFSTR("allkinds"), &window_), noErr);
        EventTypeSpec command{kEventClassCommand, kEventCommandProcess};
        InstallEventHandler(GetWindowEventTarget(window_), WindowCommands, 1, &command, this, nullptr);
        InstallEventHandler(GetApplicationEventTarget(), AppCommands, 1, &command, nullptr, &appHandler_);
        SetControlAction(Control("Sldr", 1), NewControlActionUPP(RecordAction));
        SetControlAction(Control("Sldr", 2), NewControlActionUPP(RecordAction));
    }
    void TearDown() override {
        RemoveEventHandler(appHandler_);
        DisposeWindow(window_);
        DisposeNibReference(nib_);
        EXPECT_EQ(toolbox::LiveWindowCount(), 0);
    }

    ControlRef Control(const char* sig, SInt32 n) {
        ControlID id{FOUR_CHAR_CODE(*reinterpret_cast<const char(*)[5]>(sig)), n};
        ControlRef c = nullptr;
        GetControlByID(window_, &id, &c);
        return c;
    }

    // Shows the window and runs it modally on the script until a command ends the loop.
    void Run(const std::string& script) {
        source_ = testsupport::Script(script, dir_);
        ASSERT_NE(source_, nullptr);
        toolbox::ScopedEventSource scope(source_.get());
        ShowWindow(window_);
        BringToFront(window_);
        ASSERT_EQ(RunAppModalLoopForWindow(window_), noErr);
    }

    static OSStatus WindowCommands(EventHandlerCallRef, EventRef event, void* self) {
        auto* test = static_cast<DialogKitTest*>(self);
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        std::string code = CodeText(command.commandID);
        if (code == "Info") return eventNotHandledErr;
        gWindowCommands.push_back(code);
        if (code == "ok  " || code == "not!") QuitAppModalLoopForWindow(test->window_);
        if (code == "Medi") gPopupValueAtCommand = GetControl32BitValue(test->Control("Medi", 1));
        if (code == "Nest") test->RunNested();
        return noErr;
    }

    static OSStatus AppCommands(EventHandlerCallRef, EventRef event, void*) {
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        gAppCommands.push_back(CodeText(command.commandID));
        return noErr;
    }

    static OSStatus InnerCommands(EventHandlerCallRef, EventRef event, void* window) {
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        gWindowCommands.push_back("inner:" + CodeText(command.commandID));
        QuitAppModalLoopForWindow(static_cast<WindowRef>(window));
        return noErr;
    }

    void RunNested() {
        WindowRef inner = nullptr;
        ASSERT_EQ(CreateWindowFromNib(nib_, CFSTR("inner"), &inner), noErr);
        EventTypeSpec command{kEventClassCommand, kEventCommandProcess};
        InstallEventHandler(GetWindowEventTarget(inner), InnerCommands, 1, &command, inner, nullptr);
        ShowWindow(inner);
        gDepthInNested = toolbox::ModalLoopDepth() + 1;
        RunAppModalLoopForWindow(inner);
        DisposeWindow(inner);
        gWindowCommands.push_back("inner closed");
    }

    static inline CFBundleRef bundle_ = nullptr;
    static inline ToolboxObjectClassRef probeClass_ = nullptr;
    IBNibRef nib_ = nullptr;
    WindowRef window_ = nullptr;
    EventHandlerRef appHandler_ = nullptr;
    std::unique_ptr<toolbox::ScriptedEventSource> source_;
    testsupport::TempFolder folder_;
    std::string dir_ = folder_.path().string();
};

TEST_F(DialogKitTest, LiveSliderDragCallsTheActionAtEveryValueOnTheWay) {
    Run("slider Sldr 1 60\nslider Sldr 1 45\ncommand \"ok  \"\n");
    std::vector<SInt32> expected;
    for (SInt32 v = 51; v <= 60; ++v) expected.push_back(v);
    for (SInt32 v = 59; v >= 45; --v) expected.push_back(v);
    EXPECT_EQ(gActionValues, expected);
    EXPECT_EQ(GetControl32BitValue(Control("Sldr", 1)), 45);
    EXPECT_FALSE(source_->Failed());
}

// A slider that is not live takes its value only when released; a button's command goes
// to the window, and commands the window leaves go on to the application.
TEST_F(DialogKitTest, NonLiveSliderTakesItsValueWhenReleasedAndUnhandledCommandsGoOnToTheApplication) {
    Run("slider Sldr 2 7\ncommand Info\ncommand \"ok  \"\n");
    EXPECT_TRUE(gActionValues.empty());
    EXPECT_EQ(GetControl32BitValue(Control("Sldr", 2)), 7);
    EXPECT_EQ(gAppCommands, std::vector<std::string>{"Info"});
    EXPECT_EQ(gWindowCommands, std::vector<std::string>{"ok  "});
}

// OK is at 408..504 x 296..320, the disabled and hidden buttons at the left. A click on
// a button sends its command; on a disabled or hidden one, or released outside, nothing
// (the end of the script then cancels).
TEST_F(DialogKitTest, ClickOnAButtonSendsItsCommandAndDisabledHiddenOrLeftButtonsSendNothing) {
    Run("click 60 262\nclick 60 232\ndrag 450 308 450 200 3\nclick 450 308\n");
    EXPECT_EQ(gWindowCommands, std::vector<std::string>{"ok  "});
    Run("drag 450 308 450 200 3\n");
    EXPECT_EQ(gWindowCommands, (std::vector<std::string>{"ok  ", "not!"}));
}

TEST_F(DialogKitTest, PopupChoiceSetsTheValueBeforeItSendsItsCommand) {
    Run("popup Medi 1 PAL\npopup Medi 1 3\ncommand \"ok  \"\n");
    EXPECT_EQ(gWindowCommands, (std::vector<std::string>{"Medi", "Medi", "ok  "}));
    EXPECT_EQ(gPopupValueAtCommand, 3);
    EXPECT_EQ(GetControl32BitValue(Control("Medi", 1)), 3);
}

TEST_F(DialogKitTest, PopupOpenedByAClickStaysOpenUntilTheSecondClick) {
    // Click the button, then click the second item below it (items are 20 pixels high).
    Rect item = toolbox::PopupMenuItemRect(Control("Medi", 1), 2);
    Run("click 200 140\nclick 200 " + std::to_string((item.top + item.bottom) / 2) + "\ncommand \"ok  \"\n");
    EXPECT_EQ(GetControl32BitValue(Control("Medi", 1)), 2);
}

TEST_F(DialogKitTest, CustomControlGetsHitTestTrackAndHitWithTheClickAndModifiers) {
    Run("drag 420 90 450 120 3 shift\ncommand \"ok  \"\n");
    std::vector<EventKind> kinds;
    for (auto& e : gProbe) kinds.push_back(e.kind);
    auto at = [&](EventKind k) { return std::find(kinds.begin(), kinds.end(), k) - kinds.begin(); };
    ASSERT_LT(std::size_t(at(kEventControlTrack)), kinds.size());
    EXPECT_EQ(gProbe[std::size_t(at(kEventControlHitTest))].where, (Point{90, 420}));
    const ProbeEvent& track = gProbe[std::size_t(at(kEventControlTrack))];
    EXPECT_EQ(std::make_pair(track.where, track.modifiers), std::make_pair(Point{90, 420}, UInt32(shiftKey)));
    ASSERT_EQ(track.track.size(), 4u);
    EXPECT_EQ(track.track[0], std::make_pair(MouseTrackingResult(kMouseTrackingMouseDragged), Point{100, 430}));
    EXPECT_EQ(track.track[3], std::make_pair(MouseTrackingResult(kMouseTrackingMouseUp), Point{120, 450}));
    const ProbeEvent& hit = gProbe[std::size_t(at(kEventControlHit))];
    EXPECT_EQ(std::make_pair(hit.part, hit.modifiers), std::make_pair(ControlPartCode(1), UInt32(shiftKey)));
    EXPECT_GT(at(kEventControlHit), at(kEventControlTrack));
}

TEST_F(DialogKitTest, CustomControlIgnoresClicksItsHitTestRejects) {
    Run("click 392 62\ncommand \"ok  \"\n");
    int tracks = 0, hitTests = 0;
    for (auto& e : gProbe) {
        tracks += e.kind == kEventControlTrack;
        hitTests += e.kind == kEventControlHitTest;
    }
    EXPECT_EQ(hitTests, 1);
    EXPECT_EQ(tracks, 0);
}

TEST_F(DialogKitTest, CustomControlLearnsItsWindowAndIsActivatedAndDrawnWhenShown) {
    // The control was made by SetUp: its owning-window event named this window.
    ASSERT_FALSE(gProbe.empty());
    EXPECT_EQ(gProbe.front().kind, kEventControlOwningWindowChanged);
    EXPECT_EQ(gProbe.front().owner, window_);
    gProbe.clear();
    Run("command \"ok  \"\n");
    bool activated = false, drawn = false;
    for (auto& e : gProbe) {
        activated |= e.kind == kEventControlActivate;
        drawn |= e.kind == kEventControlDraw;
    }
    EXPECT_TRUE(activated);
    EXPECT_TRUE(drawn);
}

TEST_F(DialogKitTest, NestedModalLoopReturnsToTheOuterOne) {
    Run("command Nest\nsnapshot nested.png\ncommand \"ok  \"\ncommand \"ok  \"\n");
    EXPECT_EQ(gDepthInNested, 2);
    toolbox::ARGBImage image;
    ASSERT_TRUE(toolbox::ReadPNG(dir_ + "/nested.png", &image));
    EXPECT_EQ(image.width, 260);  // the snapshot was of the inner window, then in front
    EXPECT_EQ(gWindowCommands, (std::vector<std::string>{"Nest", "inner:ok  ", "inner closed", "ok  "}));
}

TEST_F(DialogKitTest, ScriptEndingInsideNestedLoopsCancelsEachLoop) {
    Run("command Nest\n");
    // The inner window has no cancel button, so its loop just ends; the outer one is cancelled.
    EXPECT_EQ(gWindowCommands, (std::vector<std::string>{"Nest", "inner closed", "not!"}));
    EXPECT_EQ(toolbox::ModalLoopDepth(), 0);
}

// Escape presses Cancel, Return the default button.
TEST_F(DialogKitTest, KeysTypeIntoTheFocusedFieldAndReturnAndEscapePressTheirButtons) {
    Run("click 370 102\nkey delete\ntype \"Fade!\"\nkey left\nkey x\nkey return\n");
    EXPECT_EQ(toolbox::ControlTextMacRoman(Control("Edit", 1)), "TonefadFadex!");
    Run("key escape\n");
    EXPECT_EQ(gWindowCommands, (std::vector<std::string>{"ok  ", "not!"}));
    EXPECT_FALSE(source_->Failed());
}

TEST_F(DialogKitTest, ALineThatCannotBeCarriedOutStopsTheRunWithItsLineNumber) {
    Run("slider Sldr 1 60\nslider Nope 3 5\ncommand \"ok  \"\n");
    ASSERT_TRUE(source_->Failed());
    EXPECT_EQ(source_->Error().line, 2);
    EXPECT_EQ(source_->Error().message, "'Nope' 3 is not a visible, enabled slider of the front window");
    // The run stopped there: the loop ended as Cancel would, not with OK.
    EXPECT_EQ(gWindowCommands, std::vector<std::string>{"not!"});
}

TEST_F(DialogKitTest, ASliderValueOutsideTheRangeOrASnapshotWithoutAWritableFolderStopsTheScript) {
    Run("slider Sldr 1 101\n");
    ASSERT_TRUE(source_->Failed());
    EXPECT_EQ(source_->Error().message, "value 101 is outside the slider's 0 to 100");
    Run("snapshot /nonexistent-folder/x.png\ncommand \"ok  \"\n");
    ASSERT_TRUE(source_->Failed());
    EXPECT_EQ(source_->Error().line, 1);
}

TEST_F(DialogKitTest, SnapshotWritesTheFrontWindowWithItsTitleBar) {
    Run("slider Sldr 1 75\npopup Medi 1 HD\nsnapshot allkinds.png\ncommand \"ok  \"\n");
    toolbox::ARGBImage image;
    std::string error;
    ASSERT_TRUE(toolbox::ReadPNG(dir_ + "/allkinds.png", &image, &error)) << error;
    EXPECT_EQ(image.width, 520);
    EXPECT_EQ(image.height, 340 + kWindowTitleBarHeight);
    // The probe control paints its bounds blue (value 0); its centre pixel shows it.
    const UInt8* p = &image.pixels[std::size_t(kWindowTitleBarHeight + 115) * 520 * 4 + 445 * 4];
    EXPECT_EQ(std::vector<UInt8>(p + 1, p + 4), (std::vector<UInt8>{0x40, 0x40, 0xC0}));
}

// Plays fixed input and takes a snapshot of the front window just before one of them
// (at an index past the input, never).
class SnapshotInTheMiddle : public toolbox::EventSource {
public:
    SnapshotInTheMiddle(std::vector<toolbox::InputEvent> input, std::size_t at, std::string path)
        : input_(std::move(input)), at_(at), path_(std::move(path)) {}
    toolbox::InputEvent NextInput() override {
        if (next_ == at_) toolbox::WriteWindowPNG(FrontWindow(), path_);
        return next_ < input_.size() ? input_[next_++] : toolbox::InputEvent{};
    }

private:
    std::vector<toolbox::InputEvent> input_;
    std::size_t at_, next_ = 0;
    std::string path_;
};

TEST_F(DialogKitTest, ModifierKeysPressedDuringATrackReachTheTrackingLoop) {
    ShowWindow(window_);
    Rect content;
    GetWindowBounds(window_, kWindowContentRgn, &content);
    const Point at{SInt16(content.top + 90), SInt16(content.left + 420)};
    std::vector<toolbox::InputEvent> input = {{toolbox::InputType::MouseDown, at},
                                              {toolbox::InputType::ModifiersChanged, at, optionKey},
                                              {toolbox::InputType::MouseUp, at, optionKey}};
    SnapshotInTheMiddle source(input, 99, "");
    toolbox::ScopedEventSource scope(&source);
    RunAppModalLoopForWindow(window_);
    const ProbeEvent* track = nullptr;
    for (auto& e : gProbe)
        if (e.kind == kEventControlTrack) track = &e;
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->modifiers, 0u);  // as they were at the click
    ASSERT_EQ(track->track.size(), 2u);
    EXPECT_EQ(std::make_pair(track->track[0].first, track->track[1].first),
              std::make_pair(MouseTrackingResult(kMouseTrackingKeyModifiersChanged),
                             MouseTrackingResult(kMouseTrackingMouseUp)));
    EXPECT_EQ(GetCurrentKeyModifiers(), UInt32(optionKey));
}

TEST_F(DialogKitTest, OpenPopupShowsItsItemsWithTheOneUnderThePointerHighlighted) {
    ShowWindow(window_);
    Rect content, item = toolbox::PopupMenuItemRect(Control("Medi", 1), 2);
    GetWindowBounds(window_, kWindowContentRgn, &content);
    auto global = [&](int h, int v) { return Point{SInt16(content.top + v), SInt16(content.left + h)}; };
    const Point onItem = global((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    std::vector<toolbox::InputEvent> input = {{toolbox::InputType::MouseDown, global(200, 140)},
                                              {toolbox::InputType::MouseDragged, onItem},
                                              {toolbox::InputType::MouseUp, onItem}};
    SnapshotInTheMiddle source(input, 2, dir_ + "/popup-open.png");
    toolbox::ScopedEventSource scope(&source);
    RunAppModalLoopForWindow(window_);
    toolbox::ARGBImage image;
    ASSERT_TRUE(toolbox::ReadPNG(dir_ + "/popup-open.png", &image));
    // The hovered item is filled with the accent colour (0x2F, 0x6B, 0xD0) at its left edge.
    const UInt8* p = &image.pixels[(std::size_t(kWindowTitleBarHeight + item.top + 2) * 520 + std::size_t(item.left + 2)) * 4];
    EXPECT_EQ(std::vector<UInt8>(p + 1, p + 4), (std::vector<UInt8>{0x2F, 0x6B, 0xD0}));
    EXPECT_EQ(GetControl32BitValue(Control("Medi", 1)), 2);
    EXPECT_EQ(gPopupValueAtCommand, 2);
}

}  // namespace
