// TonefadeVector: the vector row kernels, written once over a traits class per instruction
// set (TonefadeAVX2.cpp, TonefadeAVX512.cpp). Included only by those files, each built for
// its own instruction set, so everything here has internal linkage: no function built for
// one instruction set can stand in for another's at link time.
//
// Pixels are read as little-endian words: alpha in bits 0-7, red 8-15, green 16-23, blue
// 24-31. The integer forms put each byte beside its pixel's grey in a 16-bit lane, so that one
// multiply-add of unsigned bytes by signed byte weights gives w0·c + w1·grey per lane; alpha
// is weighted so that it comes back as it was. See TonefadePlan.h for the forms.
#pragma once

#include <cstdint>

#include "effect/TonefadePlan.h"
#include "effect/TonefadeRows.h"

namespace {

// The integer forms' shapes: the blend; extrapolation by a whole multiple (b = 0, |a| <= 126:
// c + a·d in one multiply-add, nothing to divide); extrapolation with a·d in a 16-bit lane;
// extrapolation by one step (|a| = 1, b != 0), which compares u with −100·a·d to take the sign
// of t before dividing; and the wide extrapolations, which take the sign of t before dividing,
// with (kWideNear) or without (kWideFar, |a| >= 256) the test of c against the plan's limit;
// and the reduced extrapolations, which divide by a power of two (kReducedShift) or by a
// multiply-high (kReducedMagic).
// kLookup, kLookupNear, kLookupLimits: the extrapolations by tables of the difference, without
// limits, with one for |d| = 1 alone, or with a table of them (WalkLookup, for instruction sets
// with byte lookups: their traits add LookupBytes and the byte masks). kBlendLimits,
// kBlendLimitsByGrey: the blend, one less where the channel or the grey is below its limit in a
// table of the difference (the blend's corrections, on the same instruction sets).
enum class Shape {
    kBlend, kMultiple, kExtrapolate, kUnitStep, kWideNear, kWideFar, kReducedShift, kReducedMagic, kLookup, kLookupNear,
    kLookupLimits, kBlendLimits, kBlendLimitsByGrey
};

template <Shape kShape>
constexpr bool kBlends = kShape == Shape::kBlend || kShape == Shape::kBlendLimits || kShape == Shape::kBlendLimitsByGrey;

// The same four weight bytes in every pixel (32 bits).
inline int PixelWeights(int b0, int b1, int b2, int b3) {
    return int(UInt32(UInt8(b0)) | UInt32(UInt8(b1)) << 8 | UInt32(UInt8(b2)) << 16 | UInt32(UInt8(b3)) << 24);
}
constexpr int kSumWeights = 0x01010100;   // 0·alpha + red, green + blue
constexpr int kColourBytes = 0xFFFFFF00;  // the colours of a pixel, not its alpha

// Weights of one kind of 16-bit lane: the blend's on (byte, grey) pairs, and for the
// extrapolations on the even lanes (alpha, green: channel low, grey high) and on the odd lanes
// (red, blue: grey low, channel high).
template <class T>
struct LaneWeights {
    typename T::V blend, step, sign, limit, hundredSteps;
};

template <class T>
struct IntegerConstants {
    using V = typename T::V;
    V sumWeights, ones, third, spread, lowBytes;    // the grey; merging lanes
    V hundredth, hundred, ninetyNine, magnitude;    // division, rounding toward zero, a
    LaneWeights<T> pairs, even, odd;
    V runDiff, runFirst, runSpan, runDelta, low4, colour;  // corrections
    V divideMul, divisorLess1;                              // the reduced forms' division
    V lookup[4], limits[4], nearLimit;                      // the tables of |d|
    V patchFirst[4], patchCount[4], patchAbove, patchBelow;  // their patches, by grey − c
    __m128i shift, divideShift;
    int step;  // a
};

// The bucket tables, one byte per bucket, in every 128-bit lane for the byte shuffle.
template <class T>
void InitBuckets(const TonefadePlan& plan, IntegerConstants<T>& k) {
    static_assert(kTonefadeBuckets == 16);
    const auto table = [](const UInt8* bytes) {
        return T::Broadcast128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
    };
    k.runDiff = table(plan.runDiff);
    k.runFirst = table(plan.runFirst);
    k.runSpan = table(plan.runSpan);
    k.runDelta = table(plan.runDelta);
    k.low4 = T::Set1_8(kTonefadeBuckets - 1);
    k.colour = T::Set1_32(kColourBytes);
    k.shift = _mm_cvtsi32_si128(plan.shift);
}

// Alpha is weighted to come back as it was: 100·alpha div 100, and no step.
template <class T>
void InitExtrapolation(const TonefadePlan& plan, IntegerConstants<T>& k) {
    const int b = plan.blendWeight, a = plan.step, sigma = a > 0 ? 1 : -1;
    k.even.blend = T::Set1_32(PixelWeights(100, 0, 100 - b, b));
    k.odd.blend = T::Set1_32(PixelWeights(b, 100 - b, b, 100 - b));
    k.even.step = T::Set1_32(PixelWeights(0, 0, -a, a));
    k.odd.step = T::Set1_32(PixelWeights(a, -a, a, -a));
    if (plan.multiple) {  // (1 − a)·c + a·m; alpha·1
        k.even.step = T::Set1_32(PixelWeights(1, 0, 1 - a, a));
        k.odd.step = T::Set1_32(PixelWeights(a, 1 - a, a, 1 - a));
    }
    if (plan.divisor != 0) {  // (k − s')·c + s'·m; alpha·k
        const int div = plan.divisor, w = plan.reducedWeight;
        k.even.step = T::Set1_32(PixelWeights(div, 0, div - w, w));
        k.odd.step = T::Set1_32(PixelWeights(w, div - w, w, div - w));
        k.divideMul = T::Set1_16(plan.divideMul);
        k.divisorLess1 = T::Set1_16(div - 1);
        k.divideShift = _mm_cvtsi32_si128(plan.divideShift);
    }
    k.even.hundredSteps = T::Set1_32(PixelWeights(0, 0, 100 * a, -100 * a));  // −100·a·d, for |a| = 1
    k.odd.hundredSteps = T::Set1_32(PixelWeights(-100 * a, 100 * a, -100 * a, 100 * a));
    k.even.sign = T::Set1_32(PixelWeights(0, 0, -sigma, sigma));
    k.odd.sign = T::Set1_32(PixelWeights(sigma, -sigma, sigma, -sigma));
    // c >= signLimit, as (grey, c) lanes >= signLimit·256 (the even lanes' bytes swapped first).
    k.even.limit = k.odd.limit = T::Set1_16(plan.signLimit << 8);
    k.magnitude = T::Set1_16(a * sigma);
    k.hundred = T::Set1_16(100);
    k.ninetyNine = T::Set1_16(99);
}

// Once per row: only what the row's shape uses.
template <class T, Shape kShape, bool kCorrect>
void InitInteger(const TonefadePlan& plan, IntegerConstants<T>& k) {
    k.sumWeights = T::Set1_32(kSumWeights);
    k.step = plan.step;
    k.ones = T::Set1_16(1);
    k.third = T::Set1_16(kTonefadeDiv3Mul);
    k.spread = T::Broadcast128(_mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12));
    k.lowBytes = T::Broadcast128(_mm_setr_epi8(0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14));
    k.hundredth = T::Set1_16(kTonefadeDiv100Mul);
    // The blend's (byte, grey) lanes, a pixel in 64 bits: alpha's pair, then the colours'.
    const UInt64 colour = UInt8(100 - plan.blendWeight) | UInt64(UInt8(plan.blendWeight)) << 8;
    k.pairs.blend = T::Set1_64(SInt64(100 | colour << 16 | colour << 32 | colour << 48));
    if constexpr (kShape == Shape::kLookup || kShape == Shape::kLookupNear || kShape == Shape::kLookupLimits) {
        for (int i = 0; i < 4; ++i) k.lookup[i] = T::Load(plan.lookupTable + i * T::kBytes);
        k.nearLimit = T::Set1_8(plan.lookupLimit[1]);
        for (int i = 0; i < 4; ++i) k.limits[i] = T::Load(plan.lookupLimit + i * T::kBytes);
        k.step = plan.slider > 0 ? 1 : -1;
        for (int i = 0; i < 4; ++i) k.patchFirst[i] = T::Load(plan.patchFirst + i * T::kBytes);
        for (int i = 0; i < 4; ++i) k.patchCount[i] = T::Load(plan.patchCount + i * T::kBytes);
        k.patchAbove = T::Set1_8(plan.patchDelta[0]);
        k.patchBelow = T::Set1_8(plan.patchDelta[1]);
    } else if constexpr (kShape == Shape::kBlendLimits || kShape == Shape::kBlendLimitsByGrey) {
        for (int i = 0; i < 4; ++i) k.limits[i] = T::Load(plan.blendLimit + i * T::kBytes);
    } else if constexpr (kShape != Shape::kBlend)
        InitExtrapolation(plan, k);
    if constexpr (kCorrect) InitBuckets(plan, k);
}

