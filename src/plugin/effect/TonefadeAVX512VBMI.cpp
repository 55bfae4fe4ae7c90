// TonefadeAVX512VBMI: the AVX-512 row kernels with byte permutes across two registers (VBMI),
// which look up a 256-byte table per byte in four instructions: the extrapolations whose
// result is the channel plus a function of the difference grey − channel take it from a
// table instead of computing it, the amounts on the double expression take the same tables
// with patches, and the blend's corrections become a table of limits. This file alone is
// built with -mavx512vbmi (and F, BW); the dispatch runs it only where the processor (and its
// operating system) has all three.
#if defined(__x86_64__)

#include <immintrin.h>

#include "effect/TonefadePlan.h"
#include "effect/TonefadeRows.h"

#if !defined(__AVX512F__) || !defined(__AVX512BW__) || !defined(__AVX512VBMI__)
#error "TonefadeAVX512VBMI.cpp must be built with -mavx512f -mavx512bw -mavx512vbmi"
#endif

#include "effect/TonefadeAVX512Traits.h"

namespace {

struct AVX512VBMI : AVX512 {
    using ByteMask = __mmask64;

    // table[index] per byte, the table in four registers of 64 entries.
    static V LookupBytes(V index, const V table[4]) {
        const V low = _mm512_permutex2var_epi8(table[0], index, table[1]);
        const V high = _mm512_permutex2var_epi8(table[2], index, table[3]);
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
    }
    static ByteMask IsGreater8(V a, V b) { return _mm512_cmpgt_epu8_mask(a, b); }
    static V NegateWhere8(V v, ByteMask m) { return _mm512_mask_sub_epi8(v, m, _mm512_setzero_si512(), v); }
    // a + b in the colour bytes; alpha as in a.
    static V AddColours8(V a, V b) { return _mm512_mask_add_epi8(a, kColourMask, a, b); }
    static ByteMask Not8(ByteMask m) { return ByteMask(~m); }
    // The colour bytes where m holds, magnitude is 1 and c > limit.
    static ByteMask IsOneAbove8(ByteMask m, V magnitude, V c, V limit) {
        const ByteMask one = _mm512_mask_cmpeq_epi8_mask(m & kColourMask, magnitude, _mm512_set1_epi8(1));
        return _mm512_mask_cmpgt_epu8_mask(one, c, limit);
    }
    // The colour bytes where m holds and c > limit.
    static ByteMask IsAbove8(ByteMask m, V c, V limit) { return _mm512_mask_cmpgt_epu8_mask(m & kColourMask, c, limit); }
    // The colour bytes where a < b.
    static ByteMask IsBelow8(V a, V b) { return _mm512_mask_cmplt_epu8_mask(kColourMask, a, b); }
    static V AddWhere8(V v, ByteMask m, V addend) { return _mm512_mask_add_epi8(v, m, v, addend); }
    static V SubOneWhere8(V v, ByteMask m) { return _mm512_mask_sub_epi8(v, m, v, _mm512_set1_epi8(1)); }
};

}  // namespace

#include "effect/TonefadeVector.h"

namespace {

// Only the forms the tables serve; every other form, and the copies, are the AVX-512 kernels
// themselves, called directly by the frame walk (a call through a second function per run of a
// row measured a sixth slower on rectangles).
void TableEffectRow(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream) {
    WalkLookup<AVX512VBMI>(src, dst, count, plan, stream);
    AVX512VBMI::ZeroUpper();
}

}  // namespace

void (*const kTonefadeAVX512VBMITableEffect)(const UInt8*, UInt8*, int, const TonefadePlan&, bool) = TableEffectRow;

#endif  // __x86_64__
