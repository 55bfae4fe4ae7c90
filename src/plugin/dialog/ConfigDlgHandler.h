// ConfigDlgHandler: the configuration dialog. Opens the window of the media format from
// the plug-in's nib, wires its controls to the settings record, runs the commands of its
// buttons and pop-up, and on closing keeps and saves the edits (OK) or puts the record
// back exactly as it was (Cancel).
#pragma once

#include "effect/PluginDefines.h"

// The nib window of a media format: "configNTSC", "configPAL", "configHD"; NTSC for
// any value that is not a format.
const char* ConfigWindowName(SInt16 mediaType);

// Runs the dialog on theConfig until OK or Cancel. The workspace must be filled and the
// clip and colour box classes registered (ConfigurePlugIn does both).
void DoConfig(pluginDataPtr theConfig);
void SetupDialog(WindowRef theWindow, pluginDataPtr theConfig);
void SetupColors(WindowRef theWindow, pluginDataPtr theConfig);
// Pushes the record's colours and slider values into the open window, then re-renders.
void Config2Dlg(pluginDataPtr theConfig);
OSStatus TheDialogHandler(EventHandlerCallRef nextHandler, EventRef theEvent, void* userData);
