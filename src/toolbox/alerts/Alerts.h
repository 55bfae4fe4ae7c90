// Standard alerts (the Dialog Manager's CreateStandardAlert/RunStandardAlert) and the
// Process Manager's ExitToShell. Alerts are shown by a presenter; without one they go
// to standard error and are answered with their default button.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "MacTypes.h"
#include "corefoundation/CFString.h"

typedef SInt16 AlertType;
typedef SInt16 DialogItemIndex;
typedef UInt32 OptionBits;
struct OpaqueDialogPtr;
typedef OpaqueDialogPtr* DialogRef;
typedef void* ModalFilterUPP;

enum : AlertType {
    kAlertStopAlert = 0,
    kAlertNoteAlert = 1,
    kAlertCautionAlert = 2,
    kAlertPlainAlert = 3,
};

enum : DialogItemIndex {
    kAlertStdAlertOKButton = 1,
    kAlertStdAlertCancelButton = 2,
    kAlertStdAlertOtherButton = 3,
};

enum : UInt32 { kStdCFStringAlertVersionOne = 1 };
enum : UInt16 { kWindowDefaultPosition = 0 };

// Button texts that stand for the system's own "OK" and "Cancel".
inline const CFStringRef kAlertDefaultOKText = reinterpret_cast<CFStringRef>(-1);
inline const CFStringRef kAlertDefaultCancelText = reinterpret_cast<CFStringRef>(-1);

struct AlertStdCFStringAlertParamRec {
    UInt32 version;
    Boolean movable;
    Boolean helpButton;
    CFStringRef defaultText;
    CFStringRef cancelText;
    CFStringRef otherText;
    SInt16 defaultButton;
    SInt16 cancelButton;
    UInt16 position;
    OptionBits flags;
};

OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec* param, UInt32 version);
OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert);
// Runs the alert modally, answers the button hit, and disposes of the alert.
OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP filterProc, DialogItemIndex* outItemHit);

// Ends the host process at once (status toolbox::kExitToShellStatus); only handlers
// registered with at_quick_exit run.
[[noreturn]] void ExitToShell();

namespace toolbox {

constexpr int kExitToShellStatus = 1;

// What a presenter is shown: texts in UTF-8, buttons numbered from 1 as the item hit.
struct StandardAlert {
    AlertType type = kAlertStopAlert;
    std::string headline;
    std::string text;
    std::vector<std::string> buttons;  // buttons[0] is item 1, the default unless said otherwise
    DialogItemIndex defaultButton = 1;
    DialogItemIndex cancelButton = 0;
};

using AlertPresenter = std::function<DialogItemIndex(const StandardAlert&)>;
// Installs a presenter and returns the one it replaces; an empty one restores standard error.
AlertPresenter SetAlertPresenter(AlertPresenter presenter);
// The presenter used without a display: headline and text on standard error, default button.
DialogItemIndex PresentAlertOnStandardError(const StandardAlert& alert);

}  // namespace toolbox
