// The render pass: the per-clip data block, and the steps that turn one host frame into
// the processed frame in the host's target world, faded in and out at the clip's ends.
#pragma once

#include "effect/FadeSchedule.h"
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