// Each pixel's grey, (red + green + blue) div 3, in the low byte of its 32 bits.
template <class T>
inline typename T::V GreyWords(typename T::V x, const IntegerConstants<T>& k) {
    // (red, green + blue) in 16-bit lanes, summed into the low lane by a shift and an add: the
    // high lane's value is left over, and nothing reads it.
    const typename T::V pairs = T::MultiplyAddBytes(x, k.sumWeights);
    return T::MulHigh16(T::Add16(pairs, T::template ShiftRight32<16>(pairs)), k.third);
}

// Each pixel's grey in all four of its bytes; the sum by a second multiply-add, which the
// blend, with few multiplies of its own, runs faster with.
template <class T>
inline typename T::V Greys(typename T::V x, const IntegerConstants<T>& k) {
    const typename T::V sum = T::MultiplyAdd16(T::MultiplyAddBytes(x, k.sumWeights), k.ones);
    return T::Shuffle8(T::MulHigh16(sum, k.third), k.spread);
}

// u div 100, for 0 <= u <= 25,599 (u + 99 where rounding toward zero).
template <class T>
inline typename T::V Hundredths(typename T::V u, const IntegerConstants<T>& k) {
    return T::template ShiftRight16<kTonefadeDiv100Shift - 16>(T::MulHigh16(u, k.hundredth));
}

