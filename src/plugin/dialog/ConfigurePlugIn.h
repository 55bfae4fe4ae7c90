// ConfigurePlugIn: the bridge from the custom button into the dialog, a plain C-callable
// routine for the host glue.
#pragma once

#include "effect/PluginDefines.h"

extern "C" {
void ConfigurePlugIn(pluginDataPtr theData, GWorldPtr theGW, HYPluginParams* params, SInt32 firstFrameIndex,
                     SInt32 numberOfFrames);
}
