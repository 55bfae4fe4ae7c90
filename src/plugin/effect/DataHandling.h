// DataHandling: the settings record's defaults.
#pragma once

#include "effect/PluginDefines.h"

void ResetConfig(pluginDataPtr theConfig);
