// TonefadeDispatch: chooses the row kernels once, when the plug-in is loaded: the widest
// instruction set that the processor and its operating system support. Tests and
// benchmarks may force a narrower set (or any set the processor has) through the switches.
// Built without any instruction-set flag, like the rest of the plug-in, so that it runs
// everywhere.
#include <atomic>

#include "effect/TonefadeKernels.h"
#include "effect/TonefadeRows.h"

namespace {

#if defined(__x86_64__)
// The AVX-512 kernels with the byte-table forms of VBMI beside them.
const TonefadeRowKernels& AVX512VBMIRows() {
    static const TonefadeRowKernels rows = [] {
        TonefadeRowKernels r = kTonefadeAVX512Rows;
        r.isa = TonefadeISA::kAVX512VBMI;
        r.tableEffect = kTonefadeAVX512VBMITableEffect;
        return r;
    }();
    return rows;
}
#endif

const TonefadeRowKernels& WidestRows() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        if (__builtin_cpu_supports("avx512vbmi")) return AVX512VBMIRows();
        return kTonefadeAVX512Rows;
    }
    if (__builtin_cpu_supports("avx2")) return kTonefadeAVX2Rows;
#endif
    return kTonefadeScalarRows;
}

const TonefadeRowKernels& RowsFor(TonefadeISA isa) {
#if defined(__x86_64__)
    if (isa == TonefadeISA::kAVX512VBMI) return AVX512VBMIRows();
    if (isa == TonefadeISA::kAVX512) return kTonefadeAVX512Rows;
    if (isa == TonefadeISA::kAVX2) return kTonefadeAVX2Rows;
#endif
    (void)isa;
    return kTonefadeScalarRows;
}

// Chosen while the plug-in loads; a test switch replaces it, kAuto puts it back.
std::atomic<const TonefadeRowKernels*> gActive{&WidestRows()};

}  // namespace

const TonefadeRowKernels& ActiveTonefadeRows() {
    const TonefadeRowKernels* active = gActive.load(std::memory_order_relaxed);
    return active != nullptr ? *active : WidestRows();  // a call before this file's start-up code
}

bool TonefadeISASupported(TonefadeISA isa) {
    if (isa == TonefadeISA::kAuto || isa == TonefadeISA::kScalar) return true;
    return int(WidestRows().isa) >= int(isa);
}

bool SetTonefadeISAForTesting(TonefadeISA isa) {
    if (!TonefadeISASupported(isa)) return false;
    gActive.store(isa == TonefadeISA::kAuto ? &WidestRows() : &RowsFor(isa), std::memory_order_relaxed);
    return true;
}

TonefadeISA CurrentTonefadeISA() { return ActiveTonefadeRows().isa; }
