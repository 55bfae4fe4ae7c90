// What `tonefade-host --version` says: the program's version, the plug-in bundle's (from
// its Info.plist) and the FFmpeg libraries it runs with, so a bug report names all three.
#pragma once

#include <string>

namespace host {

// Several lines; a bundle that cannot be read is named with the reason instead of its version.
std::string VersionText(const std::string& bundlePath);

}  // namespace host
