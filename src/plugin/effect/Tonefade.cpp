// Tonefade: the kernel. Walks the frame row by row; the pixels inside the rectangle go
// through a row kernel for the widest instruction set the processor has.
#include "effect/Tonefade.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "effect/PixelLib.h"
#include "effect/TonefadeKernels.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define TONEFADE_X86 1
#define TF_AVX2 __attribute__((target("avx2")))
#define TF_AVX512 __attribute__((target("avx512f,avx512bw")))
#endif

namespace {

// --- The arithmetic of one channel -------------------------------------------------------

// c + (mixer − c) × percent stays within ±kLargestValue for every 16-bit slider, so the
// vector code's 32-bit truncation of it is exact.
constexpr double kLargestValue = 255.0 + 255.0 * (32768.0 / 100.0);
static_assert(kLargestValue < 2147483647.0);

// trunc toward zero, then the low 16 bits of the 64-bit integer. What a 64-bit integer
// cannot hold (NaN and the infinities too) counts as 0 instead of being cast.
inline SInt16 TruncWrap16(double v) {
    constexpr double kTwo63 = 9223372036854775808.0;
    if (!(v >= -kTwo63 && v < kTwo63)) return 0;
    return SInt16(UInt16(UInt64(SInt64(v))));
}

// The product is rounded to a double before the channel is added; the build forbids fusing.
inline SInt16 ExactChannel(int c, int mixer, double percent) {
    const double product = double(mixer - c) * percent;
    return TruncWrap16(double(c) + product);
}

// The vector code's integer form, ((100 − slider)·c + slider·mixer) div 100 for
// 0 <= slider <= 100, equals the double expression except on a few pairs per slider, which
// are found once per slider and patched (see CheckIntegerForm).

// Vector code divides by multiplying; these constants are exact over the ranges used.
constexpr int kDivBy100Mul = 5243, kDivBy100Shift = 19;  // t <= 100 × 255
constexpr int kDivBy3Mul = 21846, kDivBy3Shift = 16;     // sum <= 3 × 255
constexpr bool DividesExactly(long mul, int shift, long divisor, long largest) {
    for (long t = 0; t <= largest; ++t)
        if (((t * mul) >> shift) != t / divisor) return false;
    return true;
}
static_assert(DividesExactly(kDivBy100Mul, kDivBy100Shift, 100, 25500));
static_assert(DividesExactly(kDivBy3Mul, kDivBy3Shift, 3, 765));

// --- Per-slider plans ------------------------------------------------------------------

// A run of (channel, grey) pairs with the same difference grey − channel and consecutive
// channel values, where the integer form is off by the same amount. All in bytes: the low
// byte of a difference tells it apart from every other difference the run's channel values
// can have with a grey in 0..255, and only the low byte of a result is stored.
struct Correction {
    UInt8 diff;   // grey − channel, modulo 256
    UInt8 first;  // the run's first channel value
    UInt8 span;   // further channel values in the run
    UInt8 delta;  // exact value minus integer form, modulo 256
};
// Vector code finds a pair's run with one 16-entry byte lookup, by bits shift..shift+3 of
// the difference, so the runs' differences must fall into different buckets.
constexpr int kBuckets = 16;
constexpr int kCachedPlans = 8;

struct TonefadePlan {
    SInt16 slider = 0;
    bool used = false;
    bool exactOnly = false;
    bool integer = false;  // the checked integer form serves this slider
    double percent = 0.0;
    int corrections = 0;   // runs, each in its own bucket; empty buckets have delta 0
    int shift = 0;
    std::array<Correction, kBuckets> bucket{};
    std::vector<UInt8> table;  // [grey][channel]: the portable kernel's exact results
};

bool AddRuns(std::vector<Correction>& runs, int diff, int cLo, int cHi, const std::array<int, 256>& delta) {
    for (int c = cLo; c <= cHi; ++c) {
        if (delta[c] == 0) continue;
        int end = c;
        while (end < cHi && delta[end + 1] == delta[c]) ++end;
        if (runs.size() == kBuckets) return false;
        runs.push_back({UInt8(diff), UInt8(c), UInt8(end - c), UInt8(delta[c])});
        c = end;
    }
    return true;
}

bool PlaceInBuckets(TonefadePlan& plan, const std::vector<Correction>& runs) {
    for (int shift = 0; shift <= 4; ++shift) {
        std::array<Correction, kBuckets> bucket{};
        bool clash = false;
        for (const Correction& run : runs) {
            Correction& slot = bucket[(run.diff >> shift) & (kBuckets - 1)];
            clash |= slot.delta != 0;
            slot = run;
        }
        if (clash) continue;
        plan.corrections = int(runs.size());
        plan.shift = shift;
        plan.bucket = bucket;
        return true;
    }
    return false;
}

// Compares the integer form with the double expression on all 65,536 (channel, grey) pairs,
// walked by difference, and records where they part. False: the integer form cannot serve.
// Only for 0 <= slider <= 100, where both forms lie in 0..255 and the loop may convert with a
// plain cast. For one difference d the integer form is c + floor(slider·d / 100): 100·c
// divides evenly, and the sum is never negative.
bool CheckIntegerForm(TonefadePlan& plan) {
    std::vector<Correction> runs;
    std::array<int, 256> delta{};
    for (int diff = -255; diff <= 255; ++diff) {
        const int cLo = std::max(0, -diff), cHi = std::min(255, 255 - diff);
        const double product = double(diff) * plan.percent;  // the same for every c of this difference
        const int scaled = plan.slider * diff;
        const int base = scaled >= 0 ? scaled / 100 : -((99 - scaled) / 100);
        int differs = 0;
        for (int c = cLo; c <= cHi; ++c) {
            delta[c] = int(double(c) + product) - (c + base);
            differs |= delta[c];
        }
        if (differs != 0 && !AddRuns(runs, diff, cLo, cHi, delta)) return false;
    }
    return PlaceInBuckets(plan, runs);
}

TonefadePlan BuildPlan(SInt16 slider, bool exactOnly) {
    TonefadePlan plan;
    plan.slider = slider;
    plan.used = true;
    plan.exactOnly = exactOnly;
    plan.percent = slider / 100.0;
    // Outside 0..100 the weights no longer fit the vector code's signed bytes.
    plan.integer = !exactOnly && slider >= 0 && slider <= 100 && CheckIntegerForm(plan);
    return plan;
}

std::atomic<bool> gExactOnly{false};

TonefadePlan& PlanFor(SInt16 slider) {
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

// --- Portable row kernel -----------------------------------------------------------------
// Looks each result up in a table of the double expression over all (channel, grey) pairs,
// built once per slider value; with exactOnly it computes every pixel with doubles instead.

void BuildTable(TonefadePlan& plan) {
    plan.table.resize(256 * 256);
    for (int mixer = 0; mixer < 256; ++mixer)
        for (int c = 0; c < 256; ++c) plan.table[mixer * 256 + c] = UInt8(ExactChannel(c, mixer, plan.percent));
}

void RowScalarTable(const UInt8* src, UInt8* dst, int count, const UInt8* table) {
    for (int i = 0; i < count; ++i, src += 4, dst += 4) {
        pixRec thePixel;
        std::memcpy(&thePixel, src, sizeof thePixel);
        const UInt8* row = table + 256 * ((thePixel.red + thePixel.green + thePixel.blue) / 3);
        thePixel = {thePixel.alpha, row[thePixel.red], row[thePixel.green], row[thePixel.blue]};
        std::memcpy(dst, &thePixel, sizeof thePixel);
    }
}

void RowScalarExact(const UInt8* src, UInt8* dst, int count, double percent) {
    for (int i = 0; i < count; ++i, src += 4, dst += 4) {
        pixRec thePixel;
        std::memcpy(&thePixel, src, sizeof thePixel);
        const int mixer = (thePixel.red + thePixel.green + thePixel.blue) / 3;
        thePixel = {thePixel.alpha, UInt8(ExactChannel(thePixel.red, mixer, percent)),
                    UInt8(ExactChannel(thePixel.green, mixer, percent)),
                    UInt8(ExactChannel(thePixel.blue, mixer, percent))};
        std::memcpy(dst, &thePixel, sizeof thePixel);
    }
}

void RowScalar(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan) {
    if (plan.table.empty())
        RowScalarExact(src, dst, count, plan.percent);
    else
        RowScalarTable(src, dst, count, plan.table.data());
}

#ifdef TONEFADE_X86
// --- Vector row kernels --------------------------------------------------------------------
// Pixels are read as little-endian words: alpha in bits 0-7, red 8-15, green 16-23, blue
// 24-31. The integer form interleaves each byte with its pixel's grey (unpack), so one
// multiply-add of unsigned bytes by the signed weights (100 − s, s) gives
// (100 − s)·c + s·grey per 16-bit lane; alpha is weighted (100, 0) and so comes back as it was.

// Bytes of one pixel's four (channel, grey) weight pairs, alpha first.
inline SInt64 PairWeights(int slider) {
    const UInt64 pair = UInt64(UInt8(100 - slider)) | (UInt64(UInt8(slider)) << 8);
    return SInt64(UInt64(100) | (pair << 16) | (pair << 32) | (pair << 48));
}
// The same byte on a pixel's three colour bytes, 0 on alpha.
inline int ColourBytes(UInt8 b) { return int(UInt32(b) << 8 | UInt32(b) << 16 | UInt32(b) << 24); }
constexpr int kSumWeights = 0x01010100;  // 0·alpha + red, green + blue

// The bucket tables, one byte per bucket, repeated in every 128-bit lane for the byte shuffle.
template <class Vector>
void InitBuckets(const TonefadePlan& plan, Vector& diff, Vector& first, Vector& span, Vector& delta) {
    UInt8 bytes[4][sizeof(Vector)];
    for (std::size_t i = 0; i < sizeof(Vector); ++i) {
        const Correction& run = plan.bucket[i % kBuckets];
        bytes[0][i] = run.diff;
        bytes[1][i] = run.first;
        bytes[2][i] = run.span;
        bytes[3][i] = run.delta;
    }
    std::memcpy(&diff, bytes[0], sizeof(Vector));
    std::memcpy(&first, bytes[1], sizeof(Vector));
    std::memcpy(&span, bytes[2], sizeof(Vector));
    std::memcpy(&delta, bytes[3], sizeof(Vector));
}

// AVX-512 ------------------------------------------------------------------------------------
// GCC 12's AVX-512 headers start results from a self-initialised "undefined" vector, which
// its flow analysis then reports as maybe uninitialised (fixed in GCC 13).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
struct Integer512 {
    __m512i sumWeights, ones, third, spread, weights, hundredth;
    __m512i runDiff, runFirst, runSpan, runDelta, low4;
    __m128i shift;
};

TF_AVX512 void InitInteger512(Integer512& k, const TonefadePlan& plan) {
    k.sumWeights = _mm512_set1_epi32(kSumWeights);
    k.ones = _mm512_set1_epi16(1);
    k.third = _mm512_set1_epi16(kDivBy3Mul);
    k.spread = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12));
    k.weights = _mm512_set1_epi64(PairWeights(plan.slider));
    k.hundredth = _mm512_set1_epi16(kDivBy100Mul);
    InitBuckets(plan, k.runDiff, k.runFirst, k.runSpan, k.runDelta);
    k.low4 = _mm512_set1_epi8(kBuckets - 1);
    k.shift = _mm_cvtsi32_si128(plan.shift);
}

