// ConfigDlgHandler: the dialog's window loop and its commands. The dialog edits the
// record in place so the preview follows every change; the flat copy taken on entry is
// the whole of Cancel.
#include "dialog/ConfigDlgHandler.h"

#include <cstring>

#include "dialog/AboutWindow.h"
#include "dialog/CarbonMacros.h"
#include "dialog/SliderHandlers.h"
#include "effect/CommonProcs.h"
#include "effect/CommonProcsText.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"

namespace {

enum : SInt16 { kItemReopen = 0, kItemOK = 1, kItemCancel = 2, kItemNone = -1 };

WindowRef lgTheWindow = nullptr;
SInt16 lgItemHit = kItemNone;

constexpr UInt32 kClipSig = FOUR_CHAR_CODE("Clip");
constexpr UInt32 kColorSig = FOUR_CHAR_CODE("Colr");
constexpr UInt32 kColorLegendSig = FOUR_CHAR_CODE("CLgd");
constexpr UInt32 kRectSig = FOUR_CHAR_CODE("Rect");
constexpr UInt32 kMediaSig = FOUR_CHAR_CODE("Medi");
constexpr UInt32 kLegendSig = FOUR_CHAR_CODE("Lgnd");
constexpr UInt32 kClipTextSig = FOUR_CHAR_CODE("ClpM");

constexpr Boolean kUsesColor[6] = {cUsesColor1, cUsesColor2, cUsesColor3, cUsesColor4, cUsesColor5, cUsesColor6};
const char* const kMissingColor[6] = {"Cannot allocate color1 in SetupDialog", "Cannot allocate color2 in SetupDialog",
                                      "Cannot allocate color3 in SetupDialog", "Cannot allocate color4 in SetupDialog",
                                      "Cannot allocate color5 in SetupDialog", "Cannot allocate color6 in SetupDialog"};

void NotifyText(const char* theText) {
    Str255 message;
    CopyCStringToPascal(theText, message);
    Notify(message);
}

// 'Adva' and 'Revi': one frame on or back, within 0 to maxFrameIndex; at either end
// nothing is fetched, drawn or written.
void StepClipPosition(SInt32 theStep) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    SInt32 v = GetControl32BitValue(ws.clipSlider);
    if (theStep > 0 ? v >= ws.maxFrameIndex : v <= 0) return;
    v += theStep;
    SetControl32BitValue(ws.clipSlider, v);
    ws.currFrameIndex = v;
    AccessRenderAndBlit(v);
    Str255 text;
    ClipPositionText(v, ws.maxFrameIndex, text);
    SimpleSetControlText(ws.theWindow, kClipTextSig, 1, text);
}

void ResetSettings() {
    pluginWorkSpace& ws = gConfigWorkSpace;
    ResetConfig(ws.theConfig);
    Config2Dlg(ws.theConfig);
    RerenderAndBlit();
}

// A new format closes the window so that DoConfig opens the other layout.
void ChangeMediaFormat(WindowRef theWindow) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    SInt16 before = ws.theConfig->mediaType;
    ws.theConfig->mediaType = SInt16(SimpleGetControlValueByID(ws.theWindow, kMediaSig, 1));
    if (ws.theConfig->mediaType == before) return;
    lgItemHit = kItemReopen;
    QuitAppModalLoopForWindow(theWindow);
}

void SelectWholeFrame() {
    relRect whole;
    InitRelRect(&whole);
    PutCurrentRel(whole);
    RerenderAndBlit();
}

// The manual is the bundle's "manual.pdf", shown by the user's PDF viewer. Every
// failure is a notice; the dialog carries on.
void OpenManual() {
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("com.qorvel.lumiset.tonefade"));
    if (bundle == nullptr) return NotifyText("Cannot Locate Bundle. Proceed with caution. Crash imminent");
    CFURLRef manual = CFBundleCopyResourceURL(bundle, CFSTR("manual"), CFSTR("pdf"), nullptr);
    if (manual == nullptr) return NotifyText("Cannot locate manual in bundle");
    FSRef ref;
    if (CFURLGetFSRef(manual, &ref)) {
        OSStatus status = LSOpenFSRef(&ref, nullptr);
        if (status != noErr) {
            Str255 message, number;
            CopyCStringToPascal("LSOpen failed with ", message);
            Num2Text(status, number);
            std::memcpy(message + 1 + message[0], number + 1, number[0]);
            message[0] = UInt8(message[0] + number[0]);
            Notify(message);
        }
    }
    CFRelease(manual);
}

bool IsCommand(ConstStr255Param theCommand, const char* theCode) {
    return theCommand[0] == 4 && std::memcmp(theCommand + 1, theCode, 4) == 0;
}

