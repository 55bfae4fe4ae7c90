// CarbonMacros: each routine is one toolbox call or a short fixed sequence of them.
// Toolbox status codes are not reported; a missing control is skipped where that is safe.
#include "dialog/CarbonMacros.h"

#include <cstring>

namespace {

void EmptyString(Str255 s) {
    if (s) s[0] = 0;
}

}  // namespace

void CommandID2Str(UInt32 commandID, Str255 outString) {
    outString[0] = 4;
    outString[1] = UInt8(commandID >> 24);
    outString[2] = UInt8(commandID >> 16);
    outString[3] = UInt8(commandID >> 8);
    outString[4] = UInt8(commandID);
}

void InstallWindowEventHandler(WindowRef theWindow, EventHandlerUPP theHandler, UInt32 numTypes,
                               const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef) {
    InstallEventHandler(GetWindowEventTarget(theWindow), theHandler, numTypes, typeList, userData, handlerRef);
}

void InstallMenuEventHandler(MenuRef theMenu, EventHandlerUPP theHandler, UInt32 numTypes,
                             const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef) {
    InstallEventHandler(GetMenuEventTarget(theMenu), theHandler, numTypes, typeList, userData, handlerRef);
}

void InstallControlEventHandler(ControlRef theControl, EventHandlerUPP theHandler, UInt32 numTypes,
                                const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef) {
    InstallEventHandler(GetControlEventTarget(theControl), theHandler, numTypes, typeList, userData, handlerRef);
}

void InstallApplicationEventHandler(EventHandlerUPP theHandler, UInt32 numTypes, const EventTypeSpec* typeList,
                                    void* userData, EventHandlerRef* handlerRef) {
    InstallEventHandler(GetApplicationEventTarget(), theHandler, numTypes, typeList, userData, handlerRef);
}

WindowRef GetWindowFromEvent(EventRef theEvent) {
    WindowRef window = nullptr;
    GetEventParameter(theEvent, kEventParamDirectObject, typeWindowRef, nullptr, sizeof window, nullptr, &window);
    return window;
}

void GetWindowKeyboardDataFromEvent(EventRef theEvent, char* theKey, UInt32* theKeyCode, UInt32* theMods) {
    GetEventParameter(theEvent, kEventParamKeyMacCharCodes, typeChar, nullptr, sizeof(char), nullptr, theKey);
    GetEventParameter(theEvent, kEventParamKeyCode, typeUInt32, nullptr, sizeof(UInt32), nullptr, theKeyCode);
    GetEventParameter(theEvent, kEventParamKeyModifiers, typeUInt32, nullptr, sizeof(UInt32), nullptr, theMods);
}

Point GetMouseLocFromEvent(EventRef theEvent) {
    Point where{0, 0};
    GetEventParameter(theEvent, kEventParamWindowMouseLocation, typeQDPoint, nullptr, sizeof where, nullptr, &where);
    return where;
}

ControlRef SimpleGetControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    ControlID id{theSig, SInt32(theID)};
    ControlRef control = nullptr;
    GetControlByID(theWindow, &id, &control);
    return control;
}

Rect SimpleGetControlBox(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    return GetControlBox(SimpleGetControlByID(theWindow, theSig, theID));
}

Rect GetControlBox(ControlRef theControl) {
    Rect box{0, 0, 0, 0};
    GetControlBounds(theControl, &box);
    return box;
}

void SimpleSetControlText(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theText) {
    ControlRef control = SimpleGetControlByID(theWindow, theSig, theID);
    if (control == nullptr) return;
    SetControlData(control, 0, kControlEditTextTextTag, theText[0], theText + 1);
    Draw1Control(control);
}

void SimpleShowControl(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    if (ControlRef control = SimpleGetControlByID(theWindow, theSig, theID)) ShowControl(control);
}

void SimpleHideControl(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    if (ControlRef control = SimpleGetControlByID(theWindow, theSig, theID)) HideControl(control);
}

SInt32 SimpleGetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    return GetControl32BitValue(SimpleGetControlByID(theWindow, theSig, theID));
}

void SimpleSetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt32 theVal) {
    SetControl32BitValue(SimpleGetControlByID(theWindow, theSig, theID), theVal);
}

void SimpleEnableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    EnableControl(SimpleGetControlByID(theWindow, theSig, theID));
}

void SimpleDisableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    DisableControl(SimpleGetControlByID(theWindow, theSig, theID));
}

void GetEditTextFromControl(WindowRef theWindow, UInt32 theSig, SInt16 theID, Str255 outText) {
    Size actual = 0;
    OSStatus status = GetControlData(SimpleGetControlByID(theWindow, theSig, theID), 0, kControlEditTextTextTag, 255,
                                     outText + 1, &actual);
    outText[0] = status == noErr ? UInt8(actual > 255 ? 255 : actual) : 0;
}

SInt32 GetNumberFromEditTextControl(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    Str255 text;
    GetEditTextFromControl(theWindow, theSig, theID, text);
    SInt32 number = 0;
    StringToNum(text, &number);
    return number;
}

void SetEditTextForControl(ConstStr255Param theText, WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    ControlRef control = SimpleGetControlByID(theWindow, theSig, theID);
    if (control == nullptr) return;
    SetControlData(control, 0, kControlEditTextTextTag, theText[0], theText + 1);
}

void SetEditTextToNumberForControl(SInt32 theNumber, WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    Str255 text;
    NumToString(theNumber, text);
    SetEditTextForControl(text, theWindow, theSig, theID);
}

void SetKeyboadFocusByID(WindowRef theWindow, UInt32 theSig, SInt16 theID) {
    SetKeyboardFocus(theWindow, SimpleGetControlByID(theWindow, theSig, theID), kControlFocusNextPart);
}

void SelectTextByIDForControl(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 startSel, SInt16 endSel) {
    ControlEditTextSelectionRec selection{startSel, endSel};
    SetControlData(SimpleGetControlByID(theWindow, theSig, theID), 0, kControlEditTextSelectionTag, sizeof selection,
                   &selection);
}

void GetPopupItemText(ControlRef thePopup, SInt16 theItem, Str255 outText) {
    EmptyString(outText);
    if (theItem < 1) return;
    GetMenuItemText(GetControlPopupMenuHandle(thePopup), MenuItemIndex(theItem), outText);
}

void GetSelectedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID, Str255 outText) {
    ControlRef popup = SimpleGetControlByID(theWindow, theSig, theID);
    GetPopupItemText(popup, SInt16(GetControl32BitValue(popup)), outText);
}

void GetIndexedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 theIndex, Str255 outText) {
    GetPopupItemText(SimpleGetControlByID(theWindow, theSig, theID), theIndex, outText);
}

SInt16 GetFontIDFromPopup(WindowRef theWindow, UInt32 theSig, SInt16 thePopup) {
    Str255 name;
    GetSelectedPopupTextFromID(theWindow, theSig, thePopup, name);
    return FMGetFontFamilyFromName(name);
}

SInt16 GetMenuItemPosition(ControlRef theControl, ConstStr255Param theName) {
    MenuRef menu = GetControlPopupMenuHandle(theControl);
    const SInt32 last = GetControl32BitMaximum(theControl);
    for (SInt32 item = 1; item <= last && item <= 32767; ++item) {
        Str255 text;
        GetMenuItemText(menu, MenuItemIndex(item), text);
        if (text[0] == theName[0] && std::memcmp(text + 1, theName + 1, text[0]) == 0) return SInt16(item);
    }
    return -1;
}

SInt16 FindNameInPopupByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theName) {
    return GetMenuItemPosition(SimpleGetControlByID(theWindow, theSig, theID), theName);
}
