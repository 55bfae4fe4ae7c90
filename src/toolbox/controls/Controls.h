// Control Manager stand-in: push buttons, sliders, static and edit texts, pop-up buttons
// and controls of registered toolbox object classes, addressed by control ID, drawn in a
// plain style and tracked like the Mac's controls.
#pragma once

#include <cstdint>
#include <string>

#include "MacTypes.h"
#include "controls/Menus.h"
#include "corefoundation/CFString.h"
#include "events/CarbonEvents.h"
#include "quickdraw/QDText.h"
#include "windows/MacWindows.h"

struct ControlID {
    OSType signature;
    SInt32 id;
};

typedef void (*ControlActionProcPtr)(ControlRef theControl, ControlPartCode partCode);
typedef ControlActionProcPtr ControlActionUPP;
typedef OSType ControlKeyFilterResult;
typedef UInt32 ControlSliderOrientation;
typedef SInt16 ControlFocusPart;

struct ControlEditTextSelectionRec {
    SInt16 selStart;
    SInt16 selEnd;
};

struct ControlFontStyleRec {
    SInt16 flags;
    SInt16 font;
    SInt16 size;
    SInt16 style;
    SInt16 mode;
    SInt16 just;
    RGBColor foreColor;
    RGBColor backColor;
};

enum : SInt16 {
    kControlUseFontMask = 0x0001,
    kControlUseFaceMask = 0x0002,
    kControlUseSizeMask = 0x0004,
    kControlUseJustMask = 0x0040,
};

enum : SInt16 { teFlushDefault = 0, teCenter = 1, teFlushRight = -1, teFlushLeft = -2 };

enum : UInt32 { kControlDefObjectClass = 1 };
struct ControlDefSpec {
    UInt32 defType;
    union {
        ToolboxObjectClassRef classRef;
        void* defUPP;
    } u;
};

enum : ControlPartCode {
    kControlNoPart = 0,
    kControlLabelPart = 1,
    kControlMenuPart = 2,
    kControlTrianglePart = 4,
    kControlEditTextPart = 5,
    kControlButtonPart = 10,
    kControlUpButtonPart = 20,
    kControlDownButtonPart = 21,
    kControlPageUpPart = 22,
    kControlPageDownPart = 23,
    kControlIndicatorPart = 129,
    kControlDisabledPart = 254,
    kControlInactivePart = 255,
};

enum : ControlFocusPart { kControlFocusNoPart = 0, kControlFocusNextPart = -1, kControlFocusPrevPart = -2 };

enum : ControlSliderOrientation {
    kControlSliderPointsDownOrRight = 0,
    kControlSliderPointsUpOrLeft = 1,
    kControlSliderDoesNotPoint = 2,
};

// Data tags.
enum : OSType {
    kControlEditTextTextTag = FOUR_CHAR_CODE("text"),
    kControlStaticTextTextTag = FOUR_CHAR_CODE("text"),
    kControlEditTextSelectionTag = FOUR_CHAR_CODE("sele"),
    kControlEditTextCFStringTag = FOUR_CHAR_CODE("cfst"),
    kControlStaticTextCFStringTag = FOUR_CHAR_CODE("cfst"),
    kControlPopupButtonMenuRefTag = FOUR_CHAR_CODE("mhan"),
    kControlPushButtonDefaultTag = FOUR_CHAR_CODE("dflt"),
    kControlPushButtonCancelTag = FOUR_CHAR_CODE("cncl"),
    kControlFontStyleTag = FOUR_CHAR_CODE("font"),
};

enum : OSStatus {
    errDataNotSupported = -30583,
    errControlIsNotEmbedder = -30590,
    errDataSizeMismatch = -30591,
    errInvalidPartCode = -30593,
    errControlHiddenOrDisabled = -30598,
};

// --- Creation --------------------------------------------------------------------------
OSStatus CreatePushButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title,
                                 ControlRef* outControl);