// Patches the packed result where a colour byte's (channel, grey) pair lies in its bucket's
// correction run; empty buckets add 0.
TF_AVX512 inline __m512i Correct512(__m512i x, __m512i mixers, __m512i out, const Integer512& k) {
    constexpr __mmask64 kColourBytes = 0xEEEEEEEEEEEEEEEEull;
    const __m512i diff = _mm512_sub_epi8(mixers, x);
    const __m512i bucket = _mm512_and_si512(_mm512_srl_epi16(diff, k.shift), k.low4);
    const __mmask64 sameDiff = _mm512_mask_cmpeq_epi8_mask(kColourBytes, diff, _mm512_shuffle_epi8(k.runDiff, bucket));
    const __m512i offset = _mm512_sub_epi8(x, _mm512_shuffle_epi8(k.runFirst, bucket));
    const __mmask64 hit = _mm512_mask_cmple_epu8_mask(sameDiff, offset, _mm512_shuffle_epi8(k.runSpan, bucket));
    return _mm512_mask_add_epi8(out, hit, out, _mm512_shuffle_epi8(k.runDelta, bucket));
}

TF_AVX512 inline __m512i ChannelPairs512(__m512i pairs, const Integer512& k) {
    const __m512i t = _mm512_maddubs_epi16(pairs, k.weights);
    return _mm512_srli_epi16(_mm512_mulhi_epu16(t, k.hundredth), kDivBy100Shift - 16);
}

