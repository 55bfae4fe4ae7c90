// The colour box control, shown in a small window of its own (the dialog keeps its six
// hidden): it paints its value, picks a new colour with the colour picker on a click,
// and passes the hit on to the window whether or not a colour was chosen.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Carbon.h"
#include "dialog/ColorCtrl.h"
#include "events/EventScript.h"

namespace {

const char* const kBoxNib = R"(<nib version="1"><window name="boxes" title="Colour" width="200" height="120">
  <control kind="custom" class="com.qorvel.lumiset.color" signature="Colr" id="1" left="20" top="20" width="40" height="40" max="16777215" value="16711680" command="Colr"/>
  <control kind="custom" class="com.qorvel.lumiset.color" signature="Colr" id="2" left="80" top="20" width="40" height="40" max="16777215" value="65280" enabled="false"/>
  <control kind="pushButton" left="100" top="80" width="80" height="24" title="OK" command="ok  " default="true"/>
</window></nib>)";

class ColorBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterColorBox();
        IBNibRef nib = nullptr;
        ASSERT_EQ(toolbox::CreateNibReferenceFromText(kBoxNib, &nib), noErr);
        ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("boxes"), &window), noErr);
        DisposeNibReference(nib);
        const EventTypeSpec command{kEventClassCommand, kEventCommandProcess};
        InstallEventHandler(GetWindowEventTarget(window), Commands, 1, &command, this, nullptr);
        ShowWindow(window);
        BringToFront(window);
    }
    void TearDown() override {
        DisposeWindow(window);
        UnregisterColorBox();
    }
    static OSStatus Commands(EventHandlerCallRef, EventRef event, void* self) {
        auto* test = static_cast<ColorBoxTest*>(self);
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
        test->commands.push_back(command.commandID);
        if (command.commandID == kHICommandOK) QuitAppModalLoopForWindow(test->window);
        return noErr;
    }
    void Run(const std::string& script) {
        toolbox::ScriptError error;
        auto source = toolbox::ScriptedEventSource::FromText(script, ".", &error);
        ASSERT_NE(source, nullptr) << error.Describe();
        toolbox::ScopedEventSource scope(source.get());
        RunAppModalLoopForWindow(window);
        EXPECT_FALSE(source->Failed()) << source->Error().Describe();
    }
    SInt32 Value(SInt32 id) {
        ControlID cid{FOUR_CHAR_CODE("Colr"), id};
        ControlRef c = nullptr;
        GetControlByID(window, &cid, &c);
        return GetControl32BitValue(c);
    }
    std::vector<UInt8> Pixel(short h, short v) {
        const BitMap* bits = GetPortBitMapForCopyBits(GetWindowPort(window));
        const UInt8* p = reinterpret_cast<UInt8*>(bits->baseAddr) + v * bits->rowBytes + h * 4;
        return {p[1], p[2], p[3]};
    }
    WindowRef window = nullptr;
    std::vector<UInt32> commands;
};

TEST_F(ColorBoxTest, PaintsItsValueOutlinedAndADisabledBoxOnlyItsBackground) {
    EXPECT_EQ(Pixel(40, 40), (std::vector<UInt8>{0xFF, 0, 0}));
    EXPECT_EQ(Pixel(20, 40), (std::vector<UInt8>{0, 0, 0}));
    const RGBColor bg = toolbox::WindowBackground();
    EXPECT_EQ(Pixel(100, 40), (std::vector<UInt8>{UInt8(bg.red >> 8), UInt8(bg.green >> 8), UInt8(bg.blue >> 8)}));
}

TEST_F(ColorBoxTest, AChosenColourBecomesTheValueAndTheHitGoesOn) {
    Run("click 40 40\nslider cpkr 1 10\nslider cpkr 2 128\nslider cpkr 3 255\ncommand \"ok  \"\ncommand \"ok  \"\n");
    EXPECT_EQ(Value(1), (10 << 16) | (128 << 8) | 255);
    EXPECT_EQ(Pixel(40, 40), (std::vector<UInt8>{10, 128, 255}));
    EXPECT_EQ(commands, (std::vector<UInt32>{FOUR_CHAR_CODE("Colr"), kHICommandOK}));
}

TEST_F(ColorBoxTest, CancellingThePickerAndClicksOutsideChangeNothing) {
    Run("click 40 40\nslider cpkr 1 10\ncommand \"not!\"\nclick 70 40\nclick 100 40\ncommand \"ok  \"\n");
    EXPECT_EQ(Value(1), 16711680);
    EXPECT_EQ(Value(2), 65280);
    EXPECT_EQ(commands, (std::vector<UInt32>{FOUR_CHAR_CODE("Colr"), kHICommandOK}));
}

TEST(ColorBoxValue, KeepsTheHighByteOfEachChannel) {
    EXPECT_EQ(ColorBoxValue(RGBColor{65535, 32768, 1}), (255 << 16) | (128 << 8));
    const RGBColor back = ColorBoxColor((255 << 16) | (128 << 8));
    EXPECT_EQ(back.red, 65280);
    EXPECT_EQ(back.green, 32768);
    EXPECT_EQ(back.blue, 0);
}

}  // namespace
