// TonefadePlan: how the pixels of one amount (slider value) are computed. Each amount gets
// an integer form that the vector kernels run in 16-bit lanes, once it has been checked equal
// to the double expression on all 65,536 (channel, grey) pairs, or else the double
// expression itself. Shared by the frame walk and the row kernels of every instruction set;
// holds only data and declarations, so that code built for one instruction set never
// brings a second copy of anything into another.
#pragma once

#include <vector>

#include "MacTypes.h"
#include "effect/TonefadeKernels.h"

// A run of (channel, grey) pairs with the same difference grey − channel and consecutive
// channel values, where the integer form is off by the same amount. All in bytes: the low
// byte of a difference tells it apart from every other difference the run's channel values
// can have with a grey in 0..255, and only the low byte of a result is stored.
struct TonefadeCorrection {
    UInt8 diff;   // grey − channel, modulo 256
    UInt8 first;  // the run's first channel value
    UInt8 span;   // further channel values in the run
    UInt8 delta;  // exact value minus integer form, modulo 256
};

// Vector code divides by multiplying: x div 100 = (x × kTonefadeDiv100Mul) >> 19 for
// 0 <= x <= 25,599 and x div 3 = (x × kTonefadeDiv3Mul) >> 16 for 0 <= x <= 765 (checked
// where the plans are made).
constexpr int kTonefadeDiv100Mul = 5243, kTonefadeDiv100Shift = 19;
constexpr int kTonefadeDiv3Mul = 21846, kTonefadeDiv3Shift = 16;

// Vector code finds a pair's run with one 16-entry byte lookup, by bits shift..shift+3 of
// the difference, so the runs' differences must fall into different buckets.
constexpr int kTonefadeBuckets = 16;

// The integer forms, with s the amount, c a channel, m the grey, d = m − c and
// t = 100·c + s·d, so that the effect is trunc(t / 100) up to the double's rounding:
//   blend       (0 <= s <= 100)  u = (100 − s)·c + s·m, result u div 100;
//   extrapolate (other s)        s = 100·a + b with 0 <= b < 100; u = (100 − b)·c + b·m,
//                                q = u div 100, F = q + a·d = floor(t / 100), plus 1 where
//                                t < 0 and 100 does not divide u (trunc, not floor); the
//                                result is F modulo 256. While |a| <= 127, F fits a 16-bit
//                                lane and its sign is the sign of t. With |a| = 1 the sign
//                                of t comes first instead: t < 0 exactly when u < −100·a·d,
//                                one multiply-add with the byte weights ±100, and there
//                                u + 99 is divided, which rounds toward zero (the same F + 1).
//   wide        (|a| >= 128)     the lane holds F modulo 2^16, so the sign of t comes first,
//                                from σd alone (σ the sign of a): |a|·σd <= -256 outweighs any
//                                q, so t < 0 exactly when σd <= -2, or σd = -1 and c is below
//                                signLimit (past 255 when |a| >= 256: every c). Where t < 0,
//                                u + 99 is divided instead of u, which rounds toward zero.
//   reduced     (other s where s / 100 = s' / k in lowest terms with |s'| <= 127 and
//                |k − s'| <= 127)  v = (k − s')·c + s'·m = t·k / 100 in one multiply-add of
//                                bytes (|v| <= 32,385), and trunc(v / k) directly: for k = 2^j
//                                an arithmetic shift of v + (k − 1)·[v < 0], otherwise a signed
//                                multiply-high by divideMul, a shift by divideShift and 1 more
//                                where v < 0. No sign test: v has the sign of t.
struct TonefadePlan {
    SInt16 slider = 0;
    bool used = false;
    bool exactOnly = false;
    TonefadeForm form = TonefadeForm::kExact;
    double percent = 0.0;

