// Tonefade: the kernel. Locks both worlds, walks the frame row by row and hands the pixels
// inside the rectangle to the row kernels chosen at start-up (TonefadeDispatch), the
// pixels outside to their copy. Also the portable row kernels, which every processor runs.
#include "effect/Tonefade.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <unistd.h>

#include "effect/PixelLib.h"
#include "effect/TonefadePlan.h"
#include "effect/TonefadeRows.h"

namespace {

// --- Portable row kernels ------------------------------------------------------------------
// Each result looked up in the plan's table of the double expression over all (channel, grey)
// pairs; with exactOnly every pixel computed with doubles instead.

void RowTable(const UInt8* src, UInt8* dst, int count, const UInt8* table) {
    for (int i = 0; i < count; ++i, src += 4, dst += 4) {
        pixRec thePixel;
        std::memcpy(&thePixel, src, sizeof thePixel);
        const UInt8* row = table + 256 * ((thePixel.red + thePixel.green + thePixel.blue) / 3);
        thePixel = {thePixel.alpha, row[thePixel.red], row[thePixel.green], row[thePixel.blue]};
        std::memcpy(dst, &thePixel, sizeof thePixel);
    }
}

void RowExact(const UInt8* src, UInt8* dst, int count, double percent) {
    for (int i = 0; i < count; ++i, src += 4, dst += 4) {
        pixRec thePixel;
        std::memcpy(&thePixel, src, sizeof thePixel);
        const int mixer = (thePixel.red + thePixel.green + thePixel.blue) / 3;
        thePixel = {thePixel.alpha, TonefadeExactChannel(thePixel.red, mixer, percent),
                    TonefadeExactChannel(thePixel.green, mixer, percent),
                    TonefadeExactChannel(thePixel.blue, mixer, percent)};
        std::memcpy(dst, &thePixel, sizeof thePixel);
    }
}

void EffectRowScalar(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool) {
    if (plan.table.empty())
        RowExact(src, dst, count, plan.percent);
    else
        RowTable(src, dst, count, plan.table.data());
}

void CopyRowScalar(const UInt8* src, UInt8* dst, int count, bool) {
    if (count > 0) std::memcpy(dst, src, std::size_t(count) * 4);
}

void EndStreamsScalar() {}  // its stores never bypass the cache

// --- Walking the frame ---------------------------------------------------------------------

// What direct access hands back for one world.
struct PixelAccess {
    Ptr base;
    SInt32 rowBytes;
    Rect frame;
};

PixelAccess LockForAccess(GWorldPtr world) {
    PixelAccess access;
    GWorldFlags saved;  // the caller's SavePixelsState holds the state to give back
    GetPixInfoFromGWorld(world, &access.base, &access.rowBytes, &access.frame, &saved);
    return access;
}

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

// Both worlds must have the same bounds and hold 32-bit pixels: walking a smaller or
// shallower buffer with this frame's geometry would run past its end.
bool CanWalk(GWorldPtr source, GWorldPtr dest, const PixelAccess& src, const PixelAccess& dst) {
    return src.frame.right == dst.frame.right && src.frame.bottom == dst.frame.bottom &&
           src.frame.left == dst.frame.left && src.frame.top == dst.frame.top &&
           GetPixDepth(GetGWorldPixMap(source)) == 32 && GetPixDepth(GetGWorldPixMap(dest)) == 32 &&
           src.base != nullptr && dst.base != nullptr;
}

// A target larger than a share of the last-level cache would only push the source out of
// it: its stores then bypass the cache, when the row kernels keep up with the memory (copies,
// light forms). Where the arithmetic is the bound, and stores of both kinds mixed in one
// frame, streaming was measured slower. The share stays within 4..32 MiB whatever the
// processor reports (virtual machines report the whole host's cache).
bool StreamsTarget(std::size_t sourceAndTargetBytes, const TonefadePlan* plan) {
    if (plan != nullptr && !TonefadePlanIsLight(*plan)) return false;
    static const std::size_t kThreshold = [] {
        long bytes = -1;
#ifdef _SC_LEVEL3_CACHE_SIZE
        bytes = sysconf(_SC_LEVEL3_CACHE_SIZE);
#endif
        return std::clamp<std::size_t>(bytes > 0 ? std::size_t(bytes) : 0, std::size_t(4) << 20, std::size_t(32) << 20);
    }();
    return sourceAndTargetBytes > kThreshold;
}

// One frame's walk: the row kernels, the plan (nullptr when no pixel is inside) and where
// the rows start.
struct FrameWalk {
    const TonefadeRowKernels& rows;
    decltype(TonefadeRowKernels::effect) effect;
    const TonefadePlan* plan;
    Span inside;
    int width;
    bool copy, stream;

