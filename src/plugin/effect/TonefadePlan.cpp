// TonefadePlan: builds the plan of an amount. Picks the integer form and its constants,
// then runs the form lane by lane, as the vector kernels do in their 16-bit lanes, on every
// (channel, grey) pair against the double expression; where they part, records runs of
// corrections, and where the runs do not fit the vector lookup, falls back to the doubles.
#include "effect/TonefadePlan.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <numeric>

namespace {

// --- The arithmetic of one channel -------------------------------------------------------

// c + (mixer − c) × percent stays within ±kLargestValue for every 16-bit slider, so the
// vector code's 32-bit truncation of it is exact.
constexpr double kLargestValue = 255.0 + 255.0 * (32768.0 / 100.0);
static_assert(kLargestValue < 2147483647.0);

constexpr bool DividesExactly(long mul, int shift, long divisor, long largest) {
    for (long t = 0; t <= largest; ++t)
        if (((t * mul) >> shift) != t / divisor) return false;
    return true;
}
static_assert(DividesExactly(kTonefadeDiv100Mul, kTonefadeDiv100Shift, 100, 25500 + 99));
static_assert(DividesExactly(kTonefadeDiv3Mul, kTonefadeDiv3Shift, 3, 765));
static_assert(kTonefadeDiv100Shift >= 16 && kTonefadeDiv3Shift == 16);  // a high-half multiply

// trunc toward zero, then the low 16 bits of the 64-bit integer. What a 64-bit integer
// cannot hold (NaN and the infinities too) counts as 0 instead of being cast.
SInt16 TruncWrap16(double v) {
    constexpr double kTwo63 = 9223372036854775808.0;
    if (!(v >= -kTwo63 && v < kTwo63)) return 0;
    return SInt16(UInt16(UInt64(SInt64(v))));
}

// --- One 16-bit lane of the vector code ------------------------------------------------------
// The same steps the vector kernels take, with their wrap-around and saturation.

SInt16 Wrap16(int v) { return SInt16(UInt16(unsigned(v))); }
// Unsigned bytes times signed byte weights, the pair summed with signed saturation.
int MultiplyAddBytes(int c, int m, int wc, int wm) { return std::clamp(c * wc + m * wm, -32768, 32767); }
int HighHalf(int a, int b) { return int((unsigned(UInt16(a)) * unsigned(UInt16(b))) >> 16); }
int LowHalf(int a, int b) { return Wrap16(int(unsigned(a) * unsigned(b))); }

int HighHalfSigned(int a, int b) { return (SInt16(a) * SInt16(b)) >> 16; }

// trunc(v / k) for the reduced form, as the vector code divides (arithmetic shifts).
int TruncDivide(const TonefadePlan& plan, int v) {
    if (plan.divideMul == 0) return (v + (v < 0 ? plan.divisor - 1 : 0)) >> plan.divideShift;
    return (HighHalfSigned(v, plan.divideMul) >> plan.divideShift) + (v < 0 ? 1 : 0);
}

UInt8 IntegerLane(const TonefadePlan& plan, int c, int m) {
    if (plan.divisor != 0)
        return UInt8(Wrap16(TruncDivide(plan, MultiplyAddBytes(c, m, plan.divisor - plan.reducedWeight,
                                                                plan.reducedWeight))) & 0xFF);
    int u = MultiplyAddBytes(c, m, 100 - plan.blendWeight, plan.blendWeight);
    const auto hundredths = [](int x) { return HighHalf(x, kTonefadeDiv100Mul) >> (kTonefadeDiv100Shift - 16); };
    if (plan.form == TonefadeForm::kBlend) return UInt8(hundredths(u));
    if (plan.multiple) return UInt8(MultiplyAddBytes(c, m, 1 - plan.step, plan.step) & 0xFF);
    if (plan.unitStep) {
        if (u < MultiplyAddBytes(c, m, 100 * plan.step, -100 * plan.step)) u += 99;
        return UInt8(Wrap16(hundredths(u) + MultiplyAddBytes(c, m, -plan.step, plan.step)) & 0xFF);
    }
    if (!plan.wide) {
        const int q = hundredths(u);
        SInt16 value = Wrap16(q + MultiplyAddBytes(c, m, -plan.step, plan.step));
        if (plan.truncates && value < 0 && UInt16(u) != UInt16(LowHalf(q, 100))) value = Wrap16(value + 1);
        return UInt8(value & 0xFF);
    }
    const int sigma = plan.step > 0 ? 1 : -1;
    const int d = MultiplyAddBytes(c, m, -sigma, sigma);
    if (plan.truncates && d + (c >= plan.signLimit ? 1 : 0) < 0) u += 99;
    return UInt8(Wrap16(hundredths(u) + LowHalf(d, std::abs(plan.step))) & 0xFF);
}

// --- Choosing the form ---------------------------------------------------------------------

// s / 100 as s' / k in lowest terms; the reduced form when both weights, k − s' and s', are
// signed bytes and k > 1 (k = 1: the whole multiples, cheaper still).
void ChooseReduced(TonefadePlan& plan) {
    const int s = plan.slider;
    const int k = 100 / std::gcd(std::abs(s), 100), reduced = s / (100 / k);
    if (k == 1 || reduced < -127 || reduced > 127 || k - reduced < -128 || k - reduced > 127) return;
    plan.form = TonefadeForm::kExtrapolateReduced;
    plan.divisor = k;
    plan.reducedWeight = reduced;
    plan.divideMul = 0;
    plan.divideShift = std::countr_zero(unsigned(k));
    if ((k & (k - 1)) == 0) return;
    // The widest shift whose multiplier, ceil(2^(16 + shift) / k), is still a signed 16-bit
    // value; CheckIntegerForm proves the division exact on every v the form reaches.
    int shift = 0;
    while ((std::int64_t(1) << (17 + shift)) / k < 32767) ++shift;
    plan.divideShift = shift;
    plan.divideMul = int(((std::int64_t(1) << (16 + shift)) + k - 1) / k);
}

void ClearReduced(TonefadePlan& plan) {
    plan.form = plan.wide ? TonefadeForm::kExtrapolateWide : TonefadeForm::kExtrapolate;
    plan.divisor = plan.reducedWeight = plan.divideMul = plan.divideShift = 0;
}

void ChooseForm(TonefadePlan& plan) {
    const int s = plan.slider;
    if (s >= 0 && s <= 100) {
        plan.form = TonefadeForm::kBlend;
        plan.blendWeight = s;
        return;
    }
    const int a = s >= 0 ? s / 100 : -((99 - s) / 100);  // floor(s / 100)
    plan.step = a;
    plan.blendWeight = s - 100 * a;
    plan.truncates = plan.blendWeight != 0;
    plan.wide = std::abs(a) > 127;  // a·d no longer fits a 16-bit lane
    plan.multiple = plan.blendWeight == 0 && a >= -126 && a <= 127;
    plan.unitStep = plan.truncates && (a == 1 || a == -1);
    plan.form = plan.wide ? TonefadeForm::kExtrapolateWide : TonefadeForm::kExtrapolate;
    // For σd = -1, q is c − 1 (a > 0, b > 0) or c (a < 0), and t < 0 when q < |a|.
    if (plan.wide) plan.signLimit = std::abs(a) + (a > 0 ? 1 : 0);
    if (!plan.multiple) ChooseReduced(plan);
}

// --- Corrections ---------------------------------------------------------------------------

bool AddRuns(std::vector<TonefadeCorrection>& runs, int diff, int cLo, int cHi, const std::array<int, 256>& delta) {
    for (int c = cLo; c <= cHi; ++c) {
        if (delta[c] == 0) continue;
        int end = c;
        while (end < cHi && delta[end + 1] == delta[c]) ++end;
        if (runs.size() == kTonefadeBuckets) return false;
        runs.push_back({UInt8(diff), UInt8(c), UInt8(end - c), UInt8(delta[c])});
        c = end;
    }
    return true;
}

bool PlaceInBuckets(TonefadePlan& plan, const std::vector<TonefadeCorrection>& runs) {
    for (int shift = 0; shift <= 4; ++shift) {
        std::array<TonefadeCorrection, kTonefadeBuckets> bucket{};
        bool clash = false;
        for (const TonefadeCorrection& run : runs) {
            TonefadeCorrection& slot = bucket[(run.diff >> shift) & (kTonefadeBuckets - 1)];
            clash |= slot.delta != 0;
            slot = run;
        }
        if (clash) continue;
        plan.corrections = int(runs.size());
        plan.shift = shift;
        for (int i = 0; i < kTonefadeBuckets; ++i) {
            plan.runDiff[i] = bucket[i].diff;
            plan.runFirst[i] = bucket[i].first;
            plan.runSpan[i] = bucket[i].span;
            plan.runDelta[i] = bucket[i].delta;
        }
        return true;
    }
    return false;
}

// Compares the integer form with the double expression on all 65,536 (channel, grey) pairs,
// walked by difference, and records where they part. False: the integer form cannot serve.
bool CheckIntegerForm(TonefadePlan& plan) {
    std::vector<TonefadeCorrection> runs;
    std::array<int, 256> delta{};
    for (int diff = -255; diff <= 255; ++diff) {
        const int cLo = std::max(0, -diff), cHi = std::min(255, 255 - diff);
        const double product = double(diff) * plan.percent;  // the same for every c of this difference
        int differs = 0;
        for (int c = cLo; c <= cHi; ++c) {
            const int exact = UInt8(TruncWrap16(double(c) + product));
            delta[c] = (exact - IntegerLane(plan, c, c + diff)) & 0xFF;
            differs |= delta[c];
        }
        if (differs != 0 && !AddRuns(runs, diff, cLo, cHi, delta)) return false;
    }
    return PlaceInBuckets(plan, runs);
}

// What the tables give for (c, m): see TonefadePlan::lookup.
UInt8 LookupLane(const TonefadePlan& plan, int c, int m) {
    const int delta = std::abs(m - c), h = plan.lookupTable[delta];
    const bool roundsSide = plan.slider > 0 ? m < c : m > c;
    return UInt8((m >= c ? c + h : c - h) - (roundsSide && c > plan.lookupLimit[delta] ? 1 : 0));
}

using Lane = UInt8 (*)(const TonefadePlan&, int c, int m);

// The double expression on every pair, [grey][channel], computed once for the checks that
// read it twice.
std::vector<UInt8> ExactPairs(const TonefadePlan& plan) {
    std::vector<UInt8> exact(256 * 256);
    for (int m = 0; m < 256; ++m)
        for (int c = 0; c < 256; ++c) exact[m * 256 + c] = TonefadeExactChannel(c, m, plan.percent);
    return exact;
}

// trunc(t / 100) modulo 256 in plain integers: the form of every amount, before the double's
// rounding.
UInt8 TruncLane(const TonefadePlan& plan, int c, int m) {
    return UInt8((100 * long(c) + long(plan.slider) * (m - c)) / 100);
}

// H read off the lane on the side where s·d >= 0, each limit off the other side, then the
// tables compared with the lane on every (channel, grey) pair.
bool ReadLookup(TonefadePlan& plan, Lane lane) {
    const int sigma = plan.slider > 0 ? 1 : -1;  // the side of d where t >= 0
    plan.lookupLimits = plan.lookupNear = false;
    for (int delta = 0; delta < 256; ++delta) {
        const int mClean = sigma > 0 ? delta : 0, cClean = sigma > 0 ? 0 : delta;
        const int h = (lane(plan, cClean, mClean) - cClean) * sigma;
        plan.lookupTable[delta] = UInt8(h);
        // The first c on the other side that takes one less (c = m + σδ).
        int limit = 255;
        for (int c = sigma > 0 ? delta : 0; c <= (sigma > 0 ? 255 : 255 - delta); ++c)
            if (lane(plan, c, c - sigma * delta) != UInt8(c - sigma * h)) {
                limit = c - 1;
                break;
            }
        if (limit < 0 || delta == 0) limit = 255;  // checked below
        plan.lookupLimit[delta] = UInt8(limit);
        plan.lookupLimits |= limit != 255;
        plan.lookupNear = delta == 1 ? limit != 255 : plan.lookupNear && limit == 255;
    }
    for (int c = 0; c < 256; ++c)
        for (int m = 0; m < 256; ++m)
            if (lane(plan, c, m) != LookupLane(plan, c, m)) return false;
    return true;
}

// The extrapolations (not the reduced forms or whole multiples, which are cheaper) as tables
// of their integer form, whose corrections then serve unchanged.
bool MakeLookup(TonefadePlan& plan) {
    const bool wide = plan.form == TonefadeForm::kExtrapolateWide;
    if (!wide && (plan.form != TonefadeForm::kExtrapolate || plan.multiple)) return false;
    return ReadLookup(plan, IntegerLane);
}

// What the tables and their patches give for (c, m): see TonefadePlan::patches.
UInt8 PatchedLane(const TonefadePlan& plan, int c, int m) {
    const int w = (m - c) & 0xFF, side = m < c ? 1 : 0;
    const bool hit = ((c - plan.patchFirst[w]) & 0xFF) < plan.patchCount[w];
    return UInt8(LookupLane(plan, c, m) + (hit ? plan.patchDelta[side] : 0));
}

// The amounts on the double expression as tables of trunc(t / 100), patched where the double's
// rounding parts from it: one channel range per difference w, one step per side of d.
bool MakeExactLookup(TonefadePlan& plan) {
    if (plan.form != TonefadeForm::kExact || !ReadLookup(plan, TruncLane)) return false;
    const std::vector<UInt8> exact = ExactPairs(plan);
    std::array<int, 256> first, last, sideOf;
    first.fill(256);
    last.fill(-1);
    sideOf.fill(-1);
    int delta[2] = {0, 0};
    for (int c = 0; c < 256; ++c)
        for (int m = 0; m < 256; ++m) {
            const int step = (exact[m * 256 + c] - LookupLane(plan, c, m)) & 0xFF;
            if (step == 0) continue;
            const int w = (m - c) & 0xFF, side = m < c ? 1 : 0;
            if ((step != 1 && step != 0xFF) || (delta[side] != 0 && delta[side] != step)) return false;
            if (sideOf[w] != -1 && sideOf[w] != side) return false;
            delta[side] = step;
            sideOf[w] = side;
            first[w] = std::min(first[w], c);
            last[w] = std::max(last[w], c);
        }
    for (int w = 0; w < 256; ++w) {
        plan.patchFirst[w] = UInt8(last[w] < 0 ? 0 : first[w]);
        plan.patchCount[w] = UInt8(last[w] < 0 ? 0 : last[w] - first[w] + 1);  // < 256: w = 0 never parts
    }
    plan.patchDelta[0] = UInt8(delta[0]);
    plan.patchDelta[1] = UInt8(delta[1]);
    for (int c = 0; c < 256; ++c)
        for (int m = 0; m < 256; ++m)
            if (PatchedLane(plan, c, m) != exact[m * 256 + c]) return false;
    return true;
}

// The blend's corrections as limits on one side of d (see TonefadePlan::blendLimits): each
// limit one past the largest channel (or grey) the double expression takes one off, then the
// blend less one below the limits compared with the double expression on every pair.
bool MakeBlendLimits(TonefadePlan& plan) {
    if (plan.form != TonefadeForm::kBlend || plan.corrections == 0) return false;
    const std::vector<UInt8> exact = ExactPairs(plan);
    std::vector<UInt8> blend(256 * 256);
    std::array<int, 256> limit{};
    int sides = 0;  // bit 0: some correction where grey > c, bit 1: where grey < c
    for (int c = 0; c < 256; ++c)
        for (int m = 0; m < 256; ++m) {
            blend[m * 256 + c] = IntegerLane(plan, c, m);
            if (exact[m * 256 + c] == blend[m * 256 + c]) continue;
            sides |= m > c ? 1 : 2;
            const int w = (m - c) & 0xFF, x = m > c ? c : m;
            limit[w] = std::max(limit[w], x + 1);
        }
    if (sides == 3) return false;
    plan.blendLimitsByGrey = sides == 2;
    for (int w = 0; w < 256; ++w) {
        if (limit[w] > 255) return false;
        plan.blendLimit[w] = UInt8(limit[w]);
    }
    for (int c = 0; c < 256; ++c)
        for (int m = 0; m < 256; ++m) {
            const int x = plan.blendLimitsByGrey ? m : c;
            const UInt8 got = UInt8(blend[m * 256 + c] - (x < plan.blendLimit[(m - c) & 0xFF] ? 1 : 0));
            if (got != exact[m * 256 + c]) return false;
        }
    return true;
}

TonefadePlan BuildPlan(SInt16 slider, bool exactOnly) {
    TonefadePlan plan;
    plan.slider = slider;
    plan.used = true;
    plan.exactOnly = exactOnly;
    plan.percent = slider / 100.0;
    if (exactOnly) return plan;
    ChooseForm(plan);
    // The reduced form's corrections may not fit where the other form's do.
    if (plan.divisor != 0 && !CheckIntegerForm(plan)) ClearReduced(plan);
    if (plan.divisor == 0 && !CheckIntegerForm(plan)) plan.form = TonefadeForm::kExact;
    plan.lookup = MakeLookup(plan);
    plan.patches = !plan.lookup && MakeExactLookup(plan);
    plan.lookup |= plan.patches;
    plan.blendLimits = MakeBlendLimits(plan);
    return plan;
}

constexpr int kCachedPlans = 8;
std::atomic<bool> gExactOnly{false};

}  // namespace

