// TonefadeKernels: the instruction-set choice behind TonefadeEffect and the switches that
// let tests and benchmarks run every row kernel and every arithmetic on one machine.
#pragma once

#include "MacTypes.h"

// The row kernels: portable C++, AVX2, AVX-512 (F and BW), AVX-512 with VBMI.
enum class TonefadeISA : int { kAuto = 0, kScalar, kAVX2, kAVX512, kAVX512VBMI };

// Whether this processor (and its operating system) can run the kernels; kAuto and kScalar
// always can.
bool TonefadeISASupported(TonefadeISA isa);
// Makes TonefadeEffect use the given kernels; kAuto goes back to the widest available, the
// kernels chosen when the plug-in was loaded. Returns false and changes nothing when the
// processor lacks the instruction set.
bool SetTonefadeISAForTesting(TonefadeISA isa);
// The kernels TonefadeEffect runs now (never kAuto).
TonefadeISA CurrentTonefadeISA();

// How the pixels of a slider value are computed: an integer form (with its corrections),
// once it has been checked equal to the double expression on all 65,536 (channel, grey)
// pairs, or the double expression itself. The forms: kBlend for 0..100; kExtrapolateReduced
// beyond it where slider / 100 reduces to a fraction with small terms; kExtrapolate for the
// rest while slider / 100 stays within ±128; kExtrapolateWide for the rest of the 16-bit range.
enum class TonefadeArithmetic : int { kInteger, kExact };
enum class TonefadeForm : int { kExact, kBlend, kExtrapolate, kExtrapolateWide, kExtrapolateReduced };
struct TonefadeSliderInfo {
    TonefadeArithmetic arithmetic;
    int corrections;  // runs of pairs where the integer form needed patching
    TonefadeForm form;
    bool byteTables;  // with byte permutes (VBMI), looked up in tables of the difference
};
TonefadeSliderInfo GetTonefadeSliderInfo(SInt16 slider1);
// Makes every slider value take the double expression, so that its vector code can be
// checked on ordinary sliders too; false goes back to the checked choice.
void SetTonefadeExactOnlyForTesting(bool exactOnly);
