// Nib files: what a good description becomes, and the error code and message for each
// kind of bad or missing nib, window and control.
#include <gtest/gtest.h>

#include <tuple>
#include <string>

#include "controls/Controls.h"
#include "support/Toolbox.h"
#include "windows/Nib.h"
#include "windows/NibReader.h"

namespace {

std::string Wrap(const std::string& controls, const std::string& windowAttributes = "width=\"100\" height=\"80\"") {
    return "<nib><window name=\"w\" " + windowAttributes + ">" + controls + "</window></nib>";
}

TEST(NibReaderTest, ReadsEveryFieldOfAControl) {
    toolbox::NibDocument doc;
    std::string error;
    ASSERT_TRUE(toolbox::ParseNib(Wrap("<control kind=\"popupButton\" signature=\"Medi\" id=\"-3\" left=\"5\" top=\"6\" "
                                       "width=\"70\" height=\"20\" title=\"Caf\xC3\xA9\" min=\"1\" max=\"9\" value=\"4\" "
                                       "command=\"ok  \" visible=\"false\" enabled=\"no\" size=\"11\" bold=\"1\" "
                                       "align=\"right\"><item>A</item><item>B b</item></control>",
                                       "title=\"T\" width=\"300\" height=\"200\" left=\"40\" top=\"50\" class=\"document\" "
                                       "attributes=\"closeBox resizable\""),
                                  &doc, &error))
        << error;
    ASSERT_EQ(doc.windows.size(), 1u);
    const toolbox::NibWindow& w = doc.windows[0];
    ASSERT_TRUE(w.position.has_value());
    EXPECT_EQ(std::tie(w.error, w.title, w.width, w.height, *w.position, w.windowClass, w.attributes),
              std::make_tuple(std::string(), std::string("T"), 300, 200, Point{50, 40}, WindowClass(kDocumentWindowClass),
                              WindowAttributes(kWindowCloseBoxAttribute | kWindowResizableAttribute)));
    ASSERT_EQ(w.controls.size(), 1u);
    const toolbox::NibControl& c = w.controls[0];
    EXPECT_EQ(std::tie(c.kind, c.id.signature, c.id.id, c.bounds, c.title, c.minimum, c.maximum, c.value, c.command),
              std::make_tuple(toolbox::ControlKind::PopupButton, OSType(FOUR_CHAR_CODE("Medi")), SInt32(-3),
                              Rect{6, 5, 26, 75}, std::string("Caf\xC3\xA9"), SInt32(1), SInt32(9), SInt32(4),
                              UInt32(FOUR_CHAR_CODE("ok  "))));
    EXPECT_EQ(std::tie(c.visible, c.enabled, c.fontSize, c.bold, c.just, c.items),
              std::make_tuple(false, false, SInt16(11), true, SInt16(teFlushRight), std::vector<std::string>{"A", "B b"}));
}

TEST(NibReaderTest, DocumentsThatAreNotNibsAreRefused) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"", "not well-formed XML"},
        {"<nib><window name=\"w\" width=\"1\" height=\"1\"></nib>", "not well-formed XML"},
        {"<plist/>", "the root element is not <nib>"},
        {"<nib><dialog/></nib>", "<dialog> is not allowed in a nib"},
        {"<nib><window width=\"1\" height=\"1\"/></nib>", "a window has no name"},
    };
    for (const auto& c : cases) {
        toolbox::NibDocument doc;
        std::string error;
        EXPECT_FALSE(toolbox::ParseNib(c.text, &doc, &error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(NibReaderTest, ABadWindowIsMarkedAndTheOthersStillRead) {
    const struct {
        std::string window;
        const char* message;
    } cases[] = {
        {Wrap("", "height=\"10\""), "width and height are required"},
        {Wrap("", "width=\"0\" height=\"10\""), "width 0 is outside 1 to 4096"},
        {Wrap("", "width=\"10\" height=\"10\" class=\"sheetish\""), "class \"sheetish\" is not a window class"},
        {Wrap("", "width=\"10\" height=\"10\" attributes=\"closeBox shiny\""), "window attribute \"shiny\" is not known"},
        {Wrap("", "width=\"10\" height=\"10\" widht=\"3\""), "attribute \"widht\" is not known"},
        {Wrap("<control kind=\"knob\" width=\"1\" height=\"1\"/>"), "kind \"knob\" is not a control kind"},
        {Wrap("<control kind=\"slider\" width=\"1\"/>"), "width and height are required"},
        {Wrap("<control kind=\"slider\" width=\"1\" height=\"1\" min=\"5\" max=\"4\"/>"), "max is less than min"},
        {Wrap("<control kind=\"slider\" width=\"1\" height=\"1\" max=\"2147483648\"/>"), "max 2147483648 is outside"},
        {Wrap("<control kind=\"slider\" width=\"1\" height=\"1\" value=\"1e3\"/>"), "value \"1e3\" is not a whole number"},
        {Wrap("<control kind=\"pushButton\" width=\"1\" height=\"1\" left=\"9000\"/>"), "left 9000 is outside -4096 to 8192"},
        {Wrap("<control kind=\"pushButton\" signature=\"OK\" width=\"1\" height=\"1\"/>"), "signature \"OK\" is not four characters"},
        {Wrap("<control kind=\"pushButton\" command=\"\xE6\x97\xA5\xE6\x97\xA5\" width=\"1\" height=\"1\"/>"), "is not four characters"},
        {Wrap("<control kind=\"pushButton\" visible=\"maybe\" width=\"1\" height=\"1\"/>"), "visible must be true or false"},
        {Wrap("<control kind=\"pushButton\" size=\"300\" width=\"1\" height=\"1\"/>"), "size 300 is outside 0 to 128"},
        {Wrap("<control kind=\"staticText\" align=\"justify\" width=\"1\" height=\"1\"/>"), "align must be left, center or right"},
        {Wrap("<control kind=\"custom\" width=\"1\" height=\"1\"/>"), "a custom control needs a class"},
        {Wrap("<control kind=\"slider\" class=\"x\" width=\"1\" height=\"1\"/>"), "only custom controls have a class"},
        {Wrap("<control kind=\"slider\" width=\"1\" height=\"1\"><item>A</item></control>"), "only pop-up buttons have items"},
        {Wrap("<control kind=\"popupButton\" width=\"1\" height=\"1\"><entry/></control>"), "<entry> is not allowed here"},
        {Wrap("<button/>"), "<button> is not allowed in a window"},
    };
    for (const auto& c : cases) {
        toolbox::NibDocument doc;
        std::string error;
        std::string text = "<nib><window name=\"good\" width=\"5\" height=\"5\"/>" + c.window.substr(5);
        ASSERT_TRUE(toolbox::ParseNib(text, &doc, &error)) << error;
        ASSERT_EQ(doc.windows.size(), 2u);
        EXPECT_EQ(doc.windows[0].error, "");
        EXPECT_NE(doc.windows[1].error.find(c.message), std::string::npos) << c.window << "\n -> " << doc.windows[1].error;
        EXPECT_TRUE(doc.windows[1].controls.empty());
    }
}

class NibBundleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bundle_ = testsupport::RegisterDialogKit(); }
    static inline CFBundleRef bundle_ = nullptr;
};

TEST_F(NibBundleTest, MissingOrBadNibFilesGiveTheirErrorCodes) {
    const struct {
        CFStringRef name;
        OSStatus status;
    } cases[] = {{CFSTR("absent"), kIBCarbonRuntimeCantFindNibFile},
                 {CFSTR(""), kIBCarbonRuntimeCantFindNibFile},
                 {nullptr, kIBCarbonRuntimeCantFindNibFile},
                 {CFSTR("malformed"), kIBCarbonRuntimeObjectNotOfRequestedType},
                 {CFSTR("notanib"), kIBCarbonRuntimeObjectNotOfRequestedType}};
    for (const auto& c : cases) {
        IBNibRef nib = reinterpret_cast<IBNibRef>(1);
        EXPECT_EQ(CreateNibReferenceWithCFBundle(bundle_, c.name, &nib), c.status) << toolbox::CFStringToUTF8(c.name);
        EXPECT_EQ(nib, nullptr);
        EXPECT_FALSE(toolbox::LastNibError().empty());
    }
    IBNibRef nib = nullptr;
    EXPECT_EQ(CreateNibReferenceWithCFBundle(nullptr, CFSTR("dialogkit"), &nib), kIBCarbonRuntimeCantFindNibFile);
    EXPECT_EQ(CreateNibReference(CFSTR("dialogkit"), &nib), kIBCarbonRuntimeCantFindNibFile);  // no main bundle
}

TEST_F(NibBundleTest, MissingBadOrUnbuildableWindowsGiveTheirErrorCodesAndLeaveNoWindow) {
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle_, CFSTR("dialogkit"), &nib), noErr);
    const struct {
        CFStringRef name;
        OSStatus status;
        const char* message;
    } cases[] = {{CFSTR("absent"), kIBCarbonRuntimeCantFindObject, "the nib has no window \"absent\""},
                 {CFSTR("broken"), kIBCarbonRuntimeObjectNotOfRequestedType, "kind \"knob\" is not a control kind"},
                 {CFSTR("needsclass"), errUnknownControl, "org.tonefade.test.unregistered"}};
    for (const auto& c : cases) {
        WindowRef w = reinterpret_cast<WindowRef>(1);
        EXPECT_EQ(CreateWindowFromNib(nib, c.name, &w), c.status);
        EXPECT_EQ(w, nullptr);
        EXPECT_NE(toolbox::LastNibError().find(c.message), std::string::npos) << toolbox::LastNibError();
        EXPECT_EQ(toolbox::LiveWindowCount(), 0);
    }
    DisposeNibReference(nib);
    WindowRef w = nullptr;
    EXPECT_EQ(CreateWindowFromNib(nib, CFSTR("inner"), &w), paramErr);  // a disposed reference is refused
}