UInt8 TonefadeExactChannel(int c, int mixer, double percent) {
    const double product = double(mixer - c) * percent;  // rounded before the add: the build forbids fusing
    return UInt8(TruncWrap16(double(c) + product));
}

bool TonefadePlanIsLight(const TonefadePlan& plan) {
    const bool cheapForm = plan.form == TonefadeForm::kBlend || plan.multiple || plan.divisor != 0;
    return !plan.exactOnly && cheapForm && plan.corrections == 0;
}

TonefadePlan& TonefadePlanFor(SInt16 slider) {
    // One cache per thread: a render on another thread never sees a slot half rebuilt.
    thread_local std::array<TonefadePlan, kCachedPlans> cache;
    thread_local std::size_t next = 0;
    const bool exactOnly = gExactOnly.load(std::memory_order_relaxed);
    for (TonefadePlan& plan : cache)
        if (plan.used && plan.slider == slider && plan.exactOnly == exactOnly) return plan;
    TonefadePlan& slot = cache[next];
    next = (next + 1) % kCachedPlans;
    slot = BuildPlan(slider, exactOnly);
    return slot;
}

void EnsureTonefadeTable(TonefadePlan& plan) {
    if (plan.table.empty()) plan.table = ExactPairs(plan);
}

TonefadeSliderInfo GetTonefadeSliderInfo(SInt16 slider1) {
    const TonefadePlan& plan = TonefadePlanFor(slider1);
    const bool exact = plan.form == TonefadeForm::kExact;
    return {exact ? TonefadeArithmetic::kExact : TonefadeArithmetic::kInteger, exact ? 0 : plan.corrections,
            plan.form, plan.lookup || plan.blendLimits};
}

void SetTonefadeExactOnlyForTesting(bool exactOnly) { gExactOnly.store(exactOnly, std::memory_order_relaxed); }