// The blend on (byte, grey) pairs: u div 100, in the lane's low byte.
template <class T>
inline typename T::V BlendLanes(typename T::V pairs, const IntegerConstants<T>& k) {
    return Hundredths(T::MultiplyAddBytes(pairs, k.pairs.blend), k);
}

// trunc(v / k) for the reduced forms, v = (k − s')·c + s'·m.
template <class T, Shape kShape>
inline typename T::V TruncDivide(typename T::V v, const IntegerConstants<T>& k) {
    if constexpr (kShape == Shape::kReducedShift)
        return T::ShiftRightArith16(T::AddWhere16(v, T::IsNegative16(v), k.divisorLess1), k.divideShift);
    else
        return T::AddWhere16(T::ShiftRightArith16(T::MulHighSigned16(v, k.divideMul), k.divideShift),
                             T::IsNegative16(v), k.ones);
}

// An extrapolation on one kind of lane: trunc(t / 100) modulo 256 in the lane's low byte
// (the high byte is left over). kEven: (channel, grey) lanes; otherwise (grey, channel).
template <class T, Shape kShape, bool kTruncates, bool kEven>
inline typename T::V ExtrapolatedLanes(typename T::V pairs, const LaneWeights<T>& w, const IntegerConstants<T>& k) {
    using V = typename T::V;
    if constexpr (kShape == Shape::kMultiple) return T::MultiplyAddBytes(pairs, w.step);
    if constexpr (kShape == Shape::kReducedShift || kShape == Shape::kReducedMagic)
        return TruncDivide<T, kShape>(T::MultiplyAddBytes(pairs, w.step), k);
    V u = T::MultiplyAddBytes(pairs, w.blend);
    if constexpr (kShape == Shape::kUnitStep) {  // t < 0 exactly when u < −100·a·d; a·d is added later
        u = T::AddWhere16(u, T::IsLess16(u, T::MultiplyAddBytes(pairs, w.hundredSteps)), k.ninetyNine);
        return Hundredths(u, k);
    } else if constexpr (kShape == Shape::kExtrapolate) {
        const V q = Hundredths(u, k);
        const V floor = T::Add16(q, T::MultiplyAddBytes(pairs, w.step));  // exact: |a·d| <= 32,385
        if constexpr (!kTruncates) return floor;
        // t < 0 and 100 does not divide u: one more, toward zero.
        const auto up = T::AndNotEqual16(T::IsNegative16(floor), u, T::MulLow16(q, k.hundred));
        return T::AddWhere16(floor, up, k.ones);
    } else {
        const V d = T::MultiplyAddBytes(pairs, w.sign);  // σd
        if constexpr (kTruncates) {
            V sign = d;
            if constexpr (kShape == Shape::kWideNear) {
                const V channelHigh = kEven ? T::template ShiftLeft16<8>(pairs) : pairs;
                sign = T::AddWhere16(d, T::IsAtLeast16(channelHigh, w.limit), k.ones);
            }
            u = T::AddWhere16(u, T::IsNegative16(sign), k.ninetyNine);  // ceil instead of floor
        }
        return T::Add16(Hundredths(u, k), T::MulLow16(d, k.magnitude));
    }
}

