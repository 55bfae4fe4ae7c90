// The editor's blend of one pixel map over another.
#include "quickdraw/QDBlend.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace toolbox {

namespace {

UInt8* PixelAddress(const PixMap& pm, int x, int y) {
    return reinterpret_cast<UInt8*>(pm.baseAddr) + std::ptrdiff_t(y - pm.bounds.top) * pm.rowBytes +
           std::ptrdiff_t(x - pm.bounds.left) * 4;
}

// (s·a + d·(255 − a) + 127) div 255. The sum fits 16 bits (at most 65,152), and for such
// sums (x + 1 + x div 256) div 256 is x div 255 exactly, so a run is 16-bit multiplies and
// shifts that the compiler turns into vector code, eight or more bytes an instruction.
inline UInt8 BlendByte(unsigned s, unsigned d, uint16_t a, uint16_t inv) {
    const uint16_t x = uint16_t(s * a + d * inv + 127);
    return UInt8(uint16_t(x + 1 + (x >> 8)) >> 8);
}

// One run of bytes, every byte alike, as the compiler vectorises it for every processor.
void BlendRunPortable(const UInt8* s, UInt8* d, std::size_t n, int a) {
    const uint16_t a16 = uint16_t(a), inv = uint16_t(255 - a);
    for (std::size_t i = 0; i < n; ++i) d[i] = BlendByte(s[i], d[i], a16, inv);
}

// The same sums on wider vectors: each byte widened to a 16-bit lane (unpacking against
// zero, which packing undoes in the same order), 16 or 32 lanes an instruction. There the
// division is a multiply-high: (x · 32,897) div 2^23 is x div 255 for every 16-bit x. Chosen
// when the first blend runs, never by a resolver: those run while the library is being
// relocated, before a sanitizer's runtime is ready, and the sanitizer builds load this
// library at start-up.
#define TONEFADE_BLEND_LANES(V, P)                                                              \
    V x = P##_add_epi16(P##_add_epi16(P##_mullo_epi16(s16, va), P##_mullo_epi16(d16, vi)), k127); \
    V r = P##_srli_epi16(P##_mulhi_epu16(x, k8081), 7);

__attribute__((target("avx2"))) __m256i Blend16AVX2(__m256i s16, __m256i d16, __m256i va, __m256i vi) {
    const __m256i k127 = _mm256_set1_epi16(127), k8081 = _mm256_set1_epi16(short(0x8081));
    TONEFADE_BLEND_LANES(__m256i, _mm256)
    return r;
}

__attribute__((target("avx2"))) void BlendRunAVX2(const UInt8* s, UInt8* d, std::size_t n, int a) {
    const __m256i va = _mm256_set1_epi16(short(a)), vi = _mm256_set1_epi16(short(255 - a));
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        const __m256i lo = Blend16AVX2(_mm256_unpacklo_epi8(sv, zero), _mm256_unpacklo_epi8(dv, zero), va, vi);
        const __m256i hi = Blend16AVX2(_mm256_unpackhi_epi8(sv, zero), _mm256_unpackhi_epi8(dv, zero), va, vi);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), _mm256_packus_epi16(lo, hi));
    }
    BlendRunPortable(s + i, d + i, n - i, a);
}

__attribute__((target("avx512f,avx512bw"))) __m512i Blend16AVX512(__m512i s16, __m512i d16, __m512i va,
                                                                   __m512i vi) {
    const __m512i k127 = _mm512_set1_epi16(127), k8081 = _mm512_set1_epi16(short(0x8081));
    TONEFADE_BLEND_LANES(__m512i, _mm512)
    return r;
}

__attribute__((target("avx512f,avx512bw"))) void BlendRunAVX512(const UInt8* s, UInt8* d, std::size_t n, int a) {
    const __m512i va = _mm512_set1_epi16(short(a)), vi = _mm512_set1_epi16(short(255 - a));
    const __m512i zero = _mm512_setzero_si512();
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m512i sv = _mm512_loadu_si512(s + i), dv = _mm512_loadu_si512(d + i);
        const __m512i lo = Blend16AVX512(_mm512_unpacklo_epi8(sv, zero), _mm512_unpacklo_epi8(dv, zero), va, vi);
        const __m512i hi = Blend16AVX512(_mm512_unpackhi_epi8(sv, zero), _mm512_unpackhi_epi8(dv, zero), va, vi);
        _mm512_storeu_si512(d + i, _mm512_packus_epi16(lo, hi));
    }
    BlendRunPortable(s + i, d + i, n - i, a);
}

