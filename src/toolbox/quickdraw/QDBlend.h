// The video editor's blend of one 32-bit pixel map over another at an opacity, kept with
// QuickDraw so that every program that blends frames (the host's Blit, the frei0r
// adapter) rounds the same way.
#pragma once

#include "quickdraw/QuickDraw.h"

namespace toolbox {

// Source over destination at opacity/255 (clamped to 0..255), every byte alike, alpha
// too: (s·a + d·(255 − a) + 127) / 255. The source rectangle is scaled onto the
// destination rectangle (nearest pixel) and clipped to both maps' bounds. False, and
// nothing drawn, when either map has no pixels or is not 32 bits deep.
bool BlendPixMaps(const PixMap& src, const PixMap& dst, const Rect& srcRect, const Rect& dstRect, SInt16 opacity);

// Which vector instructions the blend uses: the widest the processor has (kAuto), or one
// named set for tests and benchmarks. False, nothing changed, when the processor lacks it.
enum class BlendISA { kAuto, kPortable, kAVX2, kAVX512 };
bool SetBlendISAForTesting(BlendISA isa);

}  // namespace toolbox
