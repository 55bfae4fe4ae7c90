// TonefadeAVX512Traits: how the vector row kernels' steps map to AVX-512 (F and BW)
// instructions, 16 pixels per vector, with mask registers for partial vectors, conditional adds
// and the correction lookup. Included only by the files built for AVX-512 (TonefadeAVX512.cpp,
// TonefadeAVX512VBMI.cpp); everything here has internal linkage.
#pragma once

#include <immintrin.h>

#include "MacTypes.h"

#if !defined(__AVX512F__) || !defined(__AVX512BW__)
#error "TonefadeAVX512Traits.h needs -mavx512f -mavx512bw"
#endif

// GCC 12's AVX-512 headers start results from a self-initialised "undefined" vector, which
// its flow analysis then reports as (maybe) uninitialised (fixed in GCC 13).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace {

struct AVX512 {
    using V = __m512i;
    using Half = __m256i;
    using D = __m512d;
    static constexpr int kBytes = 64;
    static constexpr __mmask64 kColourMask = 0xEEEEEEEEEEEEEEEEull;

    static V Load(const UInt8* p) { return _mm512_loadu_si512(p); }
    static void Store(UInt8* p, V v) { _mm512_storeu_si512(p, v); }
    static void Stream(UInt8* p, V v) { _mm512_stream_si512(reinterpret_cast<V*>(p), v); }
    static void FenceStreams() { _mm_sfence(); }
    static __mmask16 FirstLanes(int n) { return __mmask16((1u << n) - 1); }
    static V LoadFirst(const UInt8* p, int n) { return _mm512_maskz_loadu_epi32(FirstLanes(n), p); }
    static void StoreFirst(UInt8* p, int n, V v) { _mm512_mask_storeu_epi32(p, FirstLanes(n), v); }
    static void ZeroUpper() { _mm256_zeroupper(); }

    static V Set1_8(int b) { return _mm512_set1_epi8(char(b)); }
    static V Set1_16(int w) { return _mm512_set1_epi16(short(w)); }
    static V Set1_32(int w) { return _mm512_set1_epi32(w); }
    static V Set1_64(SInt64 w) { return _mm512_set1_epi64(w); }
    static V Broadcast128(__m128i v) { return _mm512_broadcast_i32x4(v); }

    static V And(V a, V b) { return _mm512_and_si512(a, b); }
    static V Or(V a, V b) { return _mm512_or_si512(a, b); }
    static V Sub8(V a, V b) { return _mm512_sub_epi8(a, b); }
    static V Add16(V a, V b) { return _mm512_add_epi16(a, b); }
    static V Add32(V a, V b) { return _mm512_add_epi32(a, b); }
    static V Sub32(V a, V b) { return _mm512_sub_epi32(a, b); }
    template <int kBits> static V ShiftRight16(V v) { return _mm512_srli_epi16(v, kBits); }
    static V ShiftRight16(V v, __m128i bits) { return _mm512_srl_epi16(v, bits); }
    template <int kBits> static V ShiftRight32(V v) { return _mm512_srli_epi32(v, kBits); }
    template <int kBits> static V ShiftLeft32(V v) { return _mm512_slli_epi32(v, kBits); }
    static V MultiplyAddBytes(V bytes, V weights) { return _mm512_maddubs_epi16(bytes, weights); }
    static V MultiplyAdd16(V a, V b) { return _mm512_madd_epi16(a, b); }
    static V MulHigh16(V a, V b) { return _mm512_mulhi_epu16(a, b); }
    static V MulHighSigned16(V a, V b) { return _mm512_mulhi_epi16(a, b); }
    static V ShiftRightArith16(V v, __m128i bits) { return _mm512_sra_epi16(v, bits); }
    static V MulLow16(V a, V b) { return _mm512_mullo_epi16(a, b); }
    static V Shuffle8(V table, V index) { return _mm512_shuffle_epi8(table, index); }
    static V UnpackLow8(V a, V b) { return _mm512_unpacklo_epi8(a, b); }
    static V UnpackHigh8(V a, V b) { return _mm512_unpackhi_epi8(a, b); }
    static V PackUnsigned16(V lo, V hi) { return _mm512_packus_epi16(lo, hi); }

    // Lane conditions as mask registers.
    using Mask16 = __mmask32;
    static Mask16 IsNegative16(V v) { return _mm512_movepi16_mask(v); }
    static Mask16 IsLess16(V a, V b) { return _mm512_cmplt_epi16_mask(a, b); }  // signed
    // a − b in the colour bytes, 0 in alpha's.
    static V ColourDifference8(V a, V b) { return _mm512_maskz_sub_epi8(~0x1111111111111111ull, a, b); }
    static V Add8(V a, V b) { return _mm512_add_epi8(a, b); }
    static Mask16 IsAtLeast16(V a, V b) { return _mm512_cmpge_epu16_mask(a, b); }
    static Mask16 AndNotEqual16(Mask16 m, V a, V b) { return _mm512_mask_cmpneq_epu16_mask(m, a, b); }
    static V AddWhere16(V v, Mask16 m, V addend) { return _mm512_mask_add_epi16(v, m, v, addend); }
    // Even bytes from a, odd bytes from b.
    static V BlendOddBytes(V a, V b) { return _mm512_mask_blend_epi8(0xAAAAAAAAAAAAAAAAull, a, b); }
    template <int kBits> static V ShiftLeft16(V v) { return _mm512_slli_epi16(v, kBits); }
    // x with each pixel's grey (the low byte of its 32 bits in greys) in its odd or even
    // bytes: one byte shuffle that writes only those bytes.
    static V GreyIntoOddBytes(V x, V greys, V spread) {
        return _mm512_mask_shuffle_epi8(x, 0xAAAAAAAAAAAAAAAAull, greys, spread);
    }
    static V GreyIntoEvenBytes(V x, V greys, V spread) {
        return _mm512_mask_shuffle_epi8(x, 0x5555555555555555ull, greys, spread);
    }
    // The low bytes of even's 16-bit lanes, then odd's (lowBytes: each byte's lane's low byte).
    static V MergeLowBytes(V even, V odd, V lowBytes) {
        return _mm512_mask_shuffle_epi8(even, 0xAAAAAAAAAAAAAAAAull, odd, lowBytes);
    }

    // out + delta in the colour bytes where diff equals runDiff and offset <= span.
    static V AddWhereInRun(V out, V diff, V runDiff, V offset, V span, V delta, V) {
        const __mmask64 sameDiff = _mm512_mask_cmpeq_epi8_mask(kColourMask, diff, runDiff);
        const __mmask64 hit = _mm512_mask_cmple_epu8_mask(sameDiff, offset, span);
        return _mm512_mask_add_epi8(out, hit, out, delta);
    }

    static Half LowPart(V v) { return _mm512_castsi512_si256(v); }
    static Half HighPart(V v) { return _mm512_extracti64x4_epi64(v, 1); }
    static V Join(Half lo, Half hi) { return _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1); }
    static D Set1Double(double v) { return _mm512_set1_pd(v); }
    static D ToDouble(Half v) { return _mm512_cvtepi32_pd(v); }
    static Half TruncToInt(D v) { return _mm512_cvttpd_epi32(v); }
    static D MulDouble(D a, D b) { return _mm512_mul_pd(a, b); }
    static D AddDouble(D a, D b) { return _mm512_add_pd(a, b); }
};

}  // namespace
