// `tonefade-host configure`: the host side of a click on the plug-in's own button. The
// current frame is drawn with the effect first (one kPlugDoFrame), as an editor does when
// it shows that frame, so the plug-in knows the clip; then kPlugCustomButtonClick runs the
// plug-in's dialog inside the call, driven by an event script.
#pragma once

#include <string>

#include "HostSession.h"
#include "Options.h"

namespace host {

extern const Command kConfigureCommand;

// One press of the plug-in's button on a session.
struct ButtonPress {
    int frame = 0;             // the current position in the clip
    std::string scriptPath;    // the event script; empty: scriptText
    std::string scriptText;    // a script given as text (relative snapshots go to baseDir)
    std::string baseDir = ".";
    std::string snapshotPath;  // the front window when the script ends; empty: none
};

// Renders `frame` in a pass of one kPlugDoFrame, then sends kPlugCustomButtonClick with
// the script as the only input. Throws JobFailure when a call or the script fails.
void PressPluginButton(HYPluginEntryProcPtr entry, HostSession& session, const ButtonPress& press);

}  // namespace host
