// The bundle's exported entry point. The host finds it by its C name `main`.
#include "glue/PlugInMain.h"

extern "C" __attribute__((visibility("default"))) int TonefadeBundleMain(SInt16 which, HYPluginParams* params)
    __asm__("main");

int TonefadeBundleMain(SInt16 which, HYPluginParams* params) { return PlugInMain(which, params); }
