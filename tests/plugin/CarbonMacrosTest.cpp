// Control access routines against a real nib window of the test bundle.
#include <gtest/gtest.h>

#include <string>

#include "dialog/CarbonMacros.h"
#include "support/ResourceBytes.h"
#include "support/Toolbox.h"

namespace {

using restest::FromPascal;
using restest::Pascal;

constexpr UInt32 kLgnd = FOUR_CHAR_CODE("Lgnd");
constexpr UInt32 kEdit = FOUR_CHAR_CODE("Edit");
constexpr UInt32 kMedi = FOUR_CHAR_CODE("Medi");
constexpr UInt32 kFont = FOUR_CHAR_CODE("Font");
constexpr UInt32 kSldr = FOUR_CHAR_CODE("Sldr");

class CarbonMacrosTest : public ::testing::Test {
protected:
    void SetUp() override {
        IBNibRef nib = nullptr;
        ASSERT_EQ(CreateNibReferenceWithCFBundle(testsupport::RegisterDialogKit(), CFSTR("tonefade"), &nib), noErr);
        ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("macros"), &window_), noErr);
        DisposeNibReference(nib);
        ShowWindow(window_);
    }
    void TearDown() override { DisposeWindow(window_); }

    std::string ControlText(UInt32 sig, SInt16 id) {
        return toolbox::ControlTextMacRoman(SimpleGetControlByID(window_, sig, id));
    }
    // True when every pixel of the rectangle shows the window's background.
    bool Blank(const Rect& r) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (testsupport::PixelOf(window_, x, y) != testsupport::Background()) return false;
        return true;
    }

    WindowRef window_ = nullptr;
};

// On a missing control nothing changes; SetEditTextForControl sets the text without
// drawing, SimpleSetControlText redraws.
TEST_F(CarbonMacrosTest, SetControlTextRedrawsSetEditTextDoesNotAndMissingControlsAreSkipped) {
    SimpleSetControlText(window_, FOUR_CHAR_CODE("Nope"), 1, Pascal("changed"));
    SimpleSetControlText(window_, kLgnd, 2, Pascal("changed"));
    EXPECT_EQ(ControlText(kLgnd, 1) + " " + ControlText(kEdit, 1), "50% -42");
    const Rect box = SimpleGetControlBox(window_, kLgnd, 1);
    ASSERT_FALSE(Blank(box));  // "50%" is drawn
    SetEditTextForControl(Pascal("").text, window_, kLgnd, 1);
    EXPECT_EQ(ControlText(kLgnd, 1), "");
    EXPECT_FALSE(Blank(box));  // still shows the old text until it is drawn
    SimpleSetControlText(window_, kLgnd, 1, Pascal(""));
    EXPECT_TRUE(Blank(box));
}

TEST_F(CarbonMacrosTest, EditTextLongerThan255CharactersReadsAsItsFirst255) {
    std::string long300(300, 'x');
    for (std::size_t i = 0; i < long300.size(); ++i) long300[i] = char('a' + i % 26);
    ASSERT_EQ(SetControlData(SimpleGetControlByID(window_, kEdit, 1), 0, kControlEditTextTextTag, 300, long300.data()), noErr);
    Str255 text;
    GetEditTextFromControl(window_, kEdit, 1, text);
    EXPECT_EQ(FromPascal(text), long300.substr(0, 255));
    // A missing or non-text control's text is empty.
    for (UInt32 sig : {UInt32(FOUR_CHAR_CODE("Nope")), kSldr}) {
        Pascal junk("junk");
        GetEditTextFromControl(window_, sig, 1, junk.text);
        EXPECT_EQ(junk.text[0], 0);
    }
}

TEST_F(CarbonMacrosTest, NumbersGoInAndOutOfEditTexts) {
    EXPECT_EQ(GetNumberFromEditTextControl(window_, kEdit, 1), -42);
    SetEditTextToNumberForControl(2147483647, window_, kEdit, 1);
    EXPECT_EQ(ControlText(kEdit, 1), "2147483647");
    EXPECT_EQ(GetNumberFromEditTextControl(window_, kEdit, 1), 2147483647);
}

