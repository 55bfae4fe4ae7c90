// IMovieGlue: fetching further frames of the clip for the configuration dialog.
#pragma once

#include "HYPluginAPI.h"

SInt16 GetFrameIntoGW(GWorldPtr theGW, HYPluginParams* params, SInt32 frameIndex, SInt16 disposeAfterUse);
