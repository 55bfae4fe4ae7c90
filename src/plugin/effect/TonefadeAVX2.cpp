// TonefadeAVX2: the row kernels for AVX2, 8 pixels per vector. This file alone is built with
// -mavx2; the dispatch runs it only where the processor has AVX2.
#if defined(__x86_64__)

#include <immintrin.h>

#include "effect/TonefadePlan.h"
#include "effect/TonefadeRows.h"

#ifndef __AVX2__
#error "TonefadeAVX2.cpp must be built with -mavx2"
#endif

namespace {

struct AVX2 {
    using V = __m256i;
    using Half = __m128i;
    using D = __m256d;
    static constexpr int kBytes = 32;

    static V Load(const UInt8* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void Store(UInt8* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static void Stream(UInt8* p, V v) { _mm256_stream_si256(reinterpret_cast<V*>(p), v); }
    static void FenceStreams() { _mm_sfence(); }
    static V FirstLanes(int n) { return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)); }
    static V LoadFirst(const UInt8* p, int n) { return _mm256_maskload_epi32(reinterpret_cast<const int*>(p), FirstLanes(n)); }
    static void StoreFirst(UInt8* p, int n, V v) { _mm256_maskstore_epi32(reinterpret_cast<int*>(p), FirstLanes(n), v); }
    static void ZeroUpper() { _mm256_zeroupper(); }

    static V Set1_8(int b) { return _mm256_set1_epi8(char(b)); }
    static V Set1_16(int w) { return _mm256_set1_epi16(short(w)); }
    static V Set1_32(int w) { return _mm256_set1_epi32(w); }
    static V Set1_64(SInt64 w) { return _mm256_set1_epi64x(w); }
    static V Broadcast128(__m128i v) { return _mm256_broadcastsi128_si256(v); }

    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Sub8(V a, V b) { return _mm256_sub_epi8(a, b); }
    static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
    static V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
    template <int kBits> static V ShiftRight16(V v) { return _mm256_srli_epi16(v, kBits); }
    static V ShiftRight16(V v, __m128i bits) { return _mm256_srl_epi16(v, bits); }
    template <int kBits> static V ShiftRight32(V v) { return _mm256_srli_epi32(v, kBits); }
    template <int kBits> static V ShiftLeft32(V v) { return _mm256_slli_epi32(v, kBits); }
    static V MultiplyAddBytes(V bytes, V weights) { return _mm256_maddubs_epi16(bytes, weights); }
    static V MultiplyAdd16(V a, V b) { return _mm256_madd_epi16(a, b); }
    static V MulHigh16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
    static V MulHighSigned16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
    static V ShiftRightArith16(V v, __m128i bits) { return _mm256_sra_epi16(v, bits); }
    static V MulLow16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V Shuffle8(V table, V index) { return _mm256_shuffle_epi8(table, index); }
    static V UnpackLow8(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
    static V UnpackHigh8(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
    static V PackUnsigned16(V lo, V hi) { return _mm256_packus_epi16(lo, hi); }

    // Lane conditions as vectors of all-ones or zero lanes.
    using Mask16 = V;
    static Mask16 IsNegative16(V v) { return _mm256_srai_epi16(v, 15); }
    static Mask16 IsLess16(V a, V b) { return _mm256_cmpgt_epi16(b, a); }  // signed
    // a − b in the colour bytes, 0 in alpha's.
    static V ColourDifference8(V a, V b) {
        return _mm256_and_si256(_mm256_sub_epi8(a, b), _mm256_set1_epi32(int(0xFFFFFF00)));
    }
    static V Add8(V a, V b) { return _mm256_add_epi8(a, b); }
    static Mask16 IsAtLeast16(V a, V b) { return _mm256_cmpeq_epi16(_mm256_max_epu16(a, b), a); }
    static Mask16 AndNotEqual16(Mask16 m, V a, V b) { return _mm256_andnot_si256(_mm256_cmpeq_epi16(a, b), m); }
    static V AddWhere16(V v, Mask16 m, V addend) { return _mm256_add_epi16(v, _mm256_and_si256(m, addend)); }
    // Even bytes from a, odd bytes from b.
    static V BlendOddBytes(V a, V b) { return _mm256_blendv_epi8(a, b, _mm256_set1_epi16(short(0xFF00))); }
    template <int kBits> static V ShiftLeft16(V v) { return _mm256_slli_epi16(v, kBits); }
    // x with each pixel's grey (the low byte of its 32 bits in greys) in its odd or even bytes.
    static V GreyIntoOddBytes(V x, V greys, V spread) { return BlendOddBytes(x, Shuffle8(greys, spread)); }
    static V GreyIntoEvenBytes(V x, V greys, V spread) { return BlendOddBytes(Shuffle8(greys, spread), x); }
    // The low bytes of even's 16-bit lanes, then odd's.
    static V MergeLowBytes(V even, V odd, V) { return BlendOddBytes(even, ShiftLeft16<8>(odd)); }

    // out + delta in the colour bytes where diff equals runDiff and offset <= span.
    static V AddWhereInRun(V out, V diff, V runDiff, V offset, V span, V delta, V colour) {
        const V inRun = _mm256_cmpeq_epi8(_mm256_min_epu8(offset, span), offset);
        const V hit = _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(diff, runDiff), inRun), colour);
        return _mm256_add_epi8(out, _mm256_and_si256(hit, delta));
    }

    static Half LowPart(V v) { return _mm256_castsi256_si128(v); }
    static Half HighPart(V v) { return _mm256_extracti128_si256(v, 1); }
    static V Join(Half lo, Half hi) { return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1); }
    static D Set1Double(double v) { return _mm256_set1_pd(v); }
    static D ToDouble(Half v) { return _mm256_cvtepi32_pd(v); }
    static Half TruncToInt(D v) { return _mm256_cvttpd_epi32(v); }
    static D MulDouble(D a, D b) { return _mm256_mul_pd(a, b); }
    static D AddDouble(D a, D b) { return _mm256_add_pd(a, b); }
};

}  // namespace

#include "effect/TonefadeVector.h"

const TonefadeRowKernels kTonefadeAVX2Rows = {TonefadeISA::kAVX2, EffectRow<AVX2>, CopyRow<AVX2>, EndStreams<AVX2>, false, nullptr};

#endif  // __x86_64__
