// TonefadeAVX512: the row kernels for AVX-512 (F and BW), 16 pixels per vector, with mask
// registers for partial vectors, conditional adds and the correction lookup. This file
// alone is built with -mavx512f -mavx512bw; the dispatch runs it only where the processor
// (and its operating system) has both.
#if defined(__x86_64__)

#include <immintrin.h>

#include "effect/TonefadePlan.h"
#include "effect/TonefadeRows.h"

#if !defined(__AVX512F__) || !defined(__AVX512BW__)
#error "TonefadeAVX512.cpp must be built with -mavx512f -mavx512bw"
#endif

#include "effect/TonefadeAVX512Traits.h"
#include "effect/TonefadeVector.h"

const TonefadeRowKernels kTonefadeAVX512Rows = {TonefadeISA::kAVX512, EffectRow<AVX512>, CopyRow<AVX512>, EndStreams<AVX512>,
                                               false, nullptr};

#endif  // __x86_64__
