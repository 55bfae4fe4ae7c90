// CustomButtons: the plug-in's own button in the host. Fetches the current frame at the
// size of the record's media format and runs the configuration dialog on it inside the
// host's call. A host that delivers no frame gets the dialog on a black frame of that
// size rather than a dialog without a picture. OK whose settings could not be saved is
// shown to the user and answered with a failure, so that the host does not take it for a
// success.
#include "dialog/ConfigurePlugIn.h"
#include "effect/CommonProcs.h"
#include "effect/EffectBridge.h"
#include "effect/PrefsLoader.h"
#include "glue/PlugInMain.h"

namespace {

void FrameSizeFor(SInt16 mediaType, SInt16* width, SInt16* height) {
    *width = mediaType == kMediaHD ? 960 : 720;
    *height = mediaType == kMediaPAL ? 576 : mediaType == kMediaHD ? 540 : 480;
}

}  // namespace

HYPluginResult CustomButtons(SInt16, HYPluginParams* params) {
    toolbox::SaveGWorld saved;
    // Added as the host's 32-bit arithmetic would, wrapping rather than overflowing.
    const SInt32 frameNumber = SInt32(UInt32(params->renderFrame) + UInt32(gMostRecentStartFrame));
    SInt16 width = 0, height = 0;
    FrameSizeFor(GetMediaFormat(gEffectData), &width, &height);
    GWorldPtr theGW = nullptr;
    void* cookie = nullptr;
    SInt16 volume = 0;
    (void)params->procs->GetFrame(params->instance, frameNumber, &theGW, width, height, kDVHighQuality, &volume,
                                  &cookie);
    prefsStatusRec before, after;
    GetPrefsStatus(&before);
    GWorldPtr blackFrame = nullptr;
    if (theGW == nullptr) {
        blackFrame = AllocateGWorld(width, height);
        ClearGW(blackFrame, SetRGBColor(0, 0, 0));
        theGW = blackFrame;
    }
    ConfigurePlugIn(gEffectData, theGW, params, frameNumber, gMostRecentFrameCount);
    (void)params->procs->ReleaseFrame(params->instance, cookie);
    if (blackFrame != nullptr) DisposeGWorld(blackFrame);
    GetPrefsStatus(&after);
    if (after.failedSaves == before.failedSaves) return kPluginOK;
    Notify(after.saveProblem);
    return after.saveError == dskFulErr ? kPluginOutOfDiskSpace : kPluginFailed;
}