TEST_F(NibBundleTest, WindowFromNibHasItsTitleSizeAndControls) {
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReferenceWithCFBundle(bundle_, CFSTR("tonefade"), &nib), noErr);
    WindowRef w = nullptr;
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("macros"), &w), noErr);
    DisposeNibReference(nib);  // the window outlives its nib reference
    EXPECT_EQ(toolbox::WindowTitleUTF8(w), "Control Access");
    EXPECT_FALSE(IsWindowVisible(w));
    Rect r;
    GetWindowBounds(w, kWindowContentRgn, &r);
    EXPECT_EQ(std::make_pair(r.right - r.left, r.bottom - r.top), std::make_pair(360, 200));
    ControlID popupID{FOUR_CHAR_CODE("Medi"), 1}, okID{FOUR_CHAR_CODE("Okay"), 1};
    ControlRef popup = nullptr, ok = nullptr, def = nullptr;
    ASSERT_EQ(GetControlByID(w, &popupID, &popup), noErr);
    UInt32 command = 0;
    GetControlCommandID(popup, &command);
    EXPECT_EQ(std::make_tuple(GetControl32BitValue(popup), GetControl32BitMinimum(popup), GetControl32BitMaximum(popup),
                              command), std::make_tuple(1, 1, 3, UInt32(FOUR_CHAR_CODE("Medi"))));
    ASSERT_EQ(GetControlByID(w, &okID, &ok), noErr);
    GetWindowDefaultButton(w, &def);
    EXPECT_EQ(def, ok);
    DisposeWindow(w);
}

}  // namespace
