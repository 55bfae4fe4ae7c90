// CustomButtons: the plug-in's own button in the host opens the configuration dialog.
// The dialog itself is not built yet; the button answers without opening anything.
#include "glue/PlugInMain.h"

HYPluginResult CustomButtons(SInt16, HYPluginParams*) { return kPluginOK; }
