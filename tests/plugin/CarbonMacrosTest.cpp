// Control access routines against a real nib window of the test bundle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "dialog/CarbonMacros.h"

namespace {

constexpr UInt32 kLgnd = FOUR_CHAR_CODE("Lgnd");
constexpr UInt32 kEdit = FOUR_CHAR_CODE("Edit");
constexpr UInt32 kMedi = FOUR_CHAR_CODE("Medi");
constexpr UInt32 kFont = FOUR_CHAR_CODE("Font");
constexpr UInt32 kSldr = FOUR_CHAR_CODE("Sldr");

std::string Text(ConstStr255Param s) { return std::string(reinterpret_cast<const char*>(s + 1), s[0]); }

void P(const std::string& text, Str255 out) {
    out[0] = UInt8(text.size());
    std::memcpy(out + 1, text.data(), text.size());
}

class CarbonMacrosTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("TONEFADE_SOURCE_DIR");
        std::string error;
        CFBundleRef bundle = toolbox::RegisterBundle(std::string(dir ? dir : ".") + "/tests/data/dialogkit/DialogKit.bundle", &error);
        ASSERT_NE(bundle, nullptr) << error;
        IBNibRef nib = nullptr;
        ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle, CFSTR("tonefade"), &nib), noErr);
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
        const BitMap* bits = GetPortBitMapForCopyBits(GetWindowPort(window_));
        const RGBColor bg = toolbox::WindowBackground();
        const UInt8 expected[4] = {0xFF, UInt8(bg.red >> 8), UInt8(bg.green >> 8), UInt8(bg.blue >> 8)};
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (std::memcmp(bits->baseAddr + y * bits->rowBytes + x * 4, expected, 4) != 0) return false;
        return true;
    }

    WindowRef window_ = nullptr;
};

TEST(CommandID2StrTest, GivesTheFourCharactersMostSignificantFirst) {
    Str255 s;
    CommandID2Str(0x6F6B2020, s);
    EXPECT_EQ(Text(s), "ok  ");
    CommandID2Str(FOUR_CHAR_CODE("Info"), s);
    EXPECT_EQ(Text(s), "Info");
}

TEST_F(CarbonMacrosTest, SetControlTextOnAMissingControlChangesNothing) {
    Str255 text;
    P("changed", text);
    SimpleSetControlText(window_, FOUR_CHAR_CODE("Nope"), 1, text);
    SimpleSetControlText(window_, kLgnd, 2, text);
    EXPECT_EQ(ControlText(kLgnd, 1), "50%");
    EXPECT_EQ(ControlText(kEdit, 1), "-42");
}

TEST_F(CarbonMacrosTest, SetControlTextWithEmptyTextEmptiesAndRedrawsTheControl) {
    Rect box = SimpleGetControlBox(window_, kLgnd, 1);
    ASSERT_FALSE(Blank(box));  // "50%" is drawn
    Str255 empty = {0};
    SimpleSetControlText(window_, kLgnd, 1, empty);
    EXPECT_EQ(ControlText(kLgnd, 1), "");
    EXPECT_TRUE(Blank(box));
}

TEST_F(CarbonMacrosTest, SetEditTextForControlDoesNotRedraw) {
    Rect box = SimpleGetControlBox(window_, kLgnd, 1);
    Str255 empty = {0};
    SetEditTextForControl(empty, window_, kLgnd, 1);
    EXPECT_EQ(ControlText(kLgnd, 1), "");
    EXPECT_FALSE(Blank(box));  // still shows the old text until it is drawn
}

TEST_F(CarbonMacrosTest, EditTextLongerThan255CharactersReadsAsItsFirst255) {
    std::string long300(300, 'x');
    for (std::size_t i = 0; i < long300.size(); ++i) long300[i] = char('a' + i % 26);
    ASSERT_EQ(SetControlData(SimpleGetControlByID(window_, kEdit, 1), 0, kControlEditTextTextTag, 300, long300.data()), noErr);
    Str255 text;
    GetEditTextFromControl(window_, kEdit, 1, text);
    EXPECT_EQ(Text(text), long300.substr(0, 255));
}

TEST_F(CarbonMacrosTest, EditTextOfAMissingOrNonTextControlIsEmpty) {
    Str255 text;
    P("junk", text);
    GetEditTextFromControl(window_, FOUR_CHAR_CODE("Nope"), 1, text);
    EXPECT_EQ(text[0], 0);
    P("junk", text);
    GetEditTextFromControl(window_, kSldr, 1, text);
    EXPECT_EQ(text[0], 0);
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
        Str255 name;
        P(c.name, name);
        EXPECT_EQ(GetMenuItemPosition(popup, name), c.position) << c.name;
        EXPECT_EQ(FindNameInPopupByID(window_, kMedi, 1, name), c.position) << c.name;
    }
}

TEST_F(CarbonMacrosTest, PopupTextsFollowTheValueAndTheIndex) {
    Str255 text;
    SimpleSetControlValueByID(window_, kMedi, 1, 2);
    GetSelectedPopupTextFromID(window_, kMedi, 1, text);
    EXPECT_EQ(Text(text), "PAL");
    const struct {
        SInt16 index;
        const char* text;
    } cases[] = {{1, "NTSC"}, {3, "HD"}, {0, ""}, {4, ""}, {-1, ""}};
    for (const auto& c : cases) {
        GetIndexedPopupTextFromID(window_, kMedi, 1, c.index, text);
        EXPECT_EQ(Text(text), c.text) << c.index;
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
    Rect box = SimpleGetControlBox(window_, kSldr, 1);
    EXPECT_EQ(box.left, 20);
    EXPECT_EQ(box.top, 130);
    EXPECT_EQ(box.right, 220);
    EXPECT_EQ(box.bottom, 154);
    EXPECT_EQ(SimpleGetControlByID(window_, kSldr, 2), nullptr);
}

TEST_F(CarbonMacrosTest, SelectionAndFocusReachTheEditText) {
    SelectTextByIDForControl(window_, kEdit, 1, 1, 3);
    ControlEditTextSelectionRec sel{};
    ASSERT_EQ(GetControlData(SimpleGetControlByID(window_, kEdit, 1), 0, kControlEditTextSelectionTag, sizeof sel, &sel, nullptr), noErr);
    EXPECT_EQ(sel.selStart, 1);
    EXPECT_EQ(sel.selEnd, 3);
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
    EXPECT_EQ(ch, 'q');
    EXPECT_EQ(code, 12u);
    EXPECT_EQ(mods, UInt32(shiftKey | cmdKey));

    toolbox::ScopedEvent mouse(kEventClassMouse, kEventMouseDown);
    mouse.Set(kEventParamWindowMouseLocation, typeQDPoint, Point{7, -3});
    mouse.Set(kEventParamDirectObject, typeWindowRef, reinterpret_cast<WindowRef>(0x1234));
    Point where = GetMouseLocFromEvent(mouse.get());
    EXPECT_EQ(where.v, 7);
    EXPECT_EQ(where.h, -3);
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
