// Speed of the dialog while the user drags the effect rectangle in the HD layout: one
// step of the drag as the clip preview's tracking does it (the new rectangle into the
// record, the 960×540 preview rendered again, the preview control drawn), with a large
// and a middle-sized rectangle; and one step of the amount slider. Aim: under 4 ms a step.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "Carbon.h"
#include "dialog/CarbonMacros.h"
#include "dialog/ClipCtrl.h"
#include "dialog/ColorCtrl.h"
#include "dialog/ConfigDlgHandler.h"
#include "dialog/DlgUtils.h"
#include "dialog/SliderHandlers.h"
#include "effect/CallPixelFX.h"
#include "effect/CommonProcs.h"
#include "effect/CommonProcsText.h"
#include "effect/DataHandling.h"

namespace {

// The bundle built beside this program: build/bin/bench_dialog → build/Tonefade.bundle.
std::string BundlePath() {
    if (const char* dir = std::getenv("TONEFADE_BUILD_DIR")) return std::string(dir) + "/Tonefade.bundle";
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "Tonefade.bundle").string();
}

// The HD dialog window set up on a record, as DoConfig sets it up, but not run.
struct HDDialog {
    pluginDataRec config{};
    WindowRef window = nullptr;

    explicit HDDialog(relRect start) {
        std::string error;
        if (!toolbox::RegisterBundle(BundlePath(), &error)) {
            std::fprintf(stderr, "bench_dialog: %s\n", error.c_str());
            std::exit(1);
        }
        ResetConfig(&config);
        config.sliders[0] = 100;
        config.mediaType = kMediaHD;
        config.startRel = start;
        pluginWorkSpace& ws = gConfigWorkSpace;
        ws = pluginWorkSpace{};
        ws.theConfig = gTheConfig = &config;
        ws.sourceClip = AllocateGWorld(960, 540);
        ws.theFXClip = AllocateGWorld(960, 540);
        ws.maxFrameIndex = 249;
        ws.activeRel = 1;
        FillWithNoise(ws.sourceClip);
        RegisterColorBox();
        RegisterClipCtrl();
        window = OpenNibWindowFromCFBundle(cBundleIdentifier, cNibName, ConfigWindowName(kMediaHD));
        SetupDialog(window, &config);
        ShowWindow(window);
        SetPortWindowPort(window);
    }
    ~HDDialog() {
        DisposeWindow(window);
        UnregisterClipCtrl();
        UnregisterColorBox();
        DisposeGWorld(gConfigWorkSpace.sourceClip);
        DisposeGWorld(gConfigWorkSpace.theFXClip);
    }
    static void FillWithNoise(GWorldPtr world) {
        PixMapHandle pm = GetGWorldPixMap(world);
        std::mt19937 gen(7);
        for (int y = 0; y < 540; ++y) {
            auto* row = reinterpret_cast<UInt32*>(GetPixBaseAddr(pm) + std::ptrdiff_t(y) * GetPixRowBytes(pm));
            for (int x = 0; x < 960; ++x) row[x] = gen() | 0xFF;
        }
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

BENCHMARK_MAIN();