OSStatus CreateSliderControl(WindowRef window, const Rect* boundsRect, SInt32 value, SInt32 minimum,
                             SInt32 maximum, ControlSliderOrientation orientation, UInt16 numTickMarks,
                             Boolean liveTracking, ControlActionUPP liveTrackingProc, ControlRef* outControl);
OSStatus CreateStaticTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text,
                                 const ControlFontStyleRec* style, ControlRef* outControl);
OSStatus CreateEditTextControl(WindowRef window, const Rect* boundsRect, CFStringRef text, Boolean isPassword,
                               Boolean useInlineInputStyle, const ControlFontStyleRec* style,
                               ControlRef* outControl);
// The pop-up's items come from SetControlPopupMenuHandle; menuID is kept only for reference.
OSStatus CreatePopupButtonControl(WindowRef window, const Rect* boundsRect, CFStringRef title, SInt16 menuID,
                                  Boolean variableWidth, SInt16 titleWidth, SInt16 titleJustification,
                                  Style titleStyle, ControlRef* outControl);
// A control of a registered toolbox object class; it is sent its class's events.
OSStatus CreateCustomControl(WindowRef owningWindow, const Rect* contBounds, const ControlDefSpec* def,
                             void* initData, ControlRef* outControl);
void DisposeControl(ControlRef theControl);

// --- Identity and ownership ----------------------------------------------------------------
OSStatus SetControlID(ControlRef inControl, const ControlID* inID);
OSStatus GetControlID(ControlRef inControl, ControlID* outID);
// errUnknownControl when the window holds no control with that ID.
OSStatus GetControlByID(WindowRef inWindow, const ControlID* inID, ControlRef* outControl);
WindowRef GetControlOwner(ControlRef control);
OSStatus SetControlCommandID(ControlRef inControl, UInt32 inCommandID);
OSStatus GetControlCommandID(ControlRef inControl, UInt32* outCommandID);
void SetControlReference(ControlRef theControl, SInt32 data);
SInt32 GetControlReference(ControlRef theControl);

// --- Geometry, visibility, state -----------------------------------------------------------
Rect* GetControlBounds(ControlRef control, Rect* bounds);
void SetControlBounds(ControlRef control, const Rect* bounds);
void ShowControl(ControlRef theControl);
void HideControl(ControlRef theControl);
Boolean IsControlVisible(ControlRef inControl);
OSStatus EnableControl(ControlRef inControl);
OSStatus DisableControl(ControlRef inControl);
Boolean IsControlEnabled(ControlRef inControl);
OSStatus ActivateControl(ControlRef inControl);
OSStatus DeactivateControl(ControlRef inControl);
Boolean IsControlActive(ControlRef inControl);
// 254 disabled, 255 inactive (or in an inactive window), else the part being pressed.
UInt16 GetControlHilite(ControlRef control);
void HiliteControl(ControlRef theControl, ControlPartCode hiliteState);
void Draw1Control(ControlRef theControl);

// --- Values (setting one redraws the control) -------------------------------------------------
SInt32 GetControl32BitValue(ControlRef theControl);
void SetControl32BitValue(ControlRef theControl, SInt32 newValue);
SInt32 GetControl32BitMinimum(ControlRef theControl);
void SetControl32BitMinimum(ControlRef theControl, SInt32 newMinimum);
SInt32 GetControl32BitMaximum(ControlRef theControl);
void SetControl32BitMaximum(ControlRef theControl, SInt32 newMaximum);
SInt16 GetControlValue(ControlRef theControl);
void SetControlValue(ControlRef theControl, SInt16 newValue);

// --- Titles and data --------------------------------------------------------------------------
OSStatus SetControlTitleWithCFString(ControlRef inControl, CFStringRef inString);
OSStatus CopyControlTitleAsCFString(ControlRef inControl, CFStringRef* outString);
void SetControlTitle(ControlRef theControl, ConstStr255Param title);
void GetControlTitle(ControlRef theControl, Str255 title);
OSStatus SetControlData(ControlRef inControl, ControlPartCode inPart, OSType inTagName, Size inSize,
                        const void* inData);