// Patches the packed result where a colour byte's (channel, grey) pair lies in its bucket's
// correction run; empty buckets add 0.
template <class T>
inline typename T::V Correct(typename T::V x, typename T::V greys, typename T::V out, const IntegerConstants<T>& k) {
    using V = typename T::V;
    const V diff = T::Sub8(greys, x);
    const V bucket = T::And(T::ShiftRight16(diff, k.shift), k.low4);
    const V offset = T::Sub8(x, T::Shuffle8(k.runFirst, bucket));
    return T::AddWhereInRun(out, diff, T::Shuffle8(k.runDiff, bucket), offset, T::Shuffle8(k.runSpan, bucket),
                            T::Shuffle8(k.runDelta, bucket), k.colour);
}

// The blend interleaves bytes with greys (unpack) and packs the lanes back; the
// extrapolations, whose lanes hold more than a byte, split the bytes into even and odd lanes
// instead and merge the low bytes back, which drops the rest.
// kPatch: the byte tables' patches (TonefadePlan::patches).
template <class T, Shape kShape, bool kTruncates, bool kCorrect, bool kPatch = false>
struct IntegerOp {
    const IntegerConstants<T>& k;
    typename T::V operator()(typename T::V x) const {
        using V = typename T::V;
        V out;
        if constexpr (kShape == Shape::kLookup || kShape == Shape::kLookupNear || kShape == Shape::kLookupLimits) {
            // c + H(d), H odd: H(|d|) added where grey >= c, subtracted where grey < c.
            const V greys = T::Shuffle8(GreyWords(x, k), k.spread);
            const auto below = T::IsGreater8(x, greys);
            const V diff = T::Sub8(greys, x);
            const V magnitude = T::NegateWhere8(diff, below);
            out = T::AddColours8(x, T::NegateWhere8(T::LookupBytes(magnitude, k.lookup), below));
            // One less where s·d < 0 and c is past the limit of |d|.
            if constexpr (kShape == Shape::kLookupLimits) {
                const auto roundsSide = k.step > 0 ? below : T::Not8(below);
                out = T::SubOneWhere8(out, T::IsAbove8(roundsSide, x, T::LookupBytes(magnitude, k.limits)));
            } else if constexpr (kShape == Shape::kLookupNear) {
                const auto roundsSide = k.step > 0 ? below : T::Not8(below);
                out = T::SubOneWhere8(out, T::IsOneAbove8(roundsSide, magnitude, x, k.nearLimit));
            }
            if constexpr (kPatch) {  // c − first < count, as bytes
                const auto hit = T::IsBelow8(T::Sub8(x, T::LookupBytes(diff, k.patchFirst)), T::LookupBytes(diff, k.patchCount));
                out = T::AddWhere8(out, hit & below, k.patchBelow);
                out = T::AddWhere8(out, hit & T::Not8(below), k.patchAbove);
            }
            if constexpr (kCorrect) return Correct(x, greys, out, k);
        } else if constexpr (kBlends<kShape>) {
            const V greys = Greys(x, k);
            out = T::PackUnsigned16(BlendLanes(T::UnpackLow8(x, greys), k), BlendLanes(T::UnpackHigh8(x, greys), k));
            if constexpr (kShape != Shape::kBlend) {
                const V limit = T::LookupBytes(T::Sub8(greys, x), k.limits);
                return T::SubOneWhere8(out, T::IsBelow8(kShape == Shape::kBlendLimits ? x : greys, limit));
            }
            if constexpr (kCorrect) return Correct(x, greys, out, k);
        } else {
            const V words = GreyWords(x, k);
            const V even =
                ExtrapolatedLanes<T, kShape, kTruncates, true>(T::GreyIntoOddBytes(x, words, k.spread), k.even, k);
            const V odd =
                ExtrapolatedLanes<T, kShape, kTruncates, false>(T::GreyIntoEvenBytes(x, words, k.spread), k.odd, k);
            out = T::MergeLowBytes(even, odd, k.lowBytes);
            if constexpr (kShape == Shape::kUnitStep || kCorrect) {
                const V greys = T::Shuffle8(words, k.spread);
                // a·d = ±(grey − c), of which only the low byte is kept: added to the bytes.
                if constexpr (kShape == Shape::kUnitStep)
                    out = T::Add8(out, k.step > 0 ? T::ColourDifference8(greys, x) : T::ColourDifference8(x, greys));
                if constexpr (kCorrect) return Correct(x, greys, out, k);
            }
        }
        return out;
    }
};