// One pass of DoConfig's loop: the window of the record's format, run until a command
// ends it. A loop that ends without OK, Cancel or a new format counts as Cancel, so a
// window that lost its input is never opened again and again.
void RunConfigWindow(pluginDataPtr theConfig) {
    lgTheWindow = OpenNibWindowFromCFBundle(cBundleIdentifier, cNibName, ConfigWindowName(theConfig->mediaType));
    if (lgTheWindow == nullptr) return;
    const EventTypeSpec commandEvent = {kEventClassCommand, kEventCommandProcess};
    InstallWindowEventHandler(lgTheWindow, NewEventHandlerUPP(TheDialogHandler), 1, &commandEvent, lgTheWindow,
                              nullptr);
    lgItemHit = kItemNone;
    SetupDialog(lgTheWindow, theConfig);
    ShowWindow(lgTheWindow);
    SetPort(GetWindowPort(lgTheWindow));
    BringToFront(lgTheWindow);
    RunAppModalLoopForWindow(lgTheWindow);
    DisposeWindow(lgTheWindow);
    lgTheWindow = nullptr;
    if (lgItemHit != kItemOK && lgItemHit != kItemCancel && lgItemHit != kItemReopen) lgItemHit = kItemCancel;
}

}  // namespace

const char* ConfigWindowName(SInt16 mediaType) {
    switch (mediaType) {
        case kMediaPAL: return "configPAL";
        case kMediaHD: return "configHD";
        default: return "configNTSC";
    }
}

void DoConfig(pluginDataPtr theConfig) {
    Assert(theConfig, "Nil theConfig on DoConfig");
    const pluginDataRec undo = *theConfig;
    do {
        RunConfigWindow(theConfig);
    } while (lgItemHit != kItemOK && lgItemHit != kItemCancel);
    if (lgItemHit == kItemOK)
        (void)SaveConfig(theConfig);
    else
        *theConfig = undo;
}

void SetupDialog(WindowRef theWindow, pluginDataPtr theConfig) {
    Assert(theWindow, "Nil Window in SetupDialog");
    Assert(theConfig, "Nil theConfig in SetupDialog");
    pluginWorkSpace& ws = gConfigWorkSpace;
    ws.theWindow = theWindow;
    ws.theFrameCtrl = SimpleGetControlByID(theWindow, kClipSig, 1);
    Assert(ws.theFrameCtrl, "Cannot acces Clip 1 CTRL");
    SetupColors(theWindow, theConfig);
    SetupSliders(theWindow);
    SimpleHideControl(theWindow, kRectSig, 1);
    SimpleHideControl(theWindow, kRectSig, 2);
    SimpleSetControlValueByID(theWindow, kMediaSig, 1, theConfig->mediaType);
}

void SetupColors(WindowRef theWindow, pluginDataPtr theConfig) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    for (int i = 0; i < 6; ++i) {
        ControlRef box = SimpleGetControlByID(theWindow, kColorSig, SInt16(i + 1));
        Assert(box, kMissingColor[i]);
        SetControl32BitMinimum(box, 0);
        SetControl32BitMaximum(box, 16777215);
        SetControl32BitValue(box, RGBColor2LongInt(theConfig->colors[i]));
        if (!kUsesColor[i]) {
            HideControl(box);
            SimpleHideControl(theWindow, kColorLegendSig, SInt16(i + 1));
        }
        ws.colors[i] = box;
    }
}

void Config2Dlg(pluginDataPtr theConfig) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    for (int i = 0; i < 6; ++i) SetControl32BitValue(ws.colors[i], RGBColor2LongInt(theConfig->colors[i]));
    for (int i = 0; i < 6; ++i) {
        SetControl32BitValue(ws.sliders[i], theConfig->sliders[i]);
        Str255 legend;
        PercentText(theConfig->sliders[i], legend);
        SimpleSetControlText(lgTheWindow, kLegendSig, SInt16(i + 1), legend);
    }
    RerenderAndBlit();
}

OSStatus TheDialogHandler(EventHandlerCallRef, EventRef theEvent, void* userData) {
    WindowRef theWindow = static_cast<WindowRef>(userData);
    HICommand command{};
    GetEventParameter(theEvent, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    Str255 code;
    CommandID2Str(command.commandID, code);
    lgItemHit = kItemNone;
    if (IsCommand(code, "ok  ") || IsCommand(code, "not!")) {
        lgItemHit = IsCommand(code, "ok  ") ? kItemOK : kItemCancel;
        QuitAppModalLoopForWindow(theWindow);
    } else if (IsCommand(code, "Info")) {
        ShowAbout();
    } else if (IsCommand(code, "Adva") || IsCommand(code, "Revi")) {
        StepClipPosition(IsCommand(code, "Adva") ? 1 : -1);
    } else if (IsCommand(code, "Rset")) {
        ResetSettings();
    } else if (IsCommand(code, "Medi")) {
        ChangeMediaFormat(theWindow);
    } else if (IsCommand(code, "Sall")) {
        SelectWholeFrame();
    } else if (IsCommand(code, "Help")) {
        OpenManual();
    } else {
        return eventNotHandledErr;
    }
    return noErr;
}
