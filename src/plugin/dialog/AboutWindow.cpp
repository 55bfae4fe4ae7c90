// AboutWindow: opens "about" from the plug-in's nib, fills in the name and the version,
// and runs it modally inside the configuration dialog's loop.
#include "dialog/AboutWindow.h"

#include <cstring>

#include "dialog/CarbonMacros.h"
#include "effect/CommonProcsText.h"
#include "effect/PluginDefines.h"

namespace {

WindowRef lgTheWindow = nullptr;

bool SameCommand(ConstStr255Param theCommand, const char* theCode) {
    return theCommand[0] == 4 && std::memcmp(theCommand + 1, theCode, 4) == 0;
}

}  // namespace

OSStatus AboutDialogHandler(EventHandlerCallRef, EventRef theEvent, void* userData) {
    OSStatus result = eventNotHandledErr;
    HICommand command{};
    GetEventParameter(theEvent, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    Str255 theCommand;
    CommandID2Str(command.commandID, theCommand);
    if (SameCommand(theCommand, "ok  ") || SameCommand(theCommand, "not!")) {
        QuitAppModalLoopForWindow(static_cast<WindowRef>(userData));
        result = noErr;
    }
    return result;
}

void ShowAbout() {
    toolbox::SaveGWorld saved;
    lgTheWindow = OpenNibWindowFromCFBundle(cBundleIdentifier, cAboutNibName, cAboutWindowName);
    if (lgTheWindow == nullptr) return;
    const EventTypeSpec commandEvent = {kEventClassCommand, kEventCommandProcess};
    InstallWindowEventHandler(lgTheWindow, NewEventHandlerUPP(AboutDialogHandler), 1, &commandEvent, lgTheWindow,
                              nullptr);
    Str255 text, version;
    CopyCStringToPascal(cMyClearName, text);
    SimpleSetControlText(lgTheWindow, FOUR_CHAR_CODE("Plug"), 1, text);
    CopyCStringToPascal("Version ", version);
    CopyCStringToPascal(cPlugVersion, text);
    std::memcpy(version + 1 + version[0], text + 1, text[0]);
    version[0] = UInt8(version[0] + text[0]);
    SimpleSetControlText(lgTheWindow, FOUR_CHAR_CODE("Vers"), 1, version);
    ShowWindow(lgTheWindow);
    BringToFront(lgTheWindow);
    RunAppModalLoopForWindow(lgTheWindow);
    DisposeWindow(lgTheWindow);
    lgTheWindow = nullptr;
}
