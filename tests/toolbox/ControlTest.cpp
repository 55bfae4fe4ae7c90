// Control Manager: lookup by ID, values and their redraws, data tags, hilite states,
// hiding, focus, and the slider's geometry that tracking and scripts share.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "controls/Controls.h"
#include "input/EventScript.h"
#include "support/Toolbox.h"

namespace {

int gDraws = 0;
OSStatus CountDraws(EventHandlerCallRef, EventRef event, void*) {
    if (GetEventKind(event) == kEventControlDraw) ++gDraws;
    return noErr;
}

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        Rect r{100, 100, 300, 500};
        ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &r, &window_), noErr);
        Rect b{10, 10, 34, 230};
        ASSERT_EQ(CreateSliderControl(window_, &b, 5, 0, 100, 0, 0, true, nullptr, &slider_), noErr);
        Rect t{40, 10, 60, 200};
        ASSERT_EQ(CreateEditTextControl(window_, &t, CFSTR("hello"), false, false, nullptr, &edit_), noErr);
        Rect s{70, 10, 90, 200};
        ASSERT_EQ(CreateStaticTextControl(window_, &s, CFSTR("label"), nullptr, &label_), noErr);
        Rect p{100, 10, 124, 200};
        ASSERT_EQ(CreatePushButtonControl(window_, &p, CFSTR("Push"), &button_), noErr);
        ControlID id{FOUR_CHAR_CODE("Sldr"), 1};
        SetControlID(slider_, &id);
    }
    void TearDown() override { DisposeWindow(window_); }
    std::pair<SInt16, SInt16> Selection() {
        ControlEditTextSelectionRec got{};
        GetControlData(edit_, 0, kControlEditTextSelectionTag, sizeof got, &got, nullptr);
        return {got.selStart, got.selEnd};
    }

    WindowRef window_ = nullptr;
    ControlRef slider_ = nullptr, edit_ = nullptr, label_ = nullptr, button_ = nullptr;
};

TEST_F(ControlTest, LookupByIDFindsTheControlOrSaysUnknownAndValuesStayInTheirRange) {
    ControlID id{FOUR_CHAR_CODE("Sldr"), 1}, other{FOUR_CHAR_CODE("Sldr"), 2};
    ControlRef c = nullptr;
    EXPECT_EQ(GetControlByID(window_, &id, &c), noErr);
    EXPECT_EQ(c, slider_);
    EXPECT_EQ(GetControlByID(window_, &other, &c), errUnknownControl);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(GetControlOwner(slider_), window_);
    EXPECT_EQ(GetControlByID(nullptr, &id, &c), errInvalidWindowRef);
    const struct {
        SInt32 set, got;
    } cases[] = {{50, 50}, {-1, 0}, {101, 100}, {100, 100}, {INT32_MIN, 0}};
    for (const auto& c : cases) {
        SetControl32BitValue(slider_, c.set);
        EXPECT_EQ(GetControl32BitValue(slider_), c.got) << c.set;
    }
    SetControl32BitValue(slider_, 90);
    SetControl32BitMaximum(slider_, 40);
    EXPECT_EQ(GetControl32BitValue(slider_), 40);
    SetControl32BitMinimum(slider_, 45);  // a range upside down keeps the value at the minimum
    EXPECT_EQ(GetControl32BitValue(slider_), 45);
    SetControl32BitMaximum(slider_, 70000);
    SetControl32BitValue(slider_, 70000);
    EXPECT_EQ(GetControlValue(slider_), 32767);  // the 16-bit view is clamped, not wrapped
}