    // The integer form's constants (see above).
    int blendWeight = 0;  // s for the blend, b for extrapolation
    int step = 0;         // a
    bool wide = false;       // |a| >= 128
    bool truncates = false;  // b != 0: some t < 0 are not multiples of 100
    bool multiple = false;   // b = 0 and -126 <= a <= 127: the result is c + a·d, one multiply-add
    bool unitStep = false;   // b != 0 and |a| = 1: the sign of t before dividing
    int signLimit = 0;       // wide: t < 0 for σd = -1 exactly when c < signLimit
    int divisor = 0;         // reduced: k (0: another form)
    int reducedWeight = 0;   // reduced: s'
    int divideMul = 0;       // reduced: 0 when k is a power of two
    int divideShift = 0;
    // Every extrapolation as tables of |d|: t < 0 only where s·d < 0, and there the rounding
    // toward zero depends on c. On the side where s·d >= 0 the result is c + σ'·H(|d|) (σ' the
    // sign of d), trunc(t / 100) = floor; on the other it is c + σ'·H(|d|) too where t < 0,
    // one less where t >= 0 and 100 does not divide s·d: exactly where c > lookupLimit[|d|]
    // (255: nowhere). Where the check confirms that on every pair, the byte permutes look both
    // tables up instead of computing the form (lookupLimits: some limit below 255;
    // lookupNear: only that of |d| = 1, as for the wide forms while |a| < 256).
    bool lookup = false, lookupLimits = false, lookupNear = false;
    UInt8 lookupTable[256] = {}, lookupLimit[256] = {};
    // The blend's corrections as a table of w = (grey − c) modulo 256: the double expression is
    // one less than the blend exactly where x < blendLimit[w], x the channel (blendLimitsByGrey
    // false) or the grey. Every correction of the blend takes one off, on one side of d only:
    // where grey > c (by channel) the pairs of one w have channels 0..255 − w, and those of the
    // other side channels 256 − w..255, so a limit up to 256 − w keeps to its own side; where
    // grey < c (by grey), grey < w, and on the other side grey >= w. Checked on every pair.
    // The amounts on the double expression by the same tables, read off trunc(t / 100), then
    // patched where the double's rounding parts from it: by patchDelta[0] where grey >= c,
    // patchDelta[1] where grey < c (each 0, 1 or −1), for channels patchFirst[w] up to
    // patchFirst[w] + patchCount[w] − 1, w = (grey − c) modulo 256 (the two sides of d
    // share a w only in different channels, and only one side's are patched). Checked on
    // every pair.
    bool patches = false;
    UInt8 patchFirst[256] = {}, patchCount[256] = {}, patchDelta[2] = {};
    bool blendLimits = false, blendLimitsByGrey = false;
    UInt8 blendLimit[256] = {};

    // The runs, each in its own bucket, field by field: the 16-byte tables that the vector
    // code's byte lookup takes as they are. Empty buckets have delta 0. Plain arrays: read
    // by the code of every instruction set.
    int corrections = 0;
    int shift = 0;
    UInt8 runDiff[kTonefadeBuckets] = {}, runFirst[kTonefadeBuckets] = {};
    UInt8 runSpan[kTonefadeBuckets] = {}, runDelta[kTonefadeBuckets] = {};
    std::vector<UInt8> table;  // [grey][channel]: the portable kernel's exact results
};

// Whether the plan's vector form is as fast as the memory: the blend, the whole multiples
// and the reduced forms, without corrections. The frame walk streams a large target only then.
bool TonefadePlanIsLight(const TonefadePlan& plan);
// The plan of an amount, from a small per-thread cache; built and checked on first use.
TonefadePlan& TonefadePlanFor(SInt16 slider);
// Fills plan.table (once) for the portable kernel.
void EnsureTonefadeTable(TonefadePlan& plan);
// One channel by the double expression: trunc(c + (mixer − c) × percent), product rounded to
// a double first, as its low byte.
UInt8 TonefadeExactChannel(int c, int mixer, double percent);