// The double expression, four or eight 32-bit lanes at a time.
template <class T>
struct ExactOp {
    using V = typename T::V;
    using D = typename T::D;
    D percent;
    typename T::Half Part(typename T::Half c, typename T::Half diff) const {
        const D product = T::MulDouble(T::ToDouble(diff), percent);  // rounded first
        return T::TruncToInt(T::AddDouble(T::ToDouble(c), product));
    }
    V Channel(V c, V mixer) const {
        const V diff = T::Sub32(mixer, c);
        const V lanes = T::Join(Part(T::LowPart(c), T::LowPart(diff)), Part(T::HighPart(c), T::HighPart(diff)));
        return T::And(lanes, T::Set1_32(0xFF));
    }
    V operator()(V x) const {
        const V byte = T::Set1_32(0xFF);
        const V red = T::And(T::template ShiftRight32<8>(x), byte);
        const V green = T::And(T::template ShiftRight32<16>(x), byte);
        const V blue = T::template ShiftRight32<24>(x);
        const V mixer = T::MulHigh16(T::Add32(T::Add32(red, green), blue), T::Set1_16(kTonefadeDiv3Mul));
        V out = T::And(x, byte);
        out = T::Or(out, T::template ShiftLeft32<8>(Channel(red, mixer)));
        out = T::Or(out, T::template ShiftLeft32<16>(Channel(green, mixer)));
        return T::Or(out, T::template ShiftLeft32<24>(Channel(blue, mixer)));
    }
};

template <class T>
struct CopyOp {
    typename T::V operator()(typename T::V x) const { return x; }
};

// A partial vector first, so that the full-width stores start on a vector boundary (and may
// bypass the cache when asked to), then full vectors, then a partial one. Streamed stores are
// fenced once per frame (EndStreams), not per run: a row of three runs fenced three times
// measured a fifth slower.
template <class T, class Op>
void Walk(const UInt8* src, UInt8* dst, int count, const Op& op, bool stream) {
    constexpr int kLanes = T::kBytes / 4;
    const std::uintptr_t misalign = reinterpret_cast<std::uintptr_t>(dst) & (T::kBytes - 1);
    const bool aligns = misalign % 4 == 0;
    int i = aligns ? int((T::kBytes - misalign) % T::kBytes / 4) : 0;
    if (i > count) i = count;
    if (i > 0) T::StoreFirst(dst, i, op(T::LoadFirst(src, i)));
    if (stream && aligns) {
        for (; i + kLanes <= count; i += kLanes) T::Stream(dst + 4 * i, op(T::Load(src + 4 * i)));
    } else {
        for (; i + kLanes <= count; i += kLanes) T::Store(dst + 4 * i, op(T::Load(src + 4 * i)));
    }
    if (i < count) T::StoreFirst(dst + 4 * i, count - i, op(T::LoadFirst(src + 4 * i, count - i)));
}

