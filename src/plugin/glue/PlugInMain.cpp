// The entry point: checks the block, initialises the effect side and the master record
// once, whatever the first selector, and hands the call to its handler.
#include "glue/PlugInMain.h"

#include "effect/EffectBridge.h"
#include "effect/PluginDefines.h"

namespace {

HYPluginResult Dispatch(SInt16 which, HYPluginParams* params) {
    switch (params->selector) {
        case kPlugGetInfo: return EffectGetInfos(which, params);
        case kPlugInitialize: return EffectBegins(which, params);
        case kPlugFilePlaceHolder: return MakeEffectPlaceHolders(which, params);
        case kPlugDoFrame: return EffectDrives(which, params);
        case kPlugTerminate: return EffectEnds(which, params);
        case kPlugCustomButtonClick: return CustomButtons(which, params);
        default: return kPluginOK;
    }
}

}  // namespace

int PlugInMain(SInt16 which, HYPluginParams* params) {
    // A block without its callback table is as unusable as no block at all.
    if (params == nullptr || params->procs == nullptr) return kPluginBadParams;
    if (params->interfaceVersion <= 3) return kPluginAppIsTooOld;
    if (!gEffectInited) {
        InitEffectSide();
        gEffectInited = true;
    }
    if (gEffectData == nullptr) {
        UInt32 size = 0;
        pGetConfigSize(&size);
        gEffectData = reinterpret_cast<pluginDataPtr>(params->procs->NewPtrClear(SInt32(size)));
        InitMyPlugIn(&gEffectData);
    }
    return Dispatch(which, params);
}

void ResetPlugInForTesting(HYDisposePtrProcPtr disposePtr) {
    if (gEffectData != nullptr && disposePtr != nullptr) disposePtr(reinterpret_cast<Ptr>(gEffectData));
    gEffectData = nullptr;
    gEffectInited = false;
    gMostRecentStartFrame = 0;
    gMostRecentFrameCount = 0;
}
