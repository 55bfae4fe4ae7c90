// SliderHandlers: slider set-up, the live actions, and the preview's re-render. The
// actions take the slider's own value as it is; the window decides the range.
#include "dialog/SliderHandlers.h"

#include <cstring>

#include "dialog/CarbonMacros.h"
#include "dialog/IMovieGlue.h"
#include "effect/CallPixelFX.h"
#include "effect/CommonProcs.h"
#include "effect/CommonProcsText.h"

namespace {

constexpr UInt32 kSliderSig = FOUR_CHAR_CODE("Sldr");
constexpr UInt32 kLegendSig = FOUR_CHAR_CODE("Lgnd");
constexpr UInt32 kLabelSig = FOUR_CHAR_CODE("Labl");
constexpr UInt32 kClipSliderSig = FOUR_CHAR_CODE("ClpS");
constexpr UInt32 kClipTextSig = FOUR_CHAR_CODE("ClpM");

constexpr Boolean kUsesSlider[6] = {cUsesSlider1, cUsesSlider2, cUsesSlider3,
                                    cUsesSlider4, cUsesSlider5, cUsesSlider6};
const ControlActionProcPtr kSliderActions[6] = {Slider1Action, Slider2Action, Slider3Action,
                                                Slider4Action, Slider5Action, Slider6Action};
const char* const kMissingSlider[6] = {"Cannot access slider 1", "Cannot access slider 2", "Cannot access slider 3",
                                       "Cannot access slider 4", "Cannot access slider 5", "Cannot access slider 6"};

void Append(Str255 theStr, ConstStr255Param theTail) {
    const std::size_t room = 255 - theStr[0], n = theTail[0] < room ? theTail[0] : room;
    std::memcpy(theStr + 1 + theStr[0], theTail + 1, n);
    theStr[0] = UInt8(theStr[0] + n);
}

// Slider N's action: its value into the record and its legend, then a new preview.
void SliderNAction(int n, ControlRef theControl) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    SInt32 currVal = GetControl32BitValue(theControl);
    ws.theConfig->sliders[n - 1] = SInt16(currVal);
    Str255 legend;
    PercentText(currVal, legend);
    SimpleSetControlText(ws.theWindow, kLegendSig, SInt16(n), legend);
    RerenderAndBlit();
}

void ShowClipPosition(WindowRef theWindow, SInt32 thePosition) {
    Str255 text;
    ClipPositionText(thePosition, gConfigWorkSpace.maxFrameIndex, text);
    SimpleSetControlText(theWindow, kClipTextSig, 1, text);
}

}  // namespace

void ClipPositionText(SInt32 thePosition, SInt32 theLast, Str255 outText) {
    Str255 last;
    Num2Text(thePosition, outText);
    Num2Text(theLast, last);
    const UInt8 slash[] = {1, '/'};
    Append(outText, slash);
    Append(outText, last);
}

void PercentText(SInt32 theValue, Str255 outText) {
    const UInt8 percent[] = {1, '%'};
    Num2Text(theValue, outText);
    Append(outText, percent);
}

void RerenderAndBlit() {
    pluginWorkSpace& ws = gConfigWorkSpace;
    CallPixelEffect(ws.sourceClip, ws.theFXClip);
    UInt32 flip = UInt32(GetControl32BitValue(ws.theFrameCtrl));
    SetControl32BitValue(ws.theFrameCtrl, flip > 0 ? 0 : 1);
}

void AccessRenderAndBlit(SInt32 theVal) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    const SInt32 frameIndex = SInt32(UInt32(ws.minFrameIndex) + UInt32(theVal));  // wraps, never overflows
    (void)GetFrameIntoGW(ws.sourceClip, ws.iMovieParams, frameIndex, 1);
    RerenderAndBlit();
}

void ClipSliderAction(ControlRef theControl, ControlPartCode) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    SInt32 currVal = GetControl32BitValue(theControl);
    ws.currFrameIndex = currVal;
    ShowClipPosition(ws.theWindow, currVal);
    AccessRenderAndBlit(currVal);
}

void Slider1Action(ControlRef theControl, ControlPartCode) { SliderNAction(1, theControl); }
void Slider2Action(ControlRef theControl, ControlPartCode) { SliderNAction(2, theControl); }
void Slider3Action(ControlRef theControl, ControlPartCode) { SliderNAction(3, theControl); }
void Slider4Action(ControlRef theControl, ControlPartCode) { SliderNAction(4, theControl); }
void Slider5Action(ControlRef theControl, ControlPartCode) { SliderNAction(5, theControl); }
void Slider6Action(ControlRef theControl, ControlPartCode) { SliderNAction(6, theControl); }

void SetupSliders(WindowRef theWindow) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    for (int n = 1; n <= 6; ++n) {
        ControlRef slider = SimpleGetControlByID(theWindow, kSliderSig, SInt16(n));
        Assert(slider, kMissingSlider[n - 1]);
        ws.sliders[n - 1] = slider;
        if (kUsesSlider[n - 1]) {
            SetControlAction(slider, NewControlActionUPP(kSliderActions[n - 1]));
            SetControl32BitValue(slider, ws.theConfig->sliders[n - 1]);
            Str255 legend;
            PercentText(ws.theConfig->sliders[n - 1], legend);
            SimpleSetControlText(theWindow, kLegendSig, SInt16(n), legend);
        } else {
            SimpleHideControl(theWindow, kSliderSig, SInt16(n));
            SimpleHideControl(theWindow, kLegendSig, SInt16(n));
            SimpleHideControl(theWindow, kLabelSig, SInt16(n));
        }
    }
    ControlRef clipSlider = SimpleGetControlByID(theWindow, kClipSliderSig, 1);
    Assert(clipSlider, "Cannot access clip slider");
    ws.clipSlider = clipSlider;
    SetControlAction(clipSlider, NewControlActionUPP(ClipSliderAction));
    SetControl32BitMinimum(clipSlider, 0);
    SetControl32BitMaximum(clipSlider, ws.maxFrameIndex);
    SetControl32BitValue(clipSlider, ws.currFrameIndex);
    ShowClipPosition(theWindow, ws.currFrameIndex);
}
