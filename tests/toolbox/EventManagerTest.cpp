// Carbon Event Manager: typed parameters, handler chains across targets, removal during
// dispatch, commands to the user focus, and toolbox object classes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/Controls.h"
#include "events/CarbonEvents.h"
#include "support/Toolbox.h"

namespace {

using testsupport::NewTestWindow;

TEST(EventParameterTest, TypedParametersRoundTripAndReportMismatches) {
    toolbox::ScopedEvent e(kEventClassControl, kEventControlHitTest);
    EXPECT_EQ(GetEventClass(e.get()), kEventClassControl);
    EXPECT_EQ(GetEventKind(e.get()), kEventControlHitTest);
    Point p{12, -7};
    ASSERT_EQ(SetEventParameter(e.get(), kEventParamMouseLocation, typeQDPoint, sizeof p, &p), noErr);
    Point out{0, 0};
    EventParamType type = 0;
    ByteCount size = 0;
    EXPECT_EQ(GetEventParameter(e.get(), kEventParamMouseLocation, typeQDPoint, &type, sizeof out, &size, &out), noErr);
    EXPECT_EQ(out, p);
    EXPECT_EQ(std::make_pair(type, size), std::make_pair(EventParamType(typeQDPoint), ByteCount(sizeof(Point))));
    // Wrong type, missing name, wildcard, short buffer.
    EXPECT_EQ(GetEventParameter(e.get(), kEventParamMouseLocation, typeUInt32, nullptr, 4, nullptr, &out), errCoercionFailed);
    EXPECT_EQ(GetEventParameter(e.get(), kEventParamControlPart, typeControlPartCode, nullptr, 2, nullptr, &out),
              eventParameterNotFoundErr);
    EXPECT_EQ(GetEventParameter(e.get(), kEventParamMouseLocation, typeWildCard, &type, sizeof out, nullptr, &out), noErr);
    SInt16 half = 0;
    EXPECT_EQ(GetEventParameter(e.get(), kEventParamMouseLocation, typeQDPoint, nullptr, sizeof half, &size, &half), noErr);
    EXPECT_EQ(half, 12);  // only the first two bytes (v) were copied
    EXPECT_EQ(size, sizeof(Point));
    EXPECT_EQ(SetEventParameter(e.get(), kEventParamMouseLocation, typeQDPoint, 4, nullptr), paramErr);
    EXPECT_EQ(GetEventParameter(nullptr, kEventParamMouseLocation, typeQDPoint, nullptr, 4, nullptr, &out), paramErr);
}

struct Log {
    std::vector<std::string> calls;
};

template <int N, OSStatus Result>
OSStatus Named(EventHandlerCallRef, EventRef, void* log) {
    static_cast<Log*>(log)->calls.push_back(std::string("h").append(std::to_string(N)));
    return Result;
}

OSStatus CallsNext(EventHandlerCallRef next, EventRef event, void* log) {
    static_cast<Log*>(log)->calls.push_back("before");
    const OSStatus s = CallNextEventHandler(next, event);
    static_cast<Log*>(log)->calls.push_back(std::string("after ").append(std::to_string(s)));
    return noErr;
}

TEST(HandlerChainTest, ControlThenWindowThenApplicationWithNotHandledPassingOn) {
    WindowRef w = NewTestWindow({40, 40, 140, 240});
    Rect b{0, 0, 10, 10};
    ControlRef c = nullptr;
    ASSERT_EQ(CreatePushButtonControl(w, &b, CFSTR("x"), &c), noErr);
    Log log;
    EventTypeSpec fileSpec{FOUR_CHAR_CODE("test"), 7};
    EventHandlerRef app = nullptr, win = nullptr, ctl1 = nullptr, ctl2 = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), Named<4, noErr>, 1, &fileSpec, &log, &app);
    InstallEventHandler(GetWindowEventTarget(w), Named<3, eventNotHandledErr>, 1, &fileSpec, &log, &win);
    InstallEventHandler(GetControlEventTarget(c), Named<1, eventNotHandledErr>, 1, &fileSpec, &log, &ctl1);
    InstallEventHandler(GetControlEventTarget(c), Named<2, eventNotHandledErr>, 1, &fileSpec, &log, &ctl2);  // newest first
    toolbox::ScopedEvent e(FOUR_CHAR_CODE("test"), 7);
    EXPECT_EQ(SendEventToEventTarget(e.get(), GetControlEventTarget(c)), noErr);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"h2", "h1", "h3", "h4"}));
    // Another kind reaches nobody.
    log.calls.clear();
    toolbox::ScopedEvent other(FOUR_CHAR_CODE("test"), 8);
    EXPECT_EQ(SendEventToEventTarget(other.get(), GetControlEventTarget(c)), eventNotHandledErr);
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(RemoveEventHandler(app), noErr);
    EXPECT_EQ(RemoveEventHandler(app), paramErr);  // twice is refused
    DisposeWindow(w);
    EXPECT_EQ(RemoveEventHandler(win), paramErr);   // went with the window
    EXPECT_EQ(RemoveEventHandler(ctl1), paramErr);
}

TEST(HandlerChainTest, CallNextEventHandlerRunsTheRestOfTheChainInside) {
    WindowRef w = NewTestWindow({40, 40, 140, 240});
    Log log;
    EventTypeSpec fileSpec{FOUR_CHAR_CODE("test"), 1};
    InstallEventHandler(GetWindowEventTarget(w), Named<9, eventNotHandledErr>, 1, &fileSpec, &log, nullptr);
    InstallEventHandler(GetWindowEventTarget(w), CallsNext, 1, &fileSpec, &log, nullptr);
    toolbox::ScopedEvent e(FOUR_CHAR_CODE("test"), 1);
    EXPECT_EQ(SendEventToEventTarget(e.get(), GetWindowEventTarget(w)), noErr);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"before", "h9", "after -9874"}));
    DisposeWindow(w);
}

