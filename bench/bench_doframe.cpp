// One whole kPlugDoFrame through the entry point: the host's GetFrame, the plug-in's
// copies, the kernel, the copy into the target, MixAudio and ReleaseFrame; with a fade,
// also the unprocessed copy and the host's blend (the fourth argument: fade-in frames).
#include <benchmark/benchmark.h>

#include "Carbon.h"
#include "HostSession.h"
#include "RenderDriver.h"
#include "effect/PluginDefines.h"
#include "glue/PlugInMain.h"
#include "support/Files.h"

namespace {

void DoFrame(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    testsupport::TempFolder prefs;
    toolbox::SetPreferencesFolder(prefs.path().string());

    host::MemoryClip clip(width, height);
    std::vector<UInt8> pixels(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = UInt8(i * 2654435761u >> 24);
    clip.AddFrame(pixels, std::vector<int16_t>(3200, 100));
    host::HostSession session(clip, width, height);
    session.FilterInfo().fadeInFrames = SInt32(state.range(3));
    host::CallPlugin(&PlugInMain, session, kPlugGetInfo);
    gEffectData->sliders[0] = SInt16(state.range(2));
    gEffectData->startRel = relRect{0.25, 0.75, 0.25, 0.75};
    host::CallPlugin(&PlugInMain, session, kPlugInitialize);
    session.Params().renderFrame = 0;
    for (auto _ : state) {
        if (host::CallPlugin(&PlugInMain, session, kPlugDoFrame) != kPluginOK) state.SkipWithError("frame failed");
    }
    host::CallPlugin(&PlugInMain, session, kPlugTerminate);
    ResetPlugInForTesting(host::HostDisposePtrProc());
    state.counters["ns_per_pixel"] = benchmark::Counter(double(width) * height,
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
    state.counters["frames_per_s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(DoFrame)
    ->Args({720, 480, 50, 0})
    ->Args({1920, 1080, 50, 0})
    ->Args({1920, 1080, 29, 0})
    ->Args({1920, 1080, 50, 2})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