template <class T, Shape kShape, bool kTruncates>
void WalkInteger(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream) {
    IntegerConstants<T> k;
    if (plan.corrections == 0) {
        InitInteger<T, kShape, false>(plan, k);
        Walk<T>(src, dst, count, IntegerOp<T, kShape, kTruncates, false>{k}, stream);
    } else {
        InitInteger<T, kShape, true>(plan, k);
        Walk<T>(src, dst, count, IntegerOp<T, kShape, kTruncates, true>{k}, stream);
    }
}

template <class T, Shape kShape>
void WalkUncorrected(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream) {
    IntegerConstants<T> k;
    InitInteger<T, kShape, false>(plan, k);
    Walk<T>(src, dst, count, IntegerOp<T, kShape, false, false>{k}, stream);
}

template <class T, Shape kShape>
void WalkPatched(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream) {
    IntegerConstants<T> k;
    InitInteger<T, kShape, false>(plan, k);
    Walk<T>(src, dst, count, IntegerOp<T, kShape, false, false, true>{k}, stream);
}

template <class T>
void WalkLookup(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream) {
    if (plan.patches && plan.lookupNear)
        WalkPatched<T, Shape::kLookupNear>(src, dst, count, plan, stream);
    else if (plan.patches && plan.lookupLimits)
        WalkPatched<T, Shape::kLookupLimits>(src, dst, count, plan, stream);
    else if (plan.patches)
        WalkPatched<T, Shape::kLookup>(src, dst, count, plan, stream);
    else if (plan.blendLimits && plan.blendLimitsByGrey)
        WalkUncorrected<T, Shape::kBlendLimitsByGrey>(src, dst, count, plan, stream);
    else if (plan.blendLimits)
        WalkUncorrected<T, Shape::kBlendLimits>(src, dst, count, plan, stream);
    else if (plan.lookupNear)
        WalkInteger<T, Shape::kLookupNear, false>(src, dst, count, plan, stream);
    else if (plan.lookupLimits)
        WalkInteger<T, Shape::kLookupLimits, false>(src, dst, count, plan, stream);
    else
        WalkInteger<T, Shape::kLookup, false>(src, dst, count, plan, stream);
}

template <class T, Shape kShape>
void WalkExtrapolation(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream) {
    if (plan.truncates)
        WalkInteger<T, kShape, true>(src, dst, count, plan, stream);
    else
        WalkInteger<T, kShape, false>(src, dst, count, plan, stream);
}

template <class T>
void EffectRow(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream) {
    switch (plan.exactOnly ? TonefadeForm::kExact : plan.form) {
        case TonefadeForm::kBlend: WalkInteger<T, Shape::kBlend, false>(src, dst, count, plan, stream); break;
        case TonefadeForm::kExtrapolate:
            if (plan.multiple)
                WalkInteger<T, Shape::kMultiple, false>(src, dst, count, plan, stream);
            else if (plan.unitStep)
                WalkInteger<T, Shape::kUnitStep, true>(src, dst, count, plan, stream);
            else
                WalkExtrapolation<T, Shape::kExtrapolate>(src, dst, count, plan, stream);
            break;
        case TonefadeForm::kExtrapolateWide:
            if (plan.signLimit > 255)
                WalkExtrapolation<T, Shape::kWideFar>(src, dst, count, plan, stream);
            else
                WalkExtrapolation<T, Shape::kWideNear>(src, dst, count, plan, stream);
            break;
        case TonefadeForm::kExtrapolateReduced:
            if (plan.divideMul == 0)
                WalkInteger<T, Shape::kReducedShift, false>(src, dst, count, plan, stream);
            else
                WalkInteger<T, Shape::kReducedMagic, false>(src, dst, count, plan, stream);
            break;
        case TonefadeForm::kExact: Walk<T>(src, dst, count, ExactOp<T>{T::Set1Double(plan.percent)}, stream); break;
    }
    T::ZeroUpper();
}

template <class T>
void CopyRow(const UInt8* src, UInt8* dst, int count, bool stream) {
    Walk<T>(src, dst, count, CopyOp<T>{}, stream);
    T::ZeroUpper();
}

template <class T>
void EndStreams() {
    T::FenceStreams();
}

}  // namespace
