// Loads a plug-in bundle the way the video editor does: Info.plist, the executable in
// Contents/MacOS, the exported `main`; registers the bundle and its resource file. As in
// the editor, a loaded plug-in stays loaded until the process ends.
#pragma once

#include <string>

#include "HYPluginAPI.h"

namespace host {

struct LoadedPlugin {
    HYPluginEntryProcPtr entry = nullptr;
    std::string bundlePath;
};

// The bundle built beside this program, <dir of the executable>/../Tonefade.bundle, or
// for an installed program the one installed with it (<prefix>/lib/tonefade/Tonefade.bundle).
std::string DefaultBundlePath();
// False with a one-line reason when the bundle is missing or broken.
bool LoadPluginBundle(const std::string& bundlePath, LoadedPlugin* plugin, std::string* error);

}  // namespace host
