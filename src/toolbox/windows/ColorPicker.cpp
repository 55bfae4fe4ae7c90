// The colour picker window. Its sliders are live, so the swatch and the numbers follow
// the thumbs while they move; the colour is handed back only when OK ends the loop.
#include "windows/ColorPicker.h"

#include <cstring>

#include "controls/Controls.h"
#include "events/EventSource.h"
#include "windows/MacWindows.h"

namespace {

constexpr OSType kValueSignature = FOUR_CHAR_CODE("cpkv");
constexpr OSType kSwatchSignature = FOUR_CHAR_CODE("cpks");

struct PickerRun {
    WindowRef window = nullptr;
    bool chosen = false;
};

ControlRef Find(WindowRef w, OSType sig, SInt32 n) {
    ControlID id{sig, n};
    ControlRef c = nullptr;
    GetControlByID(w, &id, &c);
    return c;
}

SInt32 Packed(WindowRef w) {
    SInt32 v = 0;
    for (SInt32 n = 1; n <= 3; ++n) v = (v << 8) | (GetControl32BitValue(Find(w, toolbox::kColorPickerSliderSignature, n)) & 0xFF);
    return v;
}

void ShowNumber(ControlRef slider) {
    ControlID id;
    GetControlID(slider, &id);
    std::string text = std::to_string(GetControl32BitValue(slider));
    ControlRef legend = Find(GetControlOwner(slider), kValueSignature, id.id);
    SetControlData(legend, 0, kControlStaticTextTextTag, Size(text.size()), text.data());
    Draw1Control(legend);
}

void SliderMoved(ControlRef slider, ControlPartCode) {
    WindowRef w = GetControlOwner(slider);
    ShowNumber(slider);
    SetControl32BitValue(Find(w, kSwatchSignature, 1), Packed(w));
}

OSStatus SwatchHandler(EventHandlerCallRef, EventRef event, void*) {
    ControlRef c = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
    if (c == nullptr) return eventNotHandledErr;
    Rect r;
    GetControlBounds(c, &r);
    const UInt32 v = UInt32(GetControl32BitValue(c));
    RGBColor color{UInt16(((v >> 16) & 0xFF) * 257), UInt16(((v >> 8) & 0xFF) * 257), UInt16((v & 0xFF) * 257)};
    RGBColor black{0, 0, 0};
    RGBForeColor(&color);
    PaintRect(&r);
    RGBForeColor(&black);
    FrameRect(&r);
    return noErr;
}

ToolboxObjectClassRef SwatchClass() {
    static ToolboxObjectClassRef cls = [] {
        EventTypeSpec draw{kEventClassControl, kEventControlDraw};
        ToolboxObjectClassRef ref = nullptr;
        RegisterToolboxObjectClass(CFSTR("org.tonefade.toolbox.swatch"), nullptr, 1, &draw, SwatchHandler, nullptr, &ref);
        return ref;
    }();
    return cls;
}

OSStatus PickerCommand(EventHandlerCallRef, EventRef event, void* userData) {
    auto* run = static_cast<PickerRun*>(userData);
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    if (command.commandID != kHICommandOK && command.commandID != kHICommandCancel) return eventNotHandledErr;
    run->chosen = command.commandID == kHICommandOK;
    QuitAppModalLoopForWindow(run->window);
    return noErr;
}

ControlRef Text(WindowRef w, Rect r, const std::string& macRoman, SInt16 just = teFlushDefault) {
    ControlRef c = nullptr;
    ControlFontStyleRec style{kControlUseJustMask, 0, 0, 0, 0, just, {0, 0, 0}, {0, 0, 0}};
    CreateStaticTextControl(w, &r, CFSTR(""), &style, &c);
    SetControlData(c, 0, kControlStaticTextTextTag, Size(macRoman.size()), macRoman.data());
    return c;
}

void AddSliders(WindowRef w, const CMRGBColor& start) {
    const char* names[] = {"Red", "Green", "Blue"};
    const UInt16 channels[] = {start.red, start.green, start.blue};
    for (SInt32 n = 1; n <= 3; ++n) {
        const SInt16 top = SInt16(52 + (n - 1) * 34);
        Text(w, Rect{top, 130, SInt16(top + 20), 180}, names[n - 1]);
        ControlRef slider = nullptr;
        Rect r{SInt16(top - 2), 182, SInt16(top + 20), 442};
        CreateSliderControl(w, &r, channels[n - 1] >> 8, 0, 255, kControlSliderDoesNotPoint, 0, true, SliderMoved, &slider);
        ControlID id{toolbox::kColorPickerSliderSignature, n};
        SetControlID(slider, &id);
        ControlRef number = Text(w, Rect{top, 448, SInt16(top + 20), 480}, std::to_string(channels[n - 1] >> 8), teFlushRight);
        ControlID numberID{kValueSignature, n};
        SetControlID(number, &numberID);
    }
}

WindowRef BuildPicker(const NColorPickerInfo& info) {
    Rect screen = (*GetMainDevice())->gdRect;
    const short width = 500, height = 210;
    Rect content{120, SInt16((screen.right - width) / 2), SInt16(120 + height), SInt16((screen.right + width) / 2)};
    if (info.placeWhere == kAtSpecifiedOrigin) {
        // The origin is the window's top-left corner; keep the title bar on the screen.
        content = Rect{SInt16(info.dialogOrigin.v + kWindowTitleBarHeight), info.dialogOrigin.h,
                       SInt16(info.dialogOrigin.v + kWindowTitleBarHeight + height), SInt16(info.dialogOrigin.h + width)};
    }
    WindowRef w = nullptr;
    if (CreateNewWindow(kMovableModalWindowClass, kWindowStandardHandlerAttribute, &content, &w) != noErr) return nullptr;
    SetWindowTitleWithCFString(w, CFSTR("Colors"));
    toolbox::SetWindowName(w, "colorPicker");
    Text(w, Rect{14, 20, 38, 480}, std::string(reinterpret_cast<const char*>(info.prompt + 1), info.prompt[0]));
    ControlDefSpec def{kControlDefObjectClass, {SwatchClass()}};
    ControlRef swatch = nullptr;
    Rect swatchRect{50, 20, 150, 120};
    CreateCustomControl(w, &swatchRect, &def, nullptr, &swatch);
    ControlID swatchID{kSwatchSignature, 1};
    SetControlID(swatch, &swatchID);
    SetControl32BitMaximum(swatch, 0xFFFFFF);
    AddSliders(w, info.theColor.color.rgb);
    SetControl32BitValue(swatch, Packed(w));
    const char* titles[] = {"Cancel", "OK"};
    const UInt32 commands[] = {kHICommandCancel, kHICommandOK};
    for (int i = 0; i < 2; ++i) {
        Rect r{SInt16(height - 44), SInt16(width - 220 + i * 110), SInt16(height - 20), SInt16(width - 130 + i * 110)};
        ControlRef b = nullptr;
        CreatePushButtonControl(w, &r, CFSTR(titles[i]), &b);
        SetControlCommandID(b, commands[i]);
        if (i == 0) SetWindowCancelButton(w, b);
        else SetWindowDefaultButton(w, b);
    }
    return w;
}

}  // namespace

OSStatus NPickColor(NColorPickerInfo* info) {
    if (info == nullptr) return paramErr;
    info->newColorChosen = false;
    if (toolbox::CurrentEventSource() == nullptr) return noErr;  // nobody to ask
    WindowRef w = BuildPicker(*info);
    if (w == nullptr) return memFullErr;
    PickerRun run{w};
    EventTypeSpec fileSpec{kEventClassCommand, kEventCommandProcess};
    InstallEventHandler(GetWindowEventTarget(w), PickerCommand, 1, &fileSpec, &run, nullptr);
    ShowWindow(w);
    BringToFront(w);
    RunAppModalLoopForWindow(w);
    if (run.chosen) {
        const SInt32 v = Packed(w);
        info->theColor.color.rgb = CMRGBColor{UInt16(((v >> 16) & 0xFF) * 257), UInt16(((v >> 8) & 0xFF) * 257), UInt16((v & 0xFF) * 257)};
        info->newColorChosen = true;
    }
    DisposeWindow(w);
    return noErr;
}