template <bool kCorrect>
struct IntegerOp512 {
    const Integer512& k;
    TF_AVX512 __m512i operator()(__m512i x) const {
        const __m512i sum = _mm512_madd_epi16(_mm512_maddubs_epi16(x, k.sumWeights), k.ones);
        const __m512i mixers = _mm512_shuffle_epi8(_mm512_mulhi_epu16(sum, k.third), k.spread);
        const __m512i lo = ChannelPairs512(_mm512_unpacklo_epi8(x, mixers), k);
        const __m512i hi = ChannelPairs512(_mm512_unpackhi_epi8(x, mixers), k);
        const __m512i out = _mm512_packus_epi16(lo, hi);
        if constexpr (kCorrect) return Correct512(x, mixers, out, k);
        return out;
    }
};

TF_AVX512 inline __m256i ExactOctet512(__m256i c, __m256i diff, __m512d percent) {
    const __m512d product = _mm512_mul_pd(_mm512_cvtepi32_pd(diff), percent);  // rounded first
    return _mm512_cvttpd_epi32(_mm512_add_pd(_mm512_cvtepi32_pd(c), product));
}

TF_AVX512 inline __m512i ExactLanes512(__m512i c, __m512i mixer, __m512d percent) {
    const __m512i diff = _mm512_sub_epi32(mixer, c);
    const __m256i lo = ExactOctet512(_mm512_castsi512_si256(c), _mm512_castsi512_si256(diff), percent);
    const __m256i hi =
        ExactOctet512(_mm512_extracti64x4_epi64(c, 1), _mm512_extracti64x4_epi64(diff, 1), percent);
    return _mm512_and_si512(_mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1), _mm512_set1_epi32(0xFF));
}