    // Left to right, so that the stores of a row go out in address order.
    void Row(const UInt8* s, UInt8* d, int row) const {
        if (plan == nullptr || row < inside.rowLo || row >= inside.rowHi) {
            if (copy) rows.copy(s, d, width, stream);
            return;
        }
        if (copy) rows.copy(s, d, inside.colLo, stream);
        effect(s + 4 * inside.colLo, d + 4 * inside.colLo, inside.colHi - inside.colLo, *plan, stream);
        if (copy) rows.copy(s + 4 * inside.colHi, d + 4 * inside.colHi, width - inside.colHi, stream);
    }
};

void WalkFrame(const PixelAccess& src, const PixelAccess& dst, const Rect& activeRect, bool copyRest,
               SInt16 slider1) {
    // Pixel (0, 0) is the frame's top-left pixel, wherever its bounds put it.
    const int width = std::max(0, src.frame.right - src.frame.left);
    const int height = std::max(0, src.frame.bottom - src.frame.top);
    const Span inside = CoveredSpan(activeRect, width, height);
    const TonefadeRowKernels& rows = ActiveTonefadeRows();
    TonefadePlan* plan = inside.Empty() ? nullptr : &TonefadePlanFor(slider1);
    if (plan != nullptr && rows.usesTable && !plan->exactOnly) EnsureTonefadeTable(*plan);
    // In place, the pixels outside are already where they belong.
    const bool copy = copyRest && !(src.base == dst.base && src.rowBytes == dst.rowBytes);
    const bool byTables = plan != nullptr && (plan->lookup || plan->blendLimits) && !plan->exactOnly && rows.tableEffect != nullptr;
    const FrameWalk walk{rows, byTables ? rows.tableEffect : rows.effect, plan, inside, width, copy,
                         StreamsTarget(std::size_t(width) * height * 8, plan)};

    const UInt8* s = reinterpret_cast<const UInt8*>(src.base);
    UInt8* d = reinterpret_cast<UInt8*>(dst.base);
    for (int row = 0; row < height; ++row) {
        if (row > 0) {  // never a row address past the last row
            s += src.rowBytes;
            d += dst.rowBytes;
        }
        walk.Row(s, d, row);
    }
    if (walk.stream) rows.endStreams();
}

}  // namespace

const TonefadeRowKernels kTonefadeScalarRows = {TonefadeISA::kScalar, EffectRowScalar, CopyRowScalar, EndStreamsScalar,
                                                  true, nullptr};

void TonefadeEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean copyRest, SInt16 slider1) {
    if (dest == nullptr) dest = source;
    if (source == nullptr) return;

    // The guards give the states back in reverse order, the target's first: when the target is
    // the source, the source's state is the one from before any lock.
    toolbox::SavePixelsState sourceState(GetGWorldPixMap(source));
    const PixelAccess src = LockForAccess(source);
    toolbox::SavePixelsState targetState(GetGWorldPixMap(dest));
    const PixelAccess dst = LockForAccess(dest);
    if (CanWalk(source, dest, src, dst)) WalkFrame(src, dst, activeRect, copyRest != 0, slider1);
}
