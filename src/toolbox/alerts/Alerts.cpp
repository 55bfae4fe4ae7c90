// Standard alerts and ExitToShell.
#include "alerts/Alerts.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

struct OpaqueDialogPtr {
    toolbox::StandardAlert alert;
};

namespace {

toolbox::AlertPresenter& CurrentPresenter() {
    static toolbox::AlertPresenter presenter;
    return presenter;
}

const char* TypeWord(AlertType type) {
    switch (type) {
        case kAlertStopAlert: return "Stop";
        case kAlertNoteAlert: return "Note";
        case kAlertCautionAlert: return "Caution";
        default: return "Alert";
    }
}

// kAlertDefault...Text picks the system's text; nil means the button is not there.
void AddButton(std::vector<std::string>& buttons, CFStringRef text, const char* systemText) {
    if (text == nullptr) return;
    buttons.push_back(text == reinterpret_cast<CFStringRef>(-1) ? systemText : toolbox::CFStringToUTF8(text));
}

}  // namespace

namespace toolbox {

AlertPresenter SetAlertPresenter(AlertPresenter presenter) {
    AlertPresenter old = std::move(CurrentPresenter());
    CurrentPresenter() = std::move(presenter);
    return old;
}

// One line an alert, so that a log or a terminal shows each alert whole where it appears.
DialogItemIndex PresentAlertOnStandardError(const StandardAlert& alert) {
    const std::string& headline = alert.headline;
    const char* joint = alert.text.empty() ? "" : (!headline.empty() && headline.back() == ':') ? " " : ": ";
    std::fprintf(stderr, "[%s] %s%s%s\n", TypeWord(alert.type), headline.c_str(), joint, alert.text.c_str());
    std::fflush(stderr);
    return alert.defaultButton;
}

}  // namespace toolbox

OSStatus GetStandardAlertDefaultParams(AlertStdCFStringAlertParamRec* param, UInt32 version) {
    if (param == nullptr || version != kStdCFStringAlertVersionOne) return paramErr;
    *param = AlertStdCFStringAlertParamRec{version, true, false, kAlertDefaultOKText, nullptr, nullptr,
                                           kAlertStdAlertOKButton, 0, kWindowDefaultPosition, 0};
    return noErr;
}

OSStatus CreateStandardAlert(AlertType alertType, CFStringRef error, CFStringRef explanation,
                             const AlertStdCFStringAlertParamRec* param, DialogRef* outAlert) {
    if (outAlert == nullptr) return paramErr;
    *outAlert = nullptr;
    AlertStdCFStringAlertParamRec defaults;
    GetStandardAlertDefaultParams(&defaults, kStdCFStringAlertVersionOne);
    if (param == nullptr) param = &defaults;

    auto dialog = std::make_unique<OpaqueDialogPtr>();
    toolbox::StandardAlert& a = dialog->alert;
    a.type = alertType;
    a.headline = toolbox::CFStringToUTF8(error);
    a.text = toolbox::CFStringToUTF8(explanation);
    AddButton(a.buttons, param->defaultText, "OK");
    AddButton(a.buttons, param->cancelText, "Cancel");
    AddButton(a.buttons, param->otherText, "Don't Save");
    if (a.buttons.empty()) a.buttons.push_back("OK");  // an alert always has a way out
    a.defaultButton = param->defaultButton >= 1 && param->defaultButton <= DialogItemIndex(a.buttons.size())
                          ? param->defaultButton : 1;
    a.cancelButton = param->cancelButton <= DialogItemIndex(a.buttons.size()) ? param->cancelButton : 0;
    *outAlert = dialog.release();
    return noErr;
}

OSStatus RunStandardAlert(DialogRef inAlert, ModalFilterUPP, DialogItemIndex* outItemHit) {
    if (inAlert == nullptr) return paramErr;
    std::unique_ptr<OpaqueDialogPtr> dialog(inAlert);
    const toolbox::AlertPresenter& presenter = CurrentPresenter();
    DialogItemIndex hit = presenter ? presenter(dialog->alert) : toolbox::PresentAlertOnStandardError(dialog->alert);
    if (hit < 1 || hit > DialogItemIndex(dialog->alert.buttons.size())) hit = dialog->alert.defaultButton;
    if (outItemHit) *outItemHit = hit;
    return noErr;
}

// No destructors or atexit handlers run (the caller's state may be broken), but those
// registered with at_quick_exit do: the host removes its unfinished files there.
void ExitToShell() {
    std::fflush(nullptr);
    std::quick_exit(toolbox::kExitToShellStatus);
}