struct ExactOp512 {
    __m512d percent;
    TF_AVX512 __m512i operator()(__m512i x) const {
        const __m512i byte = _mm512_set1_epi32(0xFF);
        const __m512i red = _mm512_and_si512(_mm512_srli_epi32(x, 8), byte);
        const __m512i green = _mm512_and_si512(_mm512_srli_epi32(x, 16), byte);
        const __m512i blue = _mm512_srli_epi32(x, 24);
        const __m512i sum = _mm512_add_epi32(_mm512_add_epi32(red, green), blue);
        const __m512i mixer = _mm512_mulhi_epu16(sum, _mm512_set1_epi16(kDivBy3Mul));
        __m512i out = _mm512_and_si512(x, byte);
        out = _mm512_or_si512(out, _mm512_slli_epi32(ExactLanes512(red, mixer, percent), 8));
        out = _mm512_or_si512(out, _mm512_slli_epi32(ExactLanes512(green, mixer, percent), 16));
        return _mm512_or_si512(out, _mm512_slli_epi32(ExactLanes512(blue, mixer, percent), 24));
    }
};

template <class Pixels>
TF_AVX512 void Walk512(const UInt8* src, UInt8* dst, int count, const Pixels& pixels) {
    // A masked head first, so that the full-width stores do not straddle cache lines.
    const std::uintptr_t misalign = reinterpret_cast<std::uintptr_t>(dst) & 63;
    int i = misalign % 4 == 0 ? std::min(count, int((64 - misalign) % 64 / 4)) : 0;
    if (i > 0) {
        const __mmask16 lanes = __mmask16((1u << i) - 1);
        _mm512_mask_storeu_epi32(dst, lanes, pixels(_mm512_maskz_loadu_epi32(lanes, src)));
    }
    for (; i + 16 <= count; i += 16)
        _mm512_storeu_si512(dst + 4 * i, pixels(_mm512_loadu_si512(src + 4 * i)));
    if (i < count) {
        const __mmask16 lanes = __mmask16((1u << (count - i)) - 1);
        _mm512_mask_storeu_epi32(dst + 4 * i, lanes, pixels(_mm512_maskz_loadu_epi32(lanes, src + 4 * i)));
    }
}