#undef TONEFADE_BLEND_LANES

using BlendRunFn = void (*)(const UInt8*, UInt8*, std::size_t, int);

BlendRunFn WidestBlendRun(BlendISA isa) {
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    const bool avx2 = __builtin_cpu_supports("avx2");
    switch (isa) {
    case BlendISA::kPortable: return &BlendRunPortable;
    case BlendISA::kAVX2: return avx2 ? &BlendRunAVX2 : nullptr;
    case BlendISA::kAVX512: return avx512 ? &BlendRunAVX512 : nullptr;
    case BlendISA::kAuto: break;
    }
    return avx512 ? &BlendRunAVX512 : avx2 ? &BlendRunAVX2 : &BlendRunPortable;
}

std::atomic<BlendRunFn>& ChosenBlendRun() {
    static std::atomic<BlendRunFn> chosen{WidestBlendRun(BlendISA::kAuto)};
    return chosen;
}

// A run whose destination starts inside its source, after the source's start, reads
// bytes the run itself has blended already; only the byte-by-byte loop does that alike.
void BlendRun(const UInt8* s, UInt8* d, std::size_t n, int a) {
    if (d > s && d < s + n) return BlendRunPortable(s, d, n, a);
    ChosenBlendRun().load(std::memory_order_relaxed)(s, d, n, a);
}

// Source and destination rectangles of one size: whole rows, no scaling.
void BlendUnscaled(const PixMap& src, const PixMap& dst, const Rect& srcRect, const Rect& dstRect, const Rect& area,
                   int a) {
    const int dx = srcRect.left - dstRect.left, dy = srcRect.top - dstRect.top;
    const int left = std::max<int>(area.left, src.bounds.left - dx);
    const int right = std::min<int>(area.right, src.bounds.right - dx);
    if (left >= right) return;
    for (int y = area.top; y < area.bottom; ++y) {
        if (y + dy < src.bounds.top || y + dy >= src.bounds.bottom) continue;
        BlendRun(PixelAddress(src, left + dx, y + dy), PixelAddress(dst, left, y), std::size_t(right - left) * 4, a);
    }
}

}  // namespace

bool SetBlendISAForTesting(BlendISA isa) {
    const BlendRunFn run = WidestBlendRun(isa);
    if (run == nullptr) return false;
    ChosenBlendRun().store(run);
    return true;
}

bool BlendPixMaps(const PixMap& src, const PixMap& dst, const Rect& srcRect, const Rect& dstRect, SInt16 opacity) {
    if (src.baseAddr == nullptr || dst.baseAddr == nullptr || src.pixelSize != 32 || dst.pixelSize != 32)
        return false;
    int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
    int dw = dstRect.right - dstRect.left, dh = dstRect.bottom - dstRect.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return true;
    const int a = std::clamp<int>(opacity, 0, 255);
    Rect area;
    if (!SectRect(&dstRect, &dst.bounds, &area)) return true;
    if (sw == dw && sh == dh) {
        BlendUnscaled(src, dst, srcRect, dstRect, area, a);
        return true;
    }
    for (int y = area.top; y < area.bottom; ++y) {
        int sy = srcRect.top + int(SInt64(y - dstRect.top) * sh / dh);
        if (sy < src.bounds.top || sy >= src.bounds.bottom) continue;
        UInt8* d = PixelAddress(dst, area.left, y);
        for (int x = area.left; x < area.right; ++x, d += 4) {
            int sx = srcRect.left + int(SInt64(x - dstRect.left) * sw / dw);
            if (sx < src.bounds.left || sx >= src.bounds.right) continue;
            const UInt8* s = PixelAddress(src, sx, sy);
            BlendRunPortable(s, d, 4, a);
        }
    }
    return true;
}

}  // namespace toolbox