TEST_F(ControlTest, SettingAValueRedrawsOnlyWhenItChangesAndOnlyWhenShown) {
    EventTypeSpec draw{kEventClassControl, kEventControlDraw};
    ToolboxObjectClassRef cls = nullptr;
    ASSERT_EQ(RegisterToolboxObjectClass(CFSTR("org.test.counter"), nullptr, 1, &draw, CountDraws, nullptr, &cls), noErr);
    ControlDefSpec def{kControlDefObjectClass, {cls}};
    Rect b{150, 300, 190, 390};
    ControlRef custom = nullptr;
    ASSERT_EQ(CreateCustomControl(window_, &b, &def, nullptr, &custom), noErr);
    SetControl32BitMaximum(custom, 1);
    gDraws = 0;
    SetControl32BitValue(custom, 1);
    EXPECT_EQ(gDraws, 0);  // the window is not visible
    ShowWindow(window_);
    gDraws = 0;
    SetControl32BitValue(custom, 0);
    SetControl32BitValue(custom, 0);
    SetControl32BitValue(custom, 1);
    EXPECT_EQ(gDraws, 2);
    HideControl(custom);
    gDraws = 0;
    SetControl32BitValue(custom, 0);
    Draw1Control(custom);
    EXPECT_EQ(gDraws, 0);
    DisposeControl(custom);
    EXPECT_EQ(UnregisterToolboxObjectClass(cls), noErr);
}

TEST_F(ControlTest, DataTagsAnswerPerKind) {
    const char text[] = "abc";
    ControlEditTextSelectionRec sel{0, 1};
    const struct {
        ControlRef* control;
        OSType tag;
        Size size;
        const void* data;
        OSStatus status;
    } cases[] = {
        {&edit_, kControlEditTextTextTag, 3, text, noErr},
        {&label_, kControlStaticTextTextTag, 3, text, noErr},
        {&slider_, kControlEditTextTextTag, 3, text, errDataNotSupported},
        {&button_, kControlEditTextTextTag, 3, text, errDataNotSupported},
        {&edit_, kControlEditTextSelectionTag, sizeof sel, &sel, noErr},
        {&label_, kControlEditTextSelectionTag, sizeof sel, &sel, errDataNotSupported},
        {&edit_, kControlEditTextSelectionTag, 2, &sel, errDataSizeMismatch},
        {&edit_, kControlEditTextTextTag, -1, text, paramErr},
        {&edit_, kControlEditTextTextTag, 40000, text, paramErr},
        {&edit_, FOUR_CHAR_CODE("zzzz"), 3, text, errDataNotSupported},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetControlData(*c.control, 0, c.tag, c.size, c.data), c.status) << std::hex << c.tag;
    EXPECT_EQ(SetControlData(nullptr, 0, kControlEditTextTextTag, 3, text), errUnknownControl);
}

TEST_F(ControlTest, TextReadsBackWhollyOrCutToTheBuffer) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    Size actual = 0;
    ASSERT_EQ(GetControlData(edit_, 0, kControlEditTextTextTag, 3, buffer, &actual), noErr);
    EXPECT_EQ(std::make_pair(actual, std::string(buffer, 4)), std::make_pair(Size(5), std::string("helx")));
    ASSERT_EQ(GetControlDataSize(label_, 0, kControlStaticTextTextTag, &actual), noErr);
    EXPECT_EQ(actual, 5);
    EXPECT_EQ(GetControlData(slider_, 0, kControlEditTextTextTag, 4, buffer, &actual), errDataNotSupported);
    EXPECT_EQ(actual, 0);
}

TEST_F(ControlTest, SelectionIsKeptWithinTheText) {
    const struct {
        SInt16 start, end, gotStart, gotEnd;
    } cases[] = {{1, 3, 1, 3}, {3, 1, 1, 3}, {0, 32767, 0, 5}, {-1, -1, 5, 5}, {9, 2, 2, 5}};
    for (const auto& c : cases) {
        ControlEditTextSelectionRec sel{c.start, c.end};
        ASSERT_EQ(SetControlData(edit_, 0, kControlEditTextSelectionTag, sizeof sel, &sel), noErr);
        EXPECT_EQ(Selection(), std::make_pair(c.gotStart, c.gotEnd)) << c.start << "," << c.end;
    }
    SetControlData(edit_, 0, kControlEditTextTextTag, 2, "hi");  // new text puts the caret at its end
    EXPECT_EQ(Selection(), std::make_pair(SInt16(2), SInt16(2)));
}

