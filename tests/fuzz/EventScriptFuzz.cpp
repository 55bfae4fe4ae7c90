// Fuzzes the event script reader, then plays what it accepts against a window with one
// control of each standard kind in a modal loop. Snapshots are left out so that no file
// is written; everything else runs as in a real session, and the loop must always end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "controls/Controls.h"
#include "input/EventScript.h"
#include "windows/EventLoop.h"

namespace {

OSStatus QuitOnCommand(EventHandlerCallRef, EventRef event, void* window) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    if (command.commandID == kHICommandOK || command.commandID == kHICommandCancel)
        QuitAppModalLoopForWindow(static_cast<WindowRef>(window));
    return noErr;
}

void AddControls(WindowRef w) {
    Rect r{10, 10, 34, 210};
    ControlRef c = nullptr;
    CreateSliderControl(w, &r, 5, 0, 300, 0, 0, true, nullptr, &c);
    ControlID sliderID{FOUR_CHAR_CODE("Sldr"), 1};
    SetControlID(c, &sliderID);
    r = Rect{40, 10, 64, 150};
    CreatePopupButtonControl(w, &r, CFSTR(""), 0, false, 0, 0, 0, &c);
    MenuRef menu = nullptr;
    CreateNewMenu(0, 0, &menu);
    AppendMenuItemTextWithCFString(menu, CFSTR("One"), 0, 0, nullptr);
    AppendMenuItemTextWithCFString(menu, CFSTR("Two"), 0, 0, nullptr);
    SetControlPopupMenuHandle(c, menu);
    ControlID popupID{FOUR_CHAR_CODE("Medi"), 1};
    SetControlID(c, &popupID);
    r = Rect{70, 10, 94, 150};
    CreateEditTextControl(w, &r, CFSTR("text"), false, false, nullptr, &c);
    r = Rect{100, 10, 124, 90};
    CreatePushButtonControl(w, &r, CFSTR("Cancel"), &c);
    SetControlCommandID(c, kHICommandCancel);
    SetWindowCancelButton(w, c);
    r = Rect{100, 100, 124, 180};
    CreatePushButtonControl(w, &r, CFSTR("OK"), &c);
    SetControlCommandID(c, kHICommandOK);
    SetWindowDefaultButton(w, c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<toolbox::ScriptAction> actions;
    toolbox::ScriptError error;
    if (!toolbox::ParseEventScript(std::string_view(reinterpret_cast<const char*>(data), size), &actions, &error)) {
        if (error.message.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    std::erase_if(actions, [](const toolbox::ScriptAction& a) { return a.verb == toolbox::ScriptVerb::Snapshot; });
    Rect bounds{100, 100, 260, 400};
    WindowRef w = nullptr;
    CreateNewWindow(kMovableModalWindowClass, 0, &bounds, &w);
    AddControls(w);
    EventTypeSpec fileSpec{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(w), QuitOnCommand, 1, &fileSpec, w, nullptr);
    toolbox::ScriptedEventSource source(std::move(actions), "/nonexistent");
    {
        toolbox::ScopedEventSource scope(&source);
        ShowWindow(w);
        RunAppModalLoopForWindow(w);
    }
    DisposeWindow(w);
    if (toolbox::LiveWindowCount() != 0 || toolbox::ModalLoopDepth() != 0) std::abort();
    return 0;
}