TF_AVX512 void RowAVX512(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan) {
    if (!plan.integer) {
        Walk512(src, dst, count, ExactOp512{_mm512_set1_pd(plan.percent)});
    } else {
        Integer512 k;
        InitInteger512(k, plan);
        if (plan.corrections == 0)
            Walk512(src, dst, count, IntegerOp512<false>{k});
        else
            Walk512(src, dst, count, IntegerOp512<true>{k});
    }
    _mm256_zeroupper();
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// AVX2 ---------------------------------------------------------------------------------------
struct Integer256 {
    __m256i sumWeights, ones, third, spread, weights, hundredth;
    __m256i runDiff, runFirst, runSpan, runDelta, low4, colour;
    __m128i shift;
};

TF_AVX2 void InitInteger256(Integer256& k, const TonefadePlan& plan) {
    k.sumWeights = _mm256_set1_epi32(kSumWeights);
    k.ones = _mm256_set1_epi16(1);
    k.third = _mm256_set1_epi16(kDivBy3Mul);
    k.spread = _mm256_broadcastsi128_si256(_mm_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12));
    k.weights = _mm256_set1_epi64x(PairWeights(plan.slider));
    k.hundredth = _mm256_set1_epi16(kDivBy100Mul);
    InitBuckets(plan, k.runDiff, k.runFirst, k.runSpan, k.runDelta);
    k.low4 = _mm256_set1_epi8(kBuckets - 1);
    k.colour = _mm256_set1_epi32(ColourBytes(0xFF));
    k.shift = _mm_cvtsi32_si128(plan.shift);
}

TF_AVX2 inline __m256i Correct256(__m256i x, __m256i mixers, __m256i out, const Integer256& k) {
    const __m256i diff = _mm256_sub_epi8(mixers, x);
    const __m256i bucket = _mm256_and_si256(_mm256_srl_epi16(diff, k.shift), k.low4);
    const __m256i sameDiff = _mm256_cmpeq_epi8(diff, _mm256_shuffle_epi8(k.runDiff, bucket));
    const __m256i offset = _mm256_sub_epi8(x, _mm256_shuffle_epi8(k.runFirst, bucket));
    const __m256i span = _mm256_shuffle_epi8(k.runSpan, bucket);
    const __m256i inRun = _mm256_cmpeq_epi8(_mm256_min_epu8(offset, span), offset);
    const __m256i hit = _mm256_and_si256(_mm256_and_si256(sameDiff, inRun), k.colour);
    return _mm256_add_epi8(out, _mm256_and_si256(hit, _mm256_shuffle_epi8(k.runDelta, bucket)));
}

TF_AVX2 inline __m256i ChannelPairs256(__m256i pairs, const Integer256& k) {
    const __m256i t = _mm256_maddubs_epi16(pairs, k.weights);
    return _mm256_srli_epi16(_mm256_mulhi_epu16(t, k.hundredth), kDivBy100Shift - 16);
}

template <bool kCorrect>
struct IntegerOp256 {
    const Integer256& k;
    TF_AVX2 __m256i operator()(__m256i x) const {
        const __m256i sum = _mm256_madd_epi16(_mm256_maddubs_epi16(x, k.sumWeights), k.ones);
        const __m256i mixers = _mm256_shuffle_epi8(_mm256_mulhi_epu16(sum, k.third), k.spread);
        const __m256i lo = ChannelPairs256(_mm256_unpacklo_epi8(x, mixers), k);
        const __m256i hi = ChannelPairs256(_mm256_unpackhi_epi8(x, mixers), k);
        const __m256i out = _mm256_packus_epi16(lo, hi);
        if constexpr (kCorrect) return Correct256(x, mixers, out, k);
        return out;
    }
};

TF_AVX2 inline __m128i ExactQuad256(__m128i c, __m128i diff, __m256d percent) {
    const __m256d product = _mm256_mul_pd(_mm256_cvtepi32_pd(diff), percent);  // rounded first
    return _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_cvtepi32_pd(c), product));
}

TF_AVX2 inline __m256i ExactLanes256(__m256i c, __m256i mixer, __m256d percent) {
    const __m256i diff = _mm256_sub_epi32(mixer, c);
    const __m128i lo = ExactQuad256(_mm256_castsi256_si128(c), _mm256_castsi256_si128(diff), percent);
    const __m128i hi =
        ExactQuad256(_mm256_extracti128_si256(c, 1), _mm256_extracti128_si256(diff, 1), percent);
    return _mm256_and_si256(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), _mm256_set1_epi32(0xFF));
}