TEST_F(ControlTest, HiliteTellsDisabledInactiveOrThePressedPart) {
    EXPECT_EQ(GetControlHilite(button_), kControlInactivePart);  // the window is not shown yet
    ShowWindow(window_);
    EXPECT_EQ(GetControlHilite(button_), 0);
    HiliteControl(button_, kControlButtonPart);
    EXPECT_EQ(GetControlHilite(button_), kControlButtonPart);
    HiliteControl(button_, 0);
    DeactivateControl(button_);
    EXPECT_EQ(GetControlHilite(button_), kControlInactivePart);
    DisableControl(button_);
    EXPECT_EQ(GetControlHilite(button_), kControlDisabledPart);  // disabled wins over inactive
    ActivateControl(button_);
    EnableControl(button_);
    EXPECT_EQ(GetControlHilite(button_), 0);
}

TEST_F(ControlTest, HidingErasesTheControlToTheBackground) {
    ShowWindow(window_);
    const testsupport::Pixel frameBefore = testsupport::PixelOf(window_, 10, 100);
    EXPECT_NE(frameBefore, testsupport::Background());  // the button's frame is drawn
    HideControl(button_);
    for (int x = 10; x < 200; x += 7) EXPECT_EQ(testsupport::PixelOf(window_, x, 100), testsupport::Background()) << x;
    ShowControl(button_);
    EXPECT_EQ(testsupport::PixelOf(window_, 10, 100), frameBefore);
}

TEST_F(ControlTest, OnlyVisibleEnabledEditTextsTakeTheFocus) {
    EXPECT_EQ(SetKeyboardFocus(window_, edit_, kControlFocusNextPart), noErr);
    ControlRef focus = nullptr;
    GetKeyboardFocus(window_, &focus);
    EXPECT_EQ(focus, edit_);
    EXPECT_EQ(SetKeyboardFocus(window_, button_, kControlFocusNextPart), errDataNotSupported);
    HideControl(edit_);  // hiding gives up the focus
    GetKeyboardFocus(window_, &focus);
    EXPECT_EQ(focus, nullptr);
    EXPECT_EQ(SetKeyboardFocus(window_, edit_, kControlFocusNextPart), errControlHiddenOrDisabled);
}

TEST_F(ControlTest, SliderPointsAndValuesAgreeOverTheWholeRange) {
    for (SInt32 v = 0; v <= 100; ++v) {
        Point p = toolbox::SliderPointForValue(slider_, v);
        EXPECT_EQ(toolbox::SliderValueAtPoint(slider_, p), v);
    }
    // Beyond the track's ends the value sticks at the ends.
    EXPECT_EQ(toolbox::SliderValueAtPoint(slider_, Point{20, -500}), 0);
    EXPECT_EQ(toolbox::SliderValueAtPoint(slider_, Point{20, 5000}), 100);
    SetControl32BitValue(slider_, 0);
    EXPECT_EQ(toolbox::SliderThumbRect(slider_).left, 10);  // the thumb starts flush with the control's left edge
}

OSStatus DisposeOnCommand(EventHandlerCallRef, EventRef, void* window) {
    DisposeWindow(static_cast<WindowRef>(window));
    return noErr;
}

TEST(ControlClickTest, AHandlerMayDisposeOfTheWindowItsButtonIsIn) {
    Rect b{10, 10, 34, 110};
    WindowRef w = testsupport::NewTestWindow({100, 100, 200, 300});
    ControlRef button = nullptr;
    CreatePushButtonControl(w, &b, CFSTR("Close"), &button);
    SetControlCommandID(button, FOUR_CHAR_CODE("clos"));
    EventTypeSpec fileSpec{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(w), DisposeOnCommand, 1, &fileSpec, w, nullptr);
    ShowWindow(w);
    toolbox::SaveGWorld saved;
    SetPortWindowPort(w);  // the port that tracking saved goes away with the window
    auto source = testsupport::Script("click 20 20\nclick 20 20\n");
    toolbox::ScopedEventSource scope(source.get());
    RunApplicationEventLoop();
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
    GrafPtr current = nullptr;
    GetPort(&current);
    EXPECT_TRUE(IsValidPort(current));
    EXPECT_EQ(GetWindowFromPort(current), nullptr);
    // The second click found no window and stopped the script.
    EXPECT_EQ(source->Error().Describe(), "event script line 2: no window is open");
}

}  // namespace