// Copies at most inBufferSize bytes; outActualSize tells the data's whole size.
OSStatus GetControlData(ControlRef inControl, ControlPartCode inPart, OSType inTagName, Size inBufferSize,
                        void* inBuffer, Size* outActualSize);
OSStatus GetControlDataSize(ControlRef inControl, ControlPartCode inPart, OSType inTagName, Size* outMaxSize);
OSStatus SetControlFontStyle(ControlRef inControl, const ControlFontStyleRec* inStyle);
MenuRef GetControlPopupMenuHandle(ControlRef control);
void SetControlPopupMenuHandle(ControlRef control, MenuRef popupMenu);

// --- Actions, focus, clicks -------------------------------------------------------------------
ControlActionUPP NewControlActionUPP(ControlActionProcPtr userRoutine);
void DisposeControlActionUPP(ControlActionUPP userUPP);
void SetControlAction(ControlRef theControl, ControlActionUPP actionProc);
ControlActionUPP GetControlAction(ControlRef theControl);
OSStatus SetKeyboardFocus(WindowRef inWindow, ControlRef inControl, ControlFocusPart inPart);
OSStatus GetKeyboardFocus(WindowRef inWindow, ControlRef* outControl);
OSStatus ClearKeyboardFocus(WindowRef inWindow);
OSStatus SetWindowDefaultButton(WindowRef inWindow, ControlRef inControl);
OSStatus SetWindowCancelButton(WindowRef inWindow, ControlRef inControl);
OSStatus GetWindowDefaultButton(WindowRef inWindow, ControlRef* outControl);
OSStatus GetWindowCancelButton(WindowRef inWindow, ControlRef* outControl);
// The frontmost visible, enabled control under a point in the window's coordinates.
ControlRef FindControlUnderMouse(Point inWhere, WindowRef inWindow, ControlPartCode* outPart);
// Tracks a click that went down at inWhere (window coordinates) with the mouse input that
// follows, and answers the part released on (0 when none). inAction -1 uses the control's own.
ControlPartCode HandleControlClick(ControlRef inControl, Point inWhere, UInt32 inModifiers,
                                   ControlActionUPP inAction);

inline const ControlActionUPP kControlUseOwnAction = reinterpret_cast<ControlActionUPP>(std::intptr_t(-1));

namespace toolbox {

enum class ControlKind { PushButton, Slider, StaticText, EditText, PopupButton, Custom };

bool IsLiveControl(ControlRef control);
ControlKind GetControlKind(ControlRef control);
Boolean IsSliderLive(ControlRef control);
// The text of a static or edit text, or a button's title, as Mac Roman bytes.
std::string ControlTextMacRoman(ControlRef control);
// The slider's thumb rectangle and the window point at which the thumb centre shows a
// value (scripts drag a thumb there like a person would).
Rect SliderThumbRect(ControlRef slider);
Point SliderPointForValue(ControlRef slider, SInt32 value);
SInt32 SliderValueAtPoint(ControlRef slider, Point where);
// Where the open pop-up menu shows an item (window coordinates); empty rect if none.
Rect PopupMenuItemRect(ControlRef popup, MenuItemIndex item);
// The frontmost visible, enabled push button that sends the command (nil when none).
ControlRef FindButtonWithCommand(WindowRef window, UInt32 command);
// Presses a push button as a click on it would (Return and Escape use this).
void PressButton(ControlRef button, UInt32 modifiers);
// A key typed into a window: offered as kEventRawKeyDown to the focus, then handled by
// the toolbox (text entry, Return, Escape, Tab).
void HandleKeyInWindow(WindowRef window, char charCode, UInt32 keyCode, UInt32 modifiers);

}  // namespace toolbox
