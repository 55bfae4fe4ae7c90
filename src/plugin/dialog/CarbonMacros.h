// CarbonMacros: controls addressed by control ID (signature and number) instead of by
// reference, and the boilerplate of installing Carbon event handlers and reading the
// usual parameters out of an event.
#pragma once

#include "Carbon.h"

// The event lists that callers keep for the install routines.
typedef EventTypeSpec EventTypeSpectList[20];

// The mouse location relative to the window ('wmou').
constexpr EventParamName kEventParamWindowMouseLocation = FOUR_CHAR_CODE("wmou");

// The four characters of a command ID, most significant byte first (length 4).
void CommandID2Str(UInt32 commandID, Str255 outString);

// Handlers on the usual targets; the toolbox's status is not reported.
void InstallWindowEventHandler(WindowRef theWindow, EventHandlerUPP theHandler, UInt32 numTypes,
                               const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef);
void InstallMenuEventHandler(MenuRef theMenu, EventHandlerUPP theHandler, UInt32 numTypes,
                             const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef);
void InstallControlEventHandler(ControlRef theControl, EventHandlerUPP theHandler, UInt32 numTypes,
                                const EventTypeSpec* typeList, void* userData, EventHandlerRef* handlerRef);
void InstallApplicationEventHandler(EventHandlerUPP theHandler, UInt32 numTypes, const EventTypeSpec* typeList,
                                    void* userData, EventHandlerRef* handlerRef);

WindowRef GetWindowFromEvent(EventRef theEvent);
void GetWindowKeyboardDataFromEvent(EventRef theEvent, char* theKey, UInt32* theKeyCode, UInt32* theMods);
Point GetMouseLocFromEvent(EventRef theEvent);

// nil when the window holds no such control.
ControlRef SimpleGetControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
Rect SimpleGetControlBox(WindowRef theWindow, UInt32 theSig, SInt16 theID);
Rect GetControlBox(ControlRef theControl);
// Sets the text of a static or edit text and redraws it; a missing control is skipped.
void SimpleSetControlText(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theText);
void SimpleShowControl(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SimpleHideControl(WindowRef theWindow, UInt32 theSig, SInt16 theID);
SInt32 SimpleGetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SimpleSetControlValueByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt32 theVal);
void SimpleEnableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SimpleDisableControlByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);

// At most the first 255 characters; empty when the control is missing or has no text.
void GetEditTextFromControl(WindowRef theWindow, UInt32 theSig, SInt16 theID, Str255 outText);
SInt32 GetNumberFromEditTextControl(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SetEditTextForControl(ConstStr255Param theText, WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SetEditTextToNumberForControl(SInt32 theNumber, WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SetKeyboadFocusByID(WindowRef theWindow, UInt32 theSig, SInt16 theID);
void SelectTextByIDForControl(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 startSel, SInt16 endSel);

void GetPopupItemText(ControlRef thePopup, SInt16 theItem, Str255 outText);
void GetSelectedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID, Str255 outText);
void GetIndexedPopupTextFromID(WindowRef theWindow, UInt32 theSig, SInt16 theID, SInt16 theIndex, Str255 outText);
SInt16 GetFontIDFromPopup(WindowRef theWindow, UInt32 theSig, SInt16 thePopup);
// The first item from 1 to the control's maximum whose text is theName byte for byte; -1 if none.
SInt16 GetMenuItemPosition(ControlRef theControl, ConstStr255Param theName);
SInt16 FindNameInPopupByID(WindowRef theWindow, UInt32 theSig, SInt16 theID, ConstStr255Param theName);
