// The main job on the built-in clip: render it through the plug-in with fades and
// settings that show the effect, and leave the frames and a contact sheet.
#pragma once

#include <string>

#include "HostJob.h"
#include "Options.h"

namespace host {

extern const Command kDemoCommand;

struct DemoOptions {
    std::string outDir = "demo-out";
    std::string bundlePath;  // empty: the bundle built beside the program
    std::string prefsDir;    // empty: a private folder inside outDir, seeded with the demo settings
    int frames = 90;
    int fadeIn = 20;
    int fadeOut = 20;
    bool quiet = false;
    Overwrite overwrite = Overwrite::Ask;  // the files of an earlier demo in outDir
};

// Returns the process exit status: 0 done, 1 failed (the reason on standard error).
int RunDemo(const DemoOptions& options);

}  // namespace host
