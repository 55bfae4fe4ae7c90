// DataHandling: the settings record's defaults.
#pragma once

#include "effect/PluginDefines.h"

void ResetConfig(pluginDataPtr theConfig);

// The rectangle the dialog edits. With one rectangle in use that is always startRel of
// the record the dialog works on (gConfigWorkSpace.theConfig); endRel is never touched.
relRect GetCurrentRel();
void PutCurrentRel(relRect theRel);
