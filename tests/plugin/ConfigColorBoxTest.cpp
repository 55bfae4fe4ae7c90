// The colour box control in a small window of its own (the dialog keeps its six hidden):
// it paints its value, a click picks a new colour with the colour picker, Cancel keeps
// the old one, and the hit goes on to the window either way.
#include <gtest/gtest.h>

#include <vector>

#include "Carbon.h"
#include "dialog/ColorCtrl.h"
#include "input/EventScript.h"
#include "support/Toolbox.h"

namespace {

std::vector<UInt32> gCommands;

OSStatus RecordCommand(EventHandlerCallRef, EventRef event, void* window) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    gCommands.push_back(command.commandID);
    if (command.commandID == kHICommandOK) QuitAppModalLoopForWindow(static_cast<WindowRef>(window));
    return noErr;
}

testsupport::Pixel RGBAt(WindowRef w, short h, short v) { return testsupport::PixelOf(w, h, v); }

TEST(ColorBoxTest, PaintsItsValueAndAClickPicksANewOneOrKeepsItOnCancel) {
    RegisterColorBox();
    IBNibRef nib = nullptr;
    ASSERT_EQ(toolbox::CreateNibReferenceFromText(R"(<nib version="1"><window name="w" title="Colour" width="200" height="120">
      <control kind="custom" class="com.qorvel.lumiset.color" signature="Colr" id="1" left="20" top="20" width="40" height="40" max="16777215" value="16711680" command="Colr"/>
      <control kind="pushButton" left="100" top="80" width="80" height="24" title="OK" command="ok  "/></window></nib>)", &nib), noErr);
    WindowRef window = nullptr;
    ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("w"), &window), noErr);
    DisposeNibReference(nib);
    const EventTypeSpec command{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(window), RecordCommand, 1, &command, window, nullptr);
    ShowWindow(window);
    EXPECT_EQ(RGBAt(window, 40, 40), (testsupport::Pixel{0xFF, 0xFF, 0, 0}));
    EXPECT_EQ(RGBAt(window, 20, 40), (testsupport::Pixel{0xFF, 0, 0, 0}));  // the outline
    auto script = testsupport::Script("click 40 40\nslider cpkr 1 10\ncommand \"not!\"\nclick 40 40\nslider cpkr 1 10\n"
                                      "slider cpkr 2 128\nslider cpkr 3 255\ncommand \"ok  \"\nclick 70 40\ncommand \"ok  \"\n");
    {
        toolbox::ScopedEventSource scope(script.get());
        RunAppModalLoopForWindow(window);
    }
    EXPECT_FALSE(script->Failed()) << script->Error().Describe();
    ControlID id{FOUR_CHAR_CODE("Colr"), 1};
    ControlRef box = nullptr;
    GetControlByID(window, &id, &box);
    EXPECT_EQ(GetControl32BitValue(box), (10 << 16) | (128 << 8) | 255);
    EXPECT_EQ(RGBAt(window, 40, 40), (testsupport::Pixel{0xFF, 10, 128, 255}));
    EXPECT_EQ(gCommands, (std::vector<UInt32>{FOUR_CHAR_CODE("Colr"), FOUR_CHAR_CODE("Colr"), kHICommandOK}));
    DisableControl(box);
    EXPECT_EQ(RGBAt(window, 40, 40), testsupport::Background());
    DisposeWindow(window);
    UnregisterColorBox();
}

}  // namespace
