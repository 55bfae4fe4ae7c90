// TonefadeRows: the row kernels of one instruction set, as the frame walk calls them. Each
// instruction set lives in its own file built for it alone; the walk reaches them only
// through the set that TonefadeDispatch chose when the plug-in was loaded.
#pragma once

#include "MacTypes.h"
#include "effect/TonefadeKernels.h"

struct TonefadePlan;

struct TonefadeRowKernels {
    TonefadeISA isa;
    // The effect on count pixels of a row. stream: the target is too large to stay in the
    // cache, so full vectors may bypass it.
    void (*effect)(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream);
    // count pixels copied unchanged.
    void (*copy)(const UInt8* src, UInt8* dst, int count, bool stream);
    // After the last row of a frame whose stores bypassed the cache: orders them before any
    // later store, as ordinary stores are.
    void (*endStreams)();
    // Whether effect reads plan.table (EnsureTonefadeTable).
    bool usesTable;
    // The effect for plans whose byte tables serve (plan.lookup, plan.blendLimits), where the
    // instruction set looks bytes up; null where effect serves every plan.
    void (*tableEffect)(const UInt8* src, UInt8* dst, int count, const TonefadePlan& plan, bool stream);
};

extern const TonefadeRowKernels kTonefadeScalarRows;
#if defined(__x86_64__)
extern const TonefadeRowKernels kTonefadeAVX2Rows;
extern const TonefadeRowKernels kTonefadeAVX512Rows;
// The effect for plans with byte tables, with VBMI: the dispatch joins it to the AVX-512 kernels.
extern void (*const kTonefadeAVX512VBMITableEffect)(const UInt8* src, UInt8* dst, int count,
                                                    const TonefadePlan& plan, bool stream);
#endif

// The kernels TonefadeEffect runs now: the widest the processor has, or those a test forced.
const TonefadeRowKernels& ActiveTonefadeRows();
