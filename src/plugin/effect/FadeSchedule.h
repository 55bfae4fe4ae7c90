// FadeSchedule: when a frame lies in the clip's fade-in or fade-out, and the opacity at
// which the unprocessed frame then covers the processed one. The render pass counts in
// frames; other hosts give times, so the schedule itself takes any unit.
#pragma once

#include "MacTypes.h"

// Fade lengths after clamping to the clip: when both are set (non-zero, negative ones
// too) each is limited to half the clip, otherwise the one set is limited to the clip;
// a length still negative after that means no fade and becomes 0.
void ClampFades(SInt32 frameCount, SInt32* fadeIn, SInt32* fadeOut);
// The same in a unit without whole steps (seconds): there half the clip is exact.
// Lengths that are not numbers count as 0.
void ClampFadeTimes(double length, double* fadeIn, double* fadeOut);

// The opacity at which the unprocessed frame covers the processed one, or -1 when the
// frame lies in neither fade. Always within 0..255.
SInt16 FadeOpacity(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeIn, SInt32 fadeOut);
// The same schedule at a position in any unit, the clip's length and fades in that unit.
// Frame numbers give exactly FadeOpacity's answers; a position that is not a number lies
// in no fade.
SInt16 FadeOpacityAt(double position, double length, double fadeIn, double fadeOut);
