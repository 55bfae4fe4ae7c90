// Speed of the dialog while the user drags the effect rectangle in the HD layout: one
// step of the drag as the clip preview's tracking does it (the new rectangle into the
// record, the 960×540 preview rendered again, the preview control drawn), with a large
// and a middle-sized rectangle; and one step of the amount slider. Aim: under 4 ms a step.
#include <benchmark/benchmark.h>

#include "Carbon.h"
#include "dialog/CarbonMacros.h"
#include "dialog/ConfigDlgHandler.h"
#include "dialog/DlgUtils.h"
#include "dialog/SliderHandlers.h"
#include "effect/CallPixelFX.h"
#include "effect/DataHandling.h"
#include "support/DialogWindow.h"
#include "support/LastResort.h"

namespace {

// The HD dialog window on a record, shown, as DoConfig sets it up but not run.
struct HDDialog {
    pluginDataRec config;
    testsupport::DialogWindow dialog;
    WindowRef window;
    explicit HDDialog(relRect start) : config(testsupport::HDSettings(start)), dialog(config, 960, 540) {
        window = dialog.window;
        ShowWindow(window);
        SetPortWindowPort(window);
    }
};

// One dragged step of the bottom-right handle, the whole of what the tracking does per step.
void DragStep(benchmark::State& state, relRect start) {
    HDDialog dialog(start);
    const pluginWorkSpace& ws = gConfigWorkSpace;
    const Rect bounds = GetControlBox(ws.theFrameCtrl);
    const Rect origRect = Rel2Rect(start, bounds);
    const Point click{origRect.bottom, origRect.right};
    int step = 0;
    for (auto _ : state) {
        Rect testRect = origRect;
        const Point mouse{SInt16(click.v - step % 40), SInt16(click.h - step % 60)};
        DragCorner(kBottomRightHandle, &testRect, click, mouse, 0, bounds, start);
        PutCurrentRel(Rect2Rel(testRect, bounds));
        CallPixelEffect(ws.sourceClip, ws.theFXClip);
        DrawFrameContents(dialog.window, bounds);
        QDFlushPortBuffer(GetWindowPort(dialog.window), nullptr);
        ++step;
    }
    state.SetLabel("960x540 preview");
}

void BM_RectangleDragStepHD_Large(benchmark::State& state) { DragStep(state, relRect{0.02, 0.98, 0.02, 0.98}); }
void BM_RectangleDragStepHD_Middle(benchmark::State& state) { DragStep(state, relRect{0.25, 0.75, 0.25, 0.75}); }

// One step of the amount slider: the record, the legend, a new preview and its redraw.
void BM_AmountSliderStepHD(benchmark::State& state) {
    HDDialog dialog(relRect{0.02, 0.98, 0.02, 0.98});
    ControlRef slider = gConfigWorkSpace.sliders[0];
    int step = 0;
    for (auto _ : state) {
        SetControl32BitValue(slider, step++ % 101);
        Slider1Action(slider, kControlIndicatorPart);
    }
}

BENCHMARK(BM_RectangleDragStepHD_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RectangleDragStepHD_Middle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AmountSliderStepHD)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return testsupport::MainWithLastResort("bench_dialog", [&] {
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        return 0;
    });
}
