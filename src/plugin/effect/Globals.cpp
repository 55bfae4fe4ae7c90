// Globals: the single instances shared by the glue, the effect side and the dialog.
#include "effect/PluginDefines.h"

pluginDataPtr gTheConfig = nullptr;
pluginWorkSpace gConfigWorkSpace = {};

Boolean gEffectInited = false;
pluginDataPtr gEffectData = nullptr;
SInt32 gMostRecentStartFrame = 0;
SInt32 gMostRecentFrameCount = 0;
