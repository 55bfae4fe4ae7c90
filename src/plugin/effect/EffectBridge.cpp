// EffectBridge: the settings record's life cycle and DoEffect.
#include "effect/EffectBridge.h"

#include <cstring>

#include "effect/CallPixelFX.h"
#include "effect/CommonProcs.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"

void InitEffectSide(void) {}

void pGetConfigSize(UInt32* theSize) { *theSize = sizeof(pluginDataRec); }

void pNewConfig(Ptr* theData) {
    *theData = nullptr;
    *theData = NewPtrClear(sizeof(pluginDataRec));
    Assert(*theData, "Unable to allocate new data structure in pNewConfig");
}

void pCopyConfig(Ptr source, Ptr dest) {
    if (source == nullptr || dest == nullptr) return;
    if (GetPtrSize(source) != GetPtrSize(dest))
        Terminate("Non-Matching Blocks", "The Size of Source and Dest do not match");
    std::memcpy(dest, source, sizeof(pluginDataRec));
}

void pDestroyConfig(Ptr aConfig) {
    if (aConfig != nullptr) DisposePtr(aConfig);
}

void InitMyPlugIn(pluginDataPtr* theData) {
    Assert(*theData, "Unable to allocate new data structure");
    InitPluginData(*theData);
}

void InitPluginData(pluginDataPtr theConfig) {
    Assert(theConfig, "Nil theConfig on InitPluginData");
    ResetConfig(theConfig);
    // Held from reading to saving back, so that a save another process makes meanwhile
    // waits and is not undone by the record read before it.
    LockPrefs();
    Boolean found = ReadConfig(theConfig);
    (void)SaveConfig(theConfig);
    UnlockPrefs();
    // A file that cannot be used is named once, after the lock is given back: the notice
    // may wait for the user.
    prefsStatusRec status;
    GetPrefsStatus(&status);
    if (!found && status.readProblem[0] > 0) Notify(status.readProblem);
}

SInt16 GetMediaFormat(pluginDataPtr theData) { return theData ? theData->mediaType : SInt16(kMediaNTSC); }

void DoEffect(pluginDataPtr myConfig, HYPluginParams*, GWorldPtr theSource, GWorldPtr theTarget,
              SInt32 currentFrameIndex, SInt32, SInt32, SInt32 totalFrames, double, double, double, SInt16*) {
    Assert(myConfig, "uninited theData in Plugin Effect master proc. need to call init before calling me");
    toolbox::SaveGWorld saved;
    DoPixelEffect(theSource, theTarget, myConfig, currentFrameIndex, totalFrames);
}
