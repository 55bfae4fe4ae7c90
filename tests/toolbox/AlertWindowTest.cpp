// Standard alerts as modal windows: answered by a script by number or title, ended as
// Cancel when the input ends, and still on standard error when there is no input source.
#include <gtest/gtest.h>

#include <string>

#include "alerts/AlertWindow.h"
#include "controls/Controls.h"
#include "input/EventScript.h"

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
    toolbox::ScriptError error;
    run.source = toolbox::ScriptedEventSource::FromText(script, ::testing::TempDir(), &error);
    EXPECT_NE(run.source, nullptr) << error.Describe();
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

TEST(AlertWindowTest, EndOfInputAnswersAsCancelOrElseTheDefault) {
    EXPECT_EQ(Answer("", kAlertDefaultCancelText).hit, 2);
    EXPECT_EQ(Answer("", nullptr).hit, 1);
}

TEST(AlertWindowTest, AnAnswerThatNamesNoButtonStopsTheScript) {
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
    Rect r{100, 100, 200, 300}, b{20, 20, 44, 120}, ok{60, 20, 84, 120};
    WindowRef w = nullptr;
    CreateNewWindow(kMovableModalWindowClass, 0, &r, &w);
    ControlRef help = nullptr, okButton = nullptr;
    CreatePushButtonControl(w, &b, CFSTR("Help"), &help);
    SetControlCommandID(help, FOUR_CHAR_CODE("Help"));
    CreatePushButtonControl(w, &ok, CFSTR("OK"), &okButton);
    SetControlCommandID(okButton, kHICommandOK);
    DialogItemIndex result = 0;
    EventTypeSpec fileSpec{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(w), AlertOnHelp, 1, &fileSpec, &result, nullptr);
    toolbox::ScriptError error;
    auto source = toolbox::ScriptedEventSource::FromText("answer Cancel\ncommand Help\ncommand \"ok  \"\n", ".", &error);
    {
        toolbox::ScopedEventSource scope(source.get());
        ShowWindow(w);
        RunAppModalLoopForWindow(w);
    }
    EXPECT_EQ(result, 2);
    EXPECT_TRUE(source->Finished());
    EXPECT_FALSE(source->Failed());
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
    EXPECT_EQ(toolbox::WindowDefaultButton(w), ok);
    EXPECT_EQ(toolbox::WindowCancelButton(w), cancel);
    ShowWindow(w);
    EXPECT_TRUE(toolbox::WriteWindowPNG(w, ::testing::TempDir() + "alert-window.png"));
    DisposeWindow(w);
    EXPECT_FALSE(toolbox::IsAlertWindow(w));
}

}  // namespace
