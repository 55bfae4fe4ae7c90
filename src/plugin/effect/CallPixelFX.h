// CallPixelFX: the one road from a settings record to the kernel, for the dialog's
// preview and for every rendered frame.
#pragma once

#include "effect/PluginDefines.h"

Rect CalcTweenRect(pluginDataPtr theConfig, Rect theFrame, SInt32 currentFrameIndex, SInt32 maxFrames);
void CallPixelEffect(GWorldPtr source, GWorldPtr dest);
void DoPixelEffect(GWorldPtr source, GWorldPtr dest, pluginDataPtr theConfig, SInt32 currentFrameIndex,
                   SInt32 maxFrames);
void PixelDrive(GWorldPtr source, GWorldPtr dest, Rect theRect, pluginDataPtr theConfig, SInt32 currentFrame,
                SInt32 numFrames);