TEST_F(CarbonMacrosTest, MenuItemPositionMatchesExactlyOrGivesMinusOne) {
    ControlRef popup = SimpleGetControlByID(window_, kMedi, 1);
    const struct {
        const char* name;
        SInt16 position;
    } cases[] = {{"NTSC", 1}, {"PAL", 2}, {"HD", 3}, {"ntsc", -1}, {"Hd", -1}, {"SECAM", -1}, {"", -1}, {"NTSC ", -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(GetMenuItemPosition(popup, Pascal(c.name)), c.position) << c.name;
        EXPECT_EQ(FindNameInPopupByID(window_, kMedi, 1, Pascal(c.name)), c.position) << c.name;
    }
}

TEST_F(CarbonMacrosTest, PopupTextsFollowTheValueAndTheIndex) {
    Str255 text;
    SimpleSetControlValueByID(window_, kMedi, 1, 2);
    GetSelectedPopupTextFromID(window_, kMedi, 1, text);
    EXPECT_EQ(FromPascal(text), "PAL");
    const struct {
        SInt16 index;
        const char* text;
    } cases[] = {{1, "NTSC"}, {3, "HD"}, {0, ""}, {4, ""}, {-1, ""}};
    for (const auto& c : cases) {
        GetIndexedPopupTextFromID(window_, kMedi, 1, c.index, text);
        EXPECT_EQ(FromPascal(text), c.text) << c.index;
    }
}

TEST_F(CarbonMacrosTest, FontPopupGivesTheFamilyOfTheSelectedName) {
    const struct {
        SInt32 item;
        SInt16 family;
    } cases[] = {{1, kFontIDGeneva}, {2, kFontIDMonaco}, {3, kInvalidFontFamily}};
    for (const auto& c : cases) {
        SimpleSetControlValueByID(window_, kFont, 1, c.item);
        EXPECT_EQ(GetFontIDFromPopup(window_, kFont, 1), c.family) << c.item;
    }
}

TEST_F(CarbonMacrosTest, ValuesVisibilityAndStateGoThroughTheControlID) {
    EXPECT_EQ(SimpleGetControlValueByID(window_, kSldr, 1), 30);
    SimpleSetControlValueByID(window_, kSldr, 1, 77);
    EXPECT_EQ(SimpleGetControlValueByID(window_, kSldr, 1), 77);
    SimpleSetControlValueByID(window_, kSldr, 1, 1000);  // the slider keeps to its range
    EXPECT_EQ(SimpleGetControlValueByID(window_, kSldr, 1), 100);
    ControlRef slider = SimpleGetControlByID(window_, kSldr, 1);
    SimpleHideControl(window_, kSldr, 1);
    EXPECT_FALSE(IsControlVisible(slider));
    SimpleShowControl(window_, kSldr, 1);
    EXPECT_TRUE(IsControlVisible(slider));
    SimpleDisableControlByID(window_, kSldr, 1);
    EXPECT_EQ(GetControlHilite(slider), kControlDisabledPart);
    SimpleEnableControlByID(window_, kSldr, 1);
    EXPECT_EQ(GetControlHilite(slider), 0);
    EXPECT_EQ(SimpleGetControlBox(window_, kSldr, 1), (Rect{130, 20, 154, 220}));
    EXPECT_EQ(SimpleGetControlByID(window_, kSldr, 2), nullptr);
}

TEST_F(CarbonMacrosTest, SelectionAndFocusReachTheEditText) {
    SelectTextByIDForControl(window_, kEdit, 1, 1, 3);
    ControlEditTextSelectionRec sel{};
    ASSERT_EQ(GetControlData(SimpleGetControlByID(window_, kEdit, 1), 0, kControlEditTextSelectionTag, sizeof sel, &sel,
                             nullptr), noErr);
    EXPECT_EQ(std::make_pair(sel.selStart, sel.selEnd), std::make_pair(SInt16(1), SInt16(3)));
    SetKeyboadFocusByID(window_, kEdit, 1);
    ControlRef focus = nullptr;
    GetKeyboardFocus(window_, &focus);
    EXPECT_EQ(focus, SimpleGetControlByID(window_, kEdit, 1));
}

TEST(EventDataTest, KeyboardMouseAndWindowParametersComeOutOfTheEvent) {
    toolbox::ScopedEvent key(kEventClassKeyboard, kEventRawKeyDown);
    key.Set(kEventParamKeyMacCharCodes, typeChar, 'q');
    key.Set(kEventParamKeyCode, typeUInt32, UInt32(12));
    key.Set(kEventParamKeyModifiers, typeUInt32, UInt32(shiftKey | cmdKey));
    char ch = 0;
    UInt32 code = 0, mods = 0;
    GetWindowKeyboardDataFromEvent(key.get(), &ch, &code, &mods);
    EXPECT_EQ(std::make_tuple(ch, code, mods), std::make_tuple('q', 12u, UInt32(shiftKey | cmdKey)));

    toolbox::ScopedEvent mouse(kEventClassMouse, kEventMouseDown);
    mouse.Set(kEventParamWindowMouseLocation, typeQDPoint, Point{7, -3});
    mouse.Set(kEventParamDirectObject, typeWindowRef, reinterpret_cast<WindowRef>(0x1234));
    EXPECT_EQ(GetMouseLocFromEvent(mouse.get()), (Point{7, -3}));
    EXPECT_EQ(GetWindowFromEvent(mouse.get()), reinterpret_cast<WindowRef>(0x1234));
    EXPECT_EQ(GetWindowFromEvent(key.get()), nullptr);
}

OSStatus CountingHandler(EventHandlerCallRef, EventRef, void* count) {
    ++*static_cast<int*>(count);
    return eventNotHandledErr;
}

TEST_F(CarbonMacrosTest, InstallRoutinesPutTheHandlerOnTheirTargets) {
    int onWindow = 0, onControl = 0, onApp = 0, onMenu = 0;
    EventTypeSpectList list = {{FOUR_CHAR_CODE("test"), 1}};
    EventHandlerRef refs[4] = {};
    ControlRef popup = SimpleGetControlByID(window_, kMedi, 1);
    InstallWindowEventHandler(window_, CountingHandler, 1, list, &onWindow, &refs[0]);
    InstallControlEventHandler(popup, CountingHandler, 1, list, &onControl, &refs[1]);
    InstallApplicationEventHandler(CountingHandler, 1, list, &onApp, &refs[2]);
    InstallMenuEventHandler(GetControlPopupMenuHandle(popup), CountingHandler, 1, list, &onMenu, &refs[3]);
    toolbox::ScopedEvent event(FOUR_CHAR_CODE("test"), 1);
    // Sent to the control, the event passes on to its window and the application.
    SendEventToEventTarget(event.get(), GetControlEventTarget(popup));
    SendEventToEventTarget(event.get(), GetMenuEventTarget(GetControlPopupMenuHandle(popup)));
    EXPECT_EQ(onControl, 1);
    EXPECT_EQ(onWindow, 1);
    EXPECT_EQ(onMenu, 1);
    EXPECT_EQ(onApp, 2);
    for (EventHandlerRef r : refs) EXPECT_EQ(RemoveEventHandler(r), noErr);
}

}  // namespace
