// Tonefade: the kernel. Inside activeRect every pixel's colour moves toward its own grey
// value by slider1 percent; outside it, pixels are copied (copyRest) or left alone.
#pragma once

#include "Carbon.h"

void TonefadeEffect(GWorldPtr source, GWorldPtr dest, Rect activeRect, Boolean copyRest, SInt16 slider1);