WindowRef gDoomed = nullptr;
OSStatus DisposesItsWindow(EventHandlerCallRef, EventRef, void* log) {
    static_cast<Log*>(log)->calls.push_back("dispose");
    DisposeWindow(gDoomed);
    return eventNotHandledErr;
}

TEST(HandlerChainTest, AHandlerMayDisposeOfItsWindowWhileTheEventTravels) {
    gDoomed = NewTestWindow({40, 40, 140, 240});
    Log log;
    EventTypeSpec fileSpec{FOUR_CHAR_CODE("test"), 1};
    InstallEventHandler(GetWindowEventTarget(gDoomed), Named<1, eventNotHandledErr>, 1, &fileSpec, &log, nullptr);
    InstallEventHandler(GetWindowEventTarget(gDoomed), DisposesItsWindow, 1, &fileSpec, &log, nullptr);
    toolbox::ScopedEvent e(FOUR_CHAR_CODE("test"), 1);
    EXPECT_EQ(SendEventToEventTarget(e.get(), GetWindowEventTarget(gDoomed)), eventNotHandledErr);
    // The window's other handler went with it and was not called.
    EXPECT_EQ(log.calls, std::vector<std::string>{"dispose"});
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
}

std::vector<std::string> gCommands;
OSStatus RecordCommand(EventHandlerCallRef, EventRef event, void* who) {
    HICommand c{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof c, nullptr, &c);
    gCommands.push_back(std::string(static_cast<const char*>(who)).append(":").append(std::to_string(c.commandID)));
    return noErr;
}

TEST(ProcessHICommandTest, GoesToTheFrontWindowOrElseTheApplication) {
    gCommands.clear();
    EventTypeSpec fileSpec{kEventClassCommand, kEventCommandProcess};
    EventHandlerRef app = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), RecordCommand, 1, &fileSpec, const_cast<char*>("app"), &app);
    HICommand cmd{0, 42, {nullptr, 0}};
    EXPECT_EQ(ProcessHICommand(&cmd), noErr);
    WindowRef w = NewTestWindow({40, 40, 140, 240});
    InstallEventHandler(GetWindowEventTarget(w), RecordCommand, 1, &fileSpec, const_cast<char*>("win"), nullptr);
    EXPECT_EQ(ProcessHICommand(&cmd), noErr);  // invisible windows are not the focus
    ShowWindow(w);
    EXPECT_EQ(ProcessHICommand(&cmd), noErr);
    EXPECT_EQ(ProcessHICommand(nullptr), paramErr);
    EXPECT_EQ(gCommands, (std::vector<std::string>{"app:42", "app:42", "win:42"}));
    DisposeWindow(w);
    RemoveEventHandler(app);
}

OSStatus ClassHandler(EventHandlerCallRef, EventRef, void* log) {
    static_cast<Log*>(log)->calls.push_back("class");
    return eventNotHandledErr;
}

TEST(ToolboxObjectClassTest, ClassHandlersRunAfterTheControlsOwnAndTheClassCannotGoWhileUsed) {
    Log log;
    EventTypeSpec fileSpec{kEventClassControl, kEventControlHit};
    ToolboxObjectClassRef cls = nullptr;
    ASSERT_EQ(RegisterToolboxObjectClass(CFSTR("org.test.events"), nullptr, 1, &fileSpec, ClassHandler, &log, &cls), noErr);
    ToolboxObjectClassRef again = nullptr;
    EXPECT_EQ(RegisterToolboxObjectClass(CFSTR("org.test.events"), nullptr, 1, &fileSpec, ClassHandler, &log, &again),
              hiObjectClassExistsErr);
    EXPECT_EQ(RegisterToolboxObjectClass(CFSTR(""), nullptr, 1, &fileSpec, ClassHandler, &log, &again), paramErr);
    Rect b{0, 0, 10, 10};
    WindowRef w = NewTestWindow({40, 40, 140, 240});
    ControlDefSpec def{kControlDefObjectClass, {cls}};
    ControlRef c = nullptr;
    ASSERT_EQ(CreateCustomControl(w, &b, &def, nullptr, &c), noErr);
    InstallEventHandler(GetControlEventTarget(c), Named<1, eventNotHandledErr>, 1, &fileSpec, &log, nullptr);
    InstallEventHandler(GetWindowEventTarget(w), Named<2, noErr>, 1, &fileSpec, &log, nullptr);
    toolbox::ScopedEvent e(kEventClassControl, kEventControlHit);
    EXPECT_EQ(SendEventToEventTarget(e.get(), GetControlEventTarget(c)), noErr);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"h1", "class", "h2"}));
    EXPECT_EQ(UnregisterToolboxObjectClass(cls), hiObjectClassHasInstancesErr);
    DisposeWindow(w);
    EXPECT_EQ(UnregisterToolboxObjectClass(cls), noErr);
    EXPECT_EQ(UnregisterToolboxObjectClass(cls), paramErr);
    // An unregistered class makes no controls.
    w = NewTestWindow({40, 40, 140, 240});
    EXPECT_EQ(CreateCustomControl(w, &b, &def, nullptr, &c), errUnknownControl);
    EXPECT_EQ(c, nullptr);
    DisposeWindow(w);
}

}  // namespace
