// Standard alerts as modal windows: answered by a script by number or title, ended as
// Cancel when the input ends, and still on standard error when there is no input source.
#include <gtest/gtest.h>

#include <string>

#include "alerts/AlertWindow.h"
#include "controls/Controls.h"
#include "input/EventScript.h"
#include "support/Toolbox.h"

namespace {

DialogItemIndex RunAlert(CFStringRef cancelText, CFStringRef otherText = nullptr, AlertType type = kAlertCautionAlert) {
    AlertStdCFStringAlertParamRec params;
    GetStandardAlertDefaultParams(&params, kStdCFStringAlertVersionOne);
    params.cancelText = cancelText;
    params.otherText = otherText;
    params.cancelButton = cancelText ? 2 : 0;
    DialogRef alert = nullptr;
    EXPECT_EQ(CreateStandardAlert(type, CFSTR("Internal Notification:"), CFSTR("Cannot locate manual in bundle"), &params, &alert), noErr);
    DialogItemIndex hit = 0;
    EXPECT_EQ(RunStandardAlert(alert, nullptr, &hit), noErr);
    return hit;
}

struct ScriptRun {
    std::unique_ptr<toolbox::ScriptedEventSource> source;
    DialogItemIndex hit = 0;
};

ScriptRun Answer(const std::string& script, CFStringRef cancelText, CFStringRef otherText = nullptr) {
    ScriptRun run;
    run.source = testsupport::Script(script);
    toolbox::ScopedEventSource scope(run.source.get());
    run.hit = RunAlert(cancelText, otherText);
    return run;
}

TEST(AlertWindowTest, ScriptAnswersByTitleOrNumber) {
    const struct {
        const char* script;
        DialogItemIndex hit;
    } cases[] = {{"answer OK\n", 1}, {"answer Cancel\n", 2}, {"answer 2\n", 2}, {"answer \"Don't Save\"\n", 3},
                 {"answer 3\n", 3},  {"key return\n", 1},    {"key escape\n", 2}};
    for (const auto& c : cases) {
        ScriptRun run = Answer(c.script, kAlertDefaultCancelText, CFSTR("Don't Save"));
        EXPECT_EQ(run.hit, c.hit) << c.script;
        EXPECT_FALSE(run.source->Failed()) << c.script;
        EXPECT_EQ(toolbox::LiveWindowCount(), 0);
    }
}

// The end of input answers as Cancel, or else the default; an answer that names no
// button stops the script.
TEST(AlertWindowTest, EndOfInputAnswersAsCancelAndAnAnswerThatNamesNoButtonStopsTheScript) {
    EXPECT_EQ(Answer("", kAlertDefaultCancelText).hit, 2);
    EXPECT_EQ(Answer("", nullptr).hit, 1);
    ScriptRun run = Answer("answer Maybe\n", kAlertDefaultCancelText);
    EXPECT_TRUE(run.source->Failed());
    EXPECT_EQ(run.source->Error().Describe(), "event script line 1: the alert has no button \"Maybe\"");
    EXPECT_EQ(run.hit, 2);  // the stopped run ended the alert as Cancel
}

OSStatus AlertOnHelp(EventHandlerCallRef, EventRef event, void* result) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    if (command.commandID == FOUR_CHAR_CODE("Help")) *static_cast<DialogItemIndex*>(result) = RunAlert(kAlertDefaultCancelText);
    if (command.commandID == kHICommandOK) QuitAppModalLoopForWindow(FrontWindow());
    return noErr;
}

TEST(AlertWindowTest, AnswerGivenBeforeTheAlertWaitsForIt) {
    Rect b{20, 20, 44, 120}, ok{60, 20, 84, 120};
    WindowRef w = testsupport::NewTestWindow({100, 100, 200, 300}, kMovableModalWindowClass);
    ControlRef help = nullptr, okButton = nullptr;
    CreatePushButtonControl(w, &b, CFSTR("Help"), &help);
    SetControlCommandID(help, FOUR_CHAR_CODE("Help"));
    CreatePushButtonControl(w, &ok, CFSTR("OK"), &okButton);
    SetControlCommandID(okButton, kHICommandOK);
    DialogItemIndex result = 0;
    EventTypeSpec fileSpec{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(w), AlertOnHelp, 1, &fileSpec, &result, nullptr);
    auto source = testsupport::Script("answer Cancel\ncommand Help\ncommand \"ok  \"\n");
    {
        toolbox::ScopedEventSource scope(source.get());
        ShowWindow(w);
        RunAppModalLoopForWindow(w);
    }
    EXPECT_EQ(result, 2);
    EXPECT_TRUE(source->Finished() && !source->Failed());
    DisposeWindow(w);
}

TEST(AlertWindowTest, WithoutAnInputSourceAlertsGoToStandardError) {
    ::testing::internal::CaptureStderr();
    DialogItemIndex hit = RunAlert(kAlertDefaultCancelText);
    std::string text = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(hit, 1);
    EXPECT_EQ(text, "[Caution] Internal Notification: Cannot locate manual in bundle\n");
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
}

TEST(AlertWindowTest, WindowShowsHeadlineTextAndButtonsWithTheDefaultRightmost) {
    toolbox::StandardAlert alert;
    alert.type = kAlertStopAlert;
    alert.headline = "Assertion Failure";
    alert.text = "Assertion failed in: Nil theConfig on DoConfig";
    alert.buttons = {"OK", "Cancel"};
    alert.defaultButton = 1;
    alert.cancelButton = 2;
    WindowRef w = toolbox::CreateAlertWindow(alert);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(toolbox::IsAlertWindow(w));
    ControlRef ok = nullptr, cancel = nullptr;
    ControlID okID{FOUR_CHAR_CODE("alrt"), 1}, cancelID{FOUR_CHAR_CODE("alrt"), 2};
    ASSERT_EQ(GetControlByID(w, &okID, &ok), noErr);
    ASSERT_EQ(GetControlByID(w, &cancelID, &cancel), noErr);
    Rect okBox, cancelBox;
    GetControlBounds(ok, &okBox);
    GetControlBounds(cancel, &cancelBox);
    EXPECT_GT(okBox.left, cancelBox.right);
    EXPECT_EQ(std::make_pair(toolbox::WindowDefaultButton(w), toolbox::WindowCancelButton(w)),
              std::make_pair(ok, cancel));
    ShowWindow(w);
    testsupport::TempFolder folder;
    EXPECT_TRUE(toolbox::WriteWindowPNG(w, folder / "alert-window.png"));
    DisposeWindow(w);
    EXPECT_FALSE(toolbox::IsAlertWindow(w));
}

}  // namespace
