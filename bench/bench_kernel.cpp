// Speed of the Tonefade kernel: ns per frame pixel at 1920×1080 (source and target fit in the
// last-level cache) and 3840×2160 (they do not: the frame comes from memory), with the whole
// frame or its middle half inside the rectangle, for amounts inside and outside 0..100, on
// every row kernel, beside memcpy of the same frame; and the cost of an amount met for the
// first time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <cstring>
#include <random>
#include <sstream>
#include <string>

#include "Carbon.h"
#include "effect/Tonefade.h"
#include "effect/TonefadeKernels.h"

namespace {

// The target starts 2112 bytes into its page, the source at a page start, so that loads and
// stores of the same pixel never alias in the 4 KiB store-forwarding check.
constexpr std::size_t kPage = 4096, kTargetOffset = 2112;

struct Frame {
    int width, height;
    std::size_t bytes;
    UInt8* srcMem;
    UInt8* dstMem;
    CGrafPtr source, target;

    Frame(int w, int h) : width(w), height(h), bytes(std::size_t(w) * h * 4) {
        srcMem = static_cast<UInt8*>(std::aligned_alloc(kPage, bytes + kPage));
        dstMem = static_cast<UInt8*>(std::aligned_alloc(kPage, bytes + 2 * kPage));
        std::mt19937 gen(42);
        for (std::size_t i = 0; i < bytes; i += 4) {
            const UInt32 v = gen();
            std::memcpy(srcMem + i, &v, 4);
        }
        std::memset(dstMem, 0, bytes + 2 * kPage);
        const Rect bounds{0, 0, SInt16(h), SInt16(w)};
        source = toolbox::NewPortForPixels(bounds, w * 4, reinterpret_cast<Ptr>(srcMem));
        target = toolbox::NewPortForPixels(bounds, w * 4, reinterpret_cast<Ptr>(dstMem + kTargetOffset));
    }
    ~Frame() {
        toolbox::DisposePort(source);
        toolbox::DisposePort(target);
        std::free(srcMem);
        std::free(dstMem);
    }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;
};

void CountPixels(benchmark::State& state, const Frame& f) {
    state.counters["ns_per_px"] = benchmark::Counter(double(f.width) * f.height * 1e-9,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_Memcpy(benchmark::State& state, int w, int h) {
    Frame f(w, h);
    for (auto _ : state) {
        std::memcpy(f.dstMem + kTargetOffset, f.srcMem, f.bytes);
        benchmark::ClobberMemory();
    }
    CountPixels(state, f);
}

void BM_Tonefade(benchmark::State& state, TonefadeISA isa, SInt16 slider, int w, int h, bool half) {
    Frame f(w, h);
    SetTonefadeISAForTesting(isa);
    const Rect r = half ? Rect{0, SInt16(w / 4), SInt16(h), SInt16(w / 4 + w / 2)} : Rect{0, 0, SInt16(h), SInt16(w)};
    TonefadeEffect(f.source, f.target, r, true, slider);  // the slider's plan, built once
    for (auto _ : state) {
        TonefadeEffect(f.source, f.target, r, true, slider);
        benchmark::ClobberMemory();
    }
    SetTonefadeISAForTesting(TonefadeISA::kAuto);
    CountPixels(state, f);
}

// Nine slider values in turn, one more than the plans kept: every call checks its slider anew.
void BM_NewSliderValue(benchmark::State& state) {
    Frame f(16, 1);
    const SInt16 sliders[] = {11, 22, 29, 33, 44, 56, 66, 77, 88};
    std::size_t i = 0;
    for (auto _ : state) {
        TonefadeEffect(f.source, f.target, Rect{0, 0, 1, 16}, true, sliders[i]);
        i = (i + 1) % std::size(sliders);
    }
}

}  // namespace

int main(int argc, char** argv) try {
    struct Size {
        int w, h;
    } sizes[] = {{1920, 1080}, {3840, 2160}};
    const TonefadeISA isas[] = {TonefadeISA::kScalar, TonefadeISA::kAVX2, TonefadeISA::kAVX512,
                                TonefadeISA::kAVX512VBMI};
    const char* const isaNames[] = {"Auto", "Scalar", "AVX2", "AVX512", "AVX512VBMI"};
    // The blend as it is (0, 50, 100) and corrected (29 and 55: below limits of the channel and
    // of the grey); beyond 0..100 the effect's whole range: factors that reduce to small fractions
    // (-50, 150), one that does not (199), whole multiples (200, 1000), the wide forms near
    // (20050) and far (32767, -32768), and the smallest amount on the double expression (110).
    const SInt16 amounts[] = {0, 29, 55, 50, 100, -50, 150, 199, 200, 1000, 20050, 32767, -32768, 110};
    for (const Size& s : sizes) {
        std::ostringstream name;
        name << "memcpy/" << s.w << 'x' << s.h;
        benchmark::RegisterBenchmark(name.str().c_str(), BM_Memcpy, s.w, s.h);
        for (TonefadeISA isa : isas) {
            if (!TonefadeISASupported(isa)) continue;
            for (SInt16 amount : amounts)
                for (bool half : {false, true}) {
                    std::ostringstream n;
                    n << "Tonefade/" << isaNames[int(isa)] << '/' << s.w << 'x' << s.h << '/'
                      << (half ? "half" : "whole") << "/amount" << amount;
                    benchmark::RegisterBenchmark(n.str().c_str(), BM_Tonefade, isa, amount, s.w, s.h, half);
                }
        }
    }
    benchmark::RegisterBenchmark("Tonefade/NewSliderValue", BM_NewSliderValue)->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
} catch (const std::exception& e) {
    // The last resort: one line and a failed run, never an abort.
    std::fprintf(stderr, "bench_kernel: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "bench_kernel: an unknown error\n");
    return 1;
}
