// The plug-in's entry point and its dispatch over the host's selectors.
#pragma once

#include "HYPluginAPI.h"

// What the bundle exports as `main`: checks the block, initialises once, dispatches.
int PlugInMain(SInt16 which, HYPluginParams* params);

// The selector handlers.
HYPluginResult EffectGetInfos(SInt16 which, HYPluginParams* params);
HYPluginResult EffectBegins(SInt16 which, HYPluginParams* params);
HYPluginResult EffectDrives(SInt16 which, HYPluginParams* params);
HYPluginResult EffectEnds(SInt16 which, HYPluginParams* params);
HYPluginResult MakeEffectPlaceHolders(SInt16 which, HYPluginParams* params);
HYPluginResult CustomButtons(SInt16 which, HYPluginParams* params);

// Forgets the loaded state (master record, initialisation) so tests can start afresh.
// The master record is freed with the host's `disposePtr`, when given.
void ResetPlugInForTesting(HYDisposePtrProcPtr disposePtr);
