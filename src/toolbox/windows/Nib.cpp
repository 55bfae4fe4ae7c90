// Nib references and windows made from nib descriptions with the Window and Control
// Managers' own calls, so a nib window is no different from one built in code.
#include "windows/Nib.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_set>

#include "controls/Controls.h"
#include "windows/NibReader.h"

struct OpaqueIBNibRef {
    toolbox::NibDocument doc;
};

namespace {

std::string gLastError;

std::unordered_set<IBNibRef>& LiveNibs() {
    static std::unordered_set<IBNibRef> live;
    return live;
}

OSStatus Failure(OSStatus status, const std::string& why) {
    gLastError = why;
    return status;
}

// Where a window appears when its nib gives no position: centred across, a third down.
Rect ContentRectFor(const toolbox::NibWindow& w) {
    if (w.position) return Rect{w.position->v, w.position->h, SInt16(w.position->v + w.height), SInt16(w.position->h + w.width)};
    Rect screen = (*GetMainDevice())->gdRect;
    const int left = std::max(0, (screen.right - screen.left - w.width) / 2);
    const int top = std::max(int(kWindowTitleBarHeight) + 22, (screen.bottom - screen.top - w.height) / 3);
    return Rect{SInt16(top), SInt16(left), SInt16(top + w.height), SInt16(left + w.width)};
}

struct CFHolder {
    CFStringRef s;
    explicit CFHolder(const std::string& utf8) : s(CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8)) {}
    ~CFHolder() { CFRelease(s); }
    CFHolder(const CFHolder&) = delete;
    CFHolder& operator=(const CFHolder&) = delete;
};

OSStatus MakeKind(WindowRef window, const toolbox::NibControl& d, ControlRef* out) {
    CFHolder title(d.title);
    ControlFontStyleRec style{SInt16(kControlUseSizeMask | kControlUseFaceMask | kControlUseJustMask), 0, d.fontSize,
                              SInt16(d.bold ? bold : normal), 0, d.just, {0, 0, 0}, {0, 0, 0}};
    switch (d.kind) {
        case toolbox::ControlKind::PushButton: return CreatePushButtonControl(window, &d.bounds, title.s, out);
        case toolbox::ControlKind::Slider:
            return CreateSliderControl(window, &d.bounds, d.value, d.minimum, d.maximum, kControlSliderDoesNotPoint, 0, d.live,
                                       nullptr, out);
        case toolbox::ControlKind::StaticText: return CreateStaticTextControl(window, &d.bounds, title.s, &style, out);
        case toolbox::ControlKind::EditText:
            return CreateEditTextControl(window, &d.bounds, title.s, d.password, false, &style, out);
        case toolbox::ControlKind::PopupButton:
            return CreatePopupButtonControl(window, &d.bounds, title.s, 0, false, 0, teFlushLeft, normal, out);
        case toolbox::ControlKind::Custom: {
            ControlDefSpec def{kControlDefObjectClass, {toolbox::FindToolboxObjectClass(d.classID)}};
            if (def.u.classRef == nullptr) return errUnknownControl;
            return CreateCustomControl(window, &d.bounds, &def, nullptr, out);
        }
    }
    return paramErr;
}

void ApplyPopupItems(ControlRef c, const toolbox::NibControl& d) {
    MenuRef menu = nullptr;
    if (CreateNewMenu(0, 0, &menu) != noErr) return;
    for (const std::string& item : d.items) {
        CFHolder text(item);
        AppendMenuItemTextWithCFString(menu, text.s, 0, 0, nullptr);
    }
    SetControlPopupMenuHandle(c, menu);
}

OSStatus MakeControl(WindowRef window, const toolbox::NibControl& d) {
    ControlRef c = nullptr;
    OSStatus status = MakeKind(window, d, &c);
    if (status != noErr) return status;
    SetControlID(c, &d.id);
    SetControlCommandID(c, d.command);
    if (d.kind == toolbox::ControlKind::PopupButton) ApplyPopupItems(c, d);
    else if (d.kind != toolbox::ControlKind::Slider) {
        SetControl32BitMaximum(c, d.maximum);
        SetControl32BitMinimum(c, d.minimum);
    }
    if (d.kind != toolbox::ControlKind::Slider) SetControl32BitValue(c, d.kind == toolbox::ControlKind::PopupButton && d.value == 0 ? 1 : d.value);
    if (d.kind == toolbox::ControlKind::Custom || d.kind == toolbox::ControlKind::PushButton) {
        ControlFontStyleRec style{kControlUseSizeMask, 0, d.fontSize, 0, 0, 0, {0, 0, 0}, {0, 0, 0}};
        SetControlFontStyle(c, &style);
    }
    if (d.isDefault) SetWindowDefaultButton(window, c);
    if (d.isCancel) SetWindowCancelButton(window, c);
    if (!d.enabled) DisableControl(c);
    if (!d.visible) HideControl(c);
    return noErr;
}

