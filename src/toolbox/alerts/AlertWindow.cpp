// Alert windows: the icon of the alert type, a bold headline, the text wrapped below it
// and the buttons along the bottom right, the default one rightmost as on the Mac.
#include "alerts/AlertWindow.h"

#include <algorithm>
#include <unordered_set>

#include "controls/Controls.h"
#include "events/EventSource.h"

namespace {

constexpr short kWidth = 440;
constexpr short kMargin = 20;
constexpr short kIconSize = 48;
constexpr short kTextLeft = kMargin + kIconSize + 16;
constexpr short kButtonHeight = 24;

std::unordered_set<WindowRef>& AlertWindows() {
    static std::unordered_set<WindowRef> windows;
    return windows;
}

// The item number lives in the low byte of each button's command: 'alr1', 'alr2', ...
UInt32 CommandForItem(int item) { return FOUR_CHAR_CODE("alr0") + UInt32(item); }

struct AlertRun {
    WindowRef window;
    DialogItemIndex hit = 0;
};

OSStatus AlertCommandHandler(EventHandlerCallRef, EventRef event, void* userData) {
    auto* run = static_cast<AlertRun*>(userData);
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    const UInt32 base = FOUR_CHAR_CODE("alr0");
    if (command.commandID <= base || command.commandID > base + 9) return eventNotHandledErr;
    run->hit = DialogItemIndex(command.commandID - base);
    QuitAppModalLoopForWindow(run->window);
    return noErr;
}

int TextHeight(const std::string& macRoman, short size, Style face, int width) {
    auto lines = toolbox::WrapMacRoman(macRoman, width, systemFont, size, face);
    return int(lines.size()) * (size + 4);
}

ControlRef AddText(WindowRef w, const std::string& utf8, short top, short height, short size, bool isBold) {
    Rect r{top, kTextLeft, SInt16(top + height), SInt16(kWidth - kMargin)};
    CFStringRef text = CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
    ControlFontStyleRec style{SInt16(kControlUseSizeMask | kControlUseFaceMask), 0, size, SInt16(isBold ? bold : normal),
                              0, 0, {0, 0, 0}, {0, 0, 0}};
    ControlRef c = nullptr;
    CreateStaticTextControl(w, &r, text, &style, &c);
    CFRelease(text);
    return c;
}

void AddButtons(WindowRef w, const toolbox::StandardAlert& alert, short top) {
    short right = SInt16(kWidth - kMargin);
    // The default button sits rightmost, the others to its left in item order.
    std::vector<int> order;
    order.push_back(alert.defaultButton);
    for (int i = 1; i <= int(alert.buttons.size()); ++i)
        if (i != alert.defaultButton) order.push_back(i);
    for (int item : order) {
        const std::string& title = alert.buttons[std::size_t(item - 1)];
        short width = short(std::max(88, toolbox::MeasureMacRoman(toolbox::UTF8ToMacRoman(title), systemFont, 13, bold) + 28));
        Rect r{top, SInt16(right - width), SInt16(top + kButtonHeight), right};
        CFStringRef text = CFStringCreateWithCString(nullptr, title.c_str(), kCFStringEncodingUTF8);
        ControlRef b = nullptr;
        CreatePushButtonControl(w, &r, text, &b);
        CFRelease(text);
        ControlID id{FOUR_CHAR_CODE("alrt"), item};
        SetControlID(b, &id);
        SetControlCommandID(b, CommandForItem(item));
        if (item == alert.defaultButton) SetWindowDefaultButton(w, b);
        if (item == alert.cancelButton) SetWindowCancelButton(w, b);
        right = SInt16(r.left - 12);
    }
}

// The icon: a red disc for stop, an amber triangle for caution, a blue disc for notes.
void DrawIcon(const Rect& r, AlertType type) {
    RGBColor fill = type == kAlertStopAlert      ? RGBColor{0xD0D0, 0x2020, 0x2020}
                    : type == kAlertCautionAlert ? RGBColor{0xF0F0, 0xB0B0, 0x1010}
                                                 : RGBColor{0x2F2F, 0x6B6B, 0xD0D0};
    const RGBColor mark = type == kAlertCautionAlert ? RGBColor{0, 0, 0} : RGBColor{0xFFFF, 0xFFFF, 0xFFFF};
    const short size = short(r.right - r.left), mid = short(r.left + size / 2);
    RGBForeColor(&fill);
    if (type == kAlertCautionAlert) {
        for (short y = 0; y < size; ++y) {
            short half = short((y + 1) / 2);
            Rect row{SInt16(r.top + y), SInt16(mid - half), SInt16(r.top + y + 1), SInt16(mid + half)};
            PaintRect(&row);
        }
    } else {
        PaintOval(&r);
    }
    RGBForeColor(&mark);
    Rect bar{SInt16(r.top + size * 14 / 48), SInt16(mid - 3), SInt16(r.top + size * 32 / 48), SInt16(mid + 3)};
    Rect dot{SInt16(r.top + size * 36 / 48), SInt16(mid - 3), SInt16(r.top + size * 42 / 48), SInt16(mid + 3)};
    PaintRect(&bar);
    PaintRect(&dot);
}

// The icon is a control of the toolbox's own class; its value is the alert type.
OSStatus AlertIconHandler(EventHandlerCallRef, EventRef event, void*) {
    ControlRef c = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
    if (GetEventKind(event) != kEventControlDraw || c == nullptr) return eventNotHandledErr;
    Rect r;
    GetControlBounds(c, &r);
    DrawIcon(r, AlertType(GetControl32BitValue(c)));
    return noErr;
}

ToolboxObjectClassRef AlertIconClass() {
    static ToolboxObjectClassRef cls = [] {
        EventTypeSpec draw{kEventClassControl, kEventControlDraw};
        ToolboxObjectClassRef ref = nullptr;
        RegisterToolboxObjectClass(CFSTR("org.tonefade.toolbox.alerticon"), nullptr, 1, &draw, AlertIconHandler, nullptr, &ref);
        return ref;
    }();
    return cls;
}

void AddIcon(WindowRef w, AlertType type) {
    Rect r{kMargin, kMargin, SInt16(kMargin + kIconSize), SInt16(kMargin + kIconSize)};
    ControlDefSpec def{kControlDefObjectClass, {AlertIconClass()}};
    ControlRef icon = nullptr;
    if (CreateCustomControl(w, &r, &def, nullptr, &icon) != noErr) return;
    SetControl32BitMaximum(icon, kAlertPlainAlert);
    SetControl32BitValue(icon, type);
}

}  // namespace