struct ExactOp256 {
    __m256d percent;
    TF_AVX2 __m256i operator()(__m256i x) const {
        const __m256i byte = _mm256_set1_epi32(0xFF);
        const __m256i red = _mm256_and_si256(_mm256_srli_epi32(x, 8), byte);
        const __m256i green = _mm256_and_si256(_mm256_srli_epi32(x, 16), byte);
        const __m256i blue = _mm256_srli_epi32(x, 24);
        const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(red, green), blue);
        const __m256i mixer = _mm256_mulhi_epu16(sum, _mm256_set1_epi16(kDivBy3Mul));
        __m256i out = _mm256_and_si256(x, byte);
        out = _mm256_or_si256(out, _mm256_slli_epi32(ExactLanes256(red, mixer, percent), 8));
        out = _mm256_or_si256(out, _mm256_slli_epi32(ExactLanes256(green, mixer, percent), 16));
        return _mm256_or_si256(out, _mm256_slli_epi32(ExactLanes256(blue, mixer, percent), 24));
    }
};

template <class Pixels>
TF_AVX2 void Walk256(const UInt8* src, UInt8* dst, int count, const Pixels& pixels) {
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), pixels(x));
    }
    if (i < count) {
        const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256i lanes = _mm256_cmpgt_epi32(_mm256_set1_epi32(count - i), lane);
        const __m256i x = _mm256_maskload_epi32(reinterpret_cast<const int*>(src + 4 * i), lanes);
        _mm256_maskstore_epi32(reinterpret_cast<int*>(dst + 4 * i), lanes, pixels(x));
    }
}

TF_AVX2 void RowAVX2(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan) {
    if (!plan.integer) {
        Walk256(src, dst, count, ExactOp256{_mm256_set1_pd(plan.percent)});
    } else {
        Integer256 k;
        InitInteger256(k, plan);
        if (plan.corrections == 0)
            Walk256(src, dst, count, IntegerOp256<false>{k});
        else
            Walk256(src, dst, count, IntegerOp256<true>{k});
    }
    _mm256_zeroupper();
}
#endif  // TONEFADE_X86

// --- Choosing the kernels ------------------------------------------------------------------

using RowKernel = void (*)(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan);

TonefadeISA WidestISA() {
#ifdef TONEFADE_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) return TonefadeISA::kAVX512;
    if (__builtin_cpu_supports("avx2")) return TonefadeISA::kAVX2;
#endif
    return TonefadeISA::kScalar;
}

TonefadeISA DetectedISA() {
    static const TonefadeISA widest = WidestISA();
    return widest;
}

std::atomic<TonefadeISA> gForcedISA{TonefadeISA::kAuto};

RowKernel KernelFor(TonefadeISA isa) {
#ifdef TONEFADE_X86
    if (isa == TonefadeISA::kAVX512) return RowAVX512;
    if (isa == TonefadeISA::kAVX2) return RowAVX2;
#endif
    (void)isa;
    return RowScalar;
}

// --- Walking the frame ---------------------------------------------------------------------

// What direct access hands back for one world.
struct PixelAccess {
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
};

// The part of the frame that the half-open rectangle covers, clipped to the frame.
struct Span {
    int rowLo, rowHi, colLo, colHi;
    bool Empty() const { return rowLo >= rowHi || colLo >= colHi; }
};

Span CoveredSpan(const Rect& r, int width, int height) {
    Span s;
    s.rowLo = std::clamp<int>(r.top, 0, height);
    s.rowHi = std::clamp<int>(r.bottom, s.rowLo, height);
    s.colLo = std::clamp<int>(r.left, 0, width);
    s.colHi = std::clamp<int>(r.right, s.colLo, width);
    return s;
}

inline void CopyPixels(UInt8* dst, const UInt8* src, int count) {
    if (count > 0) std::memcpy(dst, src, std::size_t(count) * 4);
}