OSStatus ReadNibText(std::string_view text, const std::string& origin, IBNibRef* outNibRef) {
    auto nib = std::make_unique<OpaqueIBNibRef>();
    std::string why;
    if (!toolbox::ParseNib(text, &nib->doc, &why)) return Failure(kIBCarbonRuntimeObjectNotOfRequestedType, origin + ": " + why);
    *outNibRef = nib.release();
    LiveNibs().insert(*outNibRef);
    gLastError.clear();
    return noErr;
}

OSStatus ReadNibFile(const std::string& path, IBNibRef* outNibRef) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Failure(kIBCarbonRuntimeCantFindNibFile, "cannot open " + path);
    std::string text;
    text.resize(toolbox::kNibMaxBytes + 1);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(in.gcount()));
    return ReadNibText(text, path, outNibRef);
}

}  // namespace

namespace toolbox {

OSStatus CreateNibReferenceFromFile(const std::string& path, IBNibRef* outNibRef) {
    if (outNibRef == nullptr) return paramErr;
    *outNibRef = nullptr;
    return ReadNibFile(path, outNibRef);
}

OSStatus CreateNibReferenceFromText(std::string_view text, IBNibRef* outNibRef) {
    if (outNibRef == nullptr) return paramErr;
    *outNibRef = nullptr;
    return ReadNibText(text, "nib text", outNibRef);
}

std::string LastNibError() { return gLastError; }

}  // namespace toolbox

OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef) {
    if (outNibRef == nullptr) return paramErr;
    *outNibRef = nullptr;
    std::string name = toolbox::CFStringToUTF8(inNibName);
    if (inBundle == nullptr || name.empty()) return Failure(kIBCarbonRuntimeCantFindNibFile, "no bundle or no nib name");
    CFURLRef url = CFBundleCopyResourceURL(inBundle, inNibName, CFSTR("nib"), nullptr);
    if (url == nullptr) return Failure(kIBCarbonRuntimeCantFindNibFile, "the bundle has no " + name + ".nib");
    std::string path = toolbox::CFURLToPath(url);
    CFRelease(url);
    return ReadNibFile(path, outNibRef);
}

OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef) {
    return CreateNibReferenceWithCFBundle(CFBundleGetMainBundle(), inNibName, outNibRef);
}

OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow) {
    if (outWindow) *outWindow = nullptr;
    if (outWindow == nullptr || inNibRef == nullptr || !LiveNibs().count(inNibRef)) return paramErr;
    std::string name = toolbox::CFStringToUTF8(inName);
    const toolbox::NibWindow* d = toolbox::FindNibWindow(inNibRef->doc, name);
    if (d == nullptr) return Failure(kIBCarbonRuntimeCantFindObject, "the nib has no window \"" + name + "\"");
    if (!d->error.empty()) return Failure(kIBCarbonRuntimeObjectNotOfRequestedType, d->error);
    Rect content = ContentRectFor(*d);
    WindowRef window = nullptr;
    OSStatus status = CreateNewWindow(d->windowClass, d->attributes, &content, &window);
    if (status != noErr) return Failure(status, "cannot create the window \"" + name + "\"");
    toolbox::SetWindowName(window, name);
    CFHolder title(d->title);
    SetWindowTitleWithCFString(window, title.s);
    for (const toolbox::NibControl& c : d->controls) {
        status = MakeControl(window, c);
        if (status != noErr) {
            DisposeWindow(window);
            std::string what = c.classID.empty() ? "a control" : "a control of the class \"" + c.classID + "\"";
            return Failure(status, "window \"" + name + "\": " + what + " cannot be made (is the class registered?)");
        }
    }
    gLastError.clear();
    *outWindow = window;
    return noErr;
}

void DisposeNibReference(IBNibRef inNibRef) {
    if (LiveNibs().erase(inNibRef)) delete inNibRef;
}