namespace toolbox {

bool IsAlertWindow(WindowRef window) { return AlertWindows().count(window) != 0 && IsLiveWindow(window); }

WindowRef CreateAlertWindow(const StandardAlert& alert) {
    const int textWidth = kWidth - kMargin - kTextLeft;
    const short headHeight = short(std::max(18, TextHeight(UTF8ToMacRoman(alert.headline), 14, bold, textWidth)));
    const short bodyHeight = short(alert.text.empty() ? 0 : TextHeight(UTF8ToMacRoman(alert.text), 12, normal, textWidth));
    const short buttonsTop = short(std::max<int>(kMargin + kIconSize + 16, kMargin + headHeight + 10 + bodyHeight + 18));
    const short height = short(std::min(buttonsTop + kButtonHeight + kMargin, 1000));
    Rect screen = (*GetMainDevice())->gdRect;
    const short left = short((screen.right - kWidth) / 2), top = 80;
    Rect content{top, left, SInt16(top + height), SInt16(left + kWidth)};
    WindowRef w = nullptr;
    if (CreateNewWindow(kMovableAlertWindowClass, kWindowStandardHandlerAttribute, &content, &w) != noErr) return nullptr;
    SetWindowTitleWithCFString(w, CFSTR(""));
    SetWindowName(w, "alert");
    AddIcon(w, alert.type);
    AddText(w, alert.headline, kMargin, headHeight, 14, true);
    if (!alert.text.empty()) AddText(w, alert.text, SInt16(kMargin + headHeight + 10), bodyHeight, 12, false);
    AddButtons(w, alert, SInt16(height - kMargin - kButtonHeight));
    AlertWindows().insert(w);
    return w;
}

DialogItemIndex PresentAlertInWindow(const StandardAlert& alert) {
    WindowRef w = CreateAlertWindow(alert);
    if (w == nullptr) return PresentAlertOnStandardError(alert);
    AlertRun run{w};
    EventTypeSpec commandSpec{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(w), AlertCommandHandler, 1, &commandSpec, &run, nullptr);
    ShowWindow(w);
    BringToFront(w);
    RunAppModalLoopForWindow(w);
    AlertWindows().erase(w);
    DisposeWindow(w);
    // The loop ends without a button when the input ends and there is no cancel button.
    return run.hit != 0 ? run.hit : alert.cancelButton != 0 ? alert.cancelButton : alert.defaultButton;
}

}  // namespace toolbox