// Both worlds must have the same bounds and hold 32-bit pixels: walking a smaller or
// shallower buffer with this frame's geometry would run past its end.
bool CanWalk(GWorldPtr source, GWorldPtr dest, const PixelAccess& src, const PixelAccess& dst) {
    return src.frame.right == dst.frame.right && src.frame.bottom == dst.frame.bottom &&
           src.frame.left == dst.frame.left && src.frame.top == dst.frame.top &&
           GetPixDepth(GetGWorldPixMap(source)) == 32 && GetPixDepth(GetGWorldPixMap(dest)) == 32 &&
           src.base != nullptr && dst.base != nullptr;
}

void WalkFrame(const PixelAccess& src, const PixelAccess& dst, const Rect& activeRect, bool copyRest,
               SInt16 slider1) {
    // Pixel (0, 0) is the frame's top-left pixel, wherever its bounds put it.
    const int width = std::max(0, src.frame.right - src.frame.left);
    const int height = std::max(0, src.frame.bottom - src.frame.top);
    const Span inside = CoveredSpan(activeRect, width, height);
    // In place, the pixels outside are already where they belong.
    const bool copy = copyRest && !(src.base == dst.base && src.rowBytes == dst.rowBytes);
    const TonefadeISA isa = CurrentTonefadeISA();
    const RowKernel kernel = KernelFor(isa);
    TonefadePlan* plan = inside.Empty() ? nullptr : &PlanFor(slider1);
    if (plan != nullptr && isa == TonefadeISA::kScalar && !plan->exactOnly && plan->table.empty())
        BuildTable(*plan);

    const UInt8* s = reinterpret_cast<const UInt8*>(src.base);
    UInt8* d = reinterpret_cast<UInt8*>(dst.base);
    for (int row = 0; row < height; ++row) {
        if (row > 0) {
            s += src.rowBytes;
            d += dst.rowBytes;
        }
        if (plan == nullptr || row < inside.rowLo || row >= inside.rowHi) {
            if (copy) CopyPixels(d, s, width);
            continue;
        }
        if (copy) {
            CopyPixels(d, s, inside.colLo);
            CopyPixels(d + 4 * inside.colHi, s + 4 * inside.colHi, width - inside.colHi);
        }
        kernel(s + 4 * inside.colLo, d + 4 * inside.colLo, inside.colHi - inside.colLo, *plan);
    }
}

}  // namespace

void TonefadeEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean copyRest, SInt16 slider1) {
    if (dest == nullptr) dest = source;
    if (source == nullptr) return;

    Ptr srcBase, dstBase;
    SInt32 srcRowBytes, dstRowBytes;
    Rect theFrame, theTargetFrame;
    GWorldFlags srcPixFlags, dstPixFlags;
    GetPixInfoFromGWorld(source, &srcBase, &srcRowBytes, &theFrame, &srcPixFlags);
    GetPixInfoFromGWorld(dest, &dstBase, &dstRowBytes, &theTargetFrame, &dstPixFlags);
    const PixelAccess src{srcBase, srcRowBytes, theFrame}, dst{dstBase, dstRowBytes, theTargetFrame};
    if (CanWalk(source, dest, src, dst)) WalkFrame(src, dst, activeRect, copyRest != 0, slider1);

    // Target first: when it is the source, the source's state is the one from before any lock.
    SetPixelsState(GetGWorldPixMap(dest), dstPixFlags);
    SetPixelsState(GetGWorldPixMap(source), srcPixFlags);
}

// --- Switches for tests and benchmarks -------------------------------------------------------

bool TonefadeISASupported(TonefadeISA isa) {
    if (isa == TonefadeISA::kAuto || isa == TonefadeISA::kScalar) return true;
    return int(DetectedISA()) >= int(isa);
}

bool SetTonefadeISAForTesting(TonefadeISA isa) {
    if (!TonefadeISASupported(isa)) return false;
    gForcedISA.store(isa, std::memory_order_relaxed);
    return true;
}

TonefadeISA CurrentTonefadeISA() {
    const TonefadeISA forced = gForcedISA.load(std::memory_order_relaxed);
    return forced == TonefadeISA::kAuto ? DetectedISA() : forced;
}

TonefadeSliderInfo GetTonefadeSliderInfo(SInt16 slider1) {
    const TonefadePlan& plan = PlanFor(slider1);
    return {plan.integer ? TonefadeArithmetic::kInteger : TonefadeArithmetic::kExact, plan.corrections};
}

void SetTonefadeExactOnlyForTesting(bool exactOnly) { gExactOnly.store(exactOnly, std::memory_order_relaxed); }
