// The render pass: the per-clip data block, and the steps that turn one host frame into
// the processed frame in the host's target world, faded in and out at the clip's ends.
#pragma once

#include "effect/PluginDefines.h"

struct EffectData {
    SInt32 frameCount;         // left as allocated; the clip length is the parameter block's
    SInt32 effectSourceCount;
    Float32 sliderValues[3];   // the host's sliders, carried to DoEffect but unused
    SInt32 fadeInFrames;
    SInt32 fadeOutFrames;
    GWorldPtr effectGWorld;    // exists only inside ApplyEffect
    pluginDataPtr configData;  // the pass's own copy of the master record
};
typedef EffectData* EffectDataPtr;

HYPluginResult ApplyEffect(GWorldPtr sourceFrame, HYPluginParams* params);
void ApplyLineArtEffect(GWorldPtr sourceFrame, GWorldPtr targetFrame, HYPluginParams* params);

// Fade lengths after clamping to the clip: when both are set (non-zero, negative ones
// too) each is limited to half the clip, otherwise the one set is limited to the clip;
// a length still negative after that means no fade and becomes 0.
void ClampFades(SInt32 frameCount, SInt32* fadeIn, SInt32* fadeOut);
// The opacity at which the unprocessed frame covers the processed one, or -1 when the
// frame lies in neither fade. Always within 0..255.
SInt16 FadeOpacity(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeIn, SInt32 fadeOut);
