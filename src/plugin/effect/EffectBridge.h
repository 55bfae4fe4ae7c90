// EffectBridge: the plain C-callable routines through which the host glue reaches the
// effect side: the settings record's life cycle and DoEffect. The configuration entry,
// which runs the dialog, is the dialog's (dialog/ConfigurePlugIn.h).
#pragma once

#include "effect/PluginDefines.h"

extern "C" {
void InitEffectSide(void);
void pGetConfigSize(UInt32* theSize);
void pNewConfig(Ptr* theData);
void pCopyConfig(Ptr source, Ptr dest);
void pDestroyConfig(Ptr aConfig);
void InitMyPlugIn(pluginDataPtr* theData);
SInt16 GetMediaFormat(pluginDataPtr theData);
void DoEffect(pluginDataPtr myConfig, HYPluginParams* params, GWorldPtr theSource, GWorldPtr theTarget,
              SInt32 currentFrameIndex, SInt32 fadeInFrames, SInt32 fadeOutFrames, SInt32 totalFrames,
              double s1, double s2, double s3, SInt16* opacity);
}

// Resets the record and lays the saved configuration over it, saving it straight back.
void InitPluginData(pluginDataPtr theConfig);
