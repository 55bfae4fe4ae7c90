// DataHandling: the settings record's defaults. frameEndColor is deliberately kept.
#include "effect/DataHandling.h"

#include "effect/CommonProcs.h"

void ResetConfig(pluginDataPtr theConfig) {
    InitRelRect(&theConfig->startRel);
    InitRelRect(&theConfig->endRel);
    for (RGBColor& c : theConfig->colors) c = SetRGBColor(0, 0, 0);
    for (SInt16& s : theConfig->sliders) s = 0;
    theConfig->frameStartColor = SetRGBColor(-1, 0, 0);
    theConfig->mediaType = kMediaNTSC;
}

relRect GetCurrentRel() { return gConfigWorkSpace.theConfig->startRel; }

void PutCurrentRel(relRect theRel) { gConfigWorkSpace.theConfig->startRel = theRel; }
