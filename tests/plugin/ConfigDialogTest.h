// The configuration dialog's end-to-end fixture: a fresh plug-in with the built bundle,
// a host session on a 250-frame pattern clip, and a press of the plug-in's button whose
// dialog is driven by an event script. Before every input the script hands out, the
// fixture notes what the dialog shows, so tests can follow a drag step by step.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Carbon.h"
#include "alerts/AlertWindow.h"
#include "support/PluginTestSupport.h"

namespace configtest {

constexpr int kClipFrames = 250;
// The NTSC preview lies at (16, 16) in the window and is as large as the frame.
constexpr Rect kNTSCPreview{16, 16, 496, 736};

// What the dialog showed when it asked for the next input.
struct DialogState {
    std::string front;       // name of the frontmost window ("" when none)
    long refCon = 0;         // of the front window
    std::string aboutTexts;  // 'Plug' 1 and 'Vers' 1, when the About window is in front
    pluginDataRec record{};  // the master record
    int getFrameCalls = 0;   // made by the plug-in so far
    // The dialog window, while one is open:
    SInt32 previewValue = -1, clipValue = -1, popupValue = -1;
    std::string legend1, clipText;
    bool unusedHidden = false;     // sliders 2 to 6 with legends and labels, colour boxes with legends
    int sourceFrame = -1;          // the clip frame held in sourceClip (-1: none of the clip's)
    bool sourceBlack = false;
    Rect sourceBounds{0, 0, 0, 0};
    std::vector<UInt8> windowPixels;
    bool previewRendered = true;   // theFXClip is sourceClip processed with the record (when checked)
    bool windowShowsPreview = true;
};

// Copies the built bundle into `folder`, leaving out the resources whose names are in
// `skip` and passing each nib's text through `editNib`; answers the copy's path.
std::string CopyBundle(const std::string& folder, const std::vector<std::string>& skip,
                       const std::function<std::string(const std::string&)>& editNib);

class ConfigDialogTest : public testsupport::PluginTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // The one-frame pass at `frame`, then the button with `script` as the input.
    void Press(const std::string& script, int frame = 0, const std::function<void()>& beforeButton = {});
    pluginDataRec& Record() { return *gEffectData; }
    const DialogState& Last() const { return steps.back(); }

    std::unique_ptr<host::MemoryClip> clip;
    std::unique_ptr<host::HostSession> session;
    std::vector<DialogState> steps;
    std::vector<toolbox::StandardAlert> alerts;
    bool checkRendering = false;  // compare theFXClip with the reference at every step
    std::function<void(WindowRef front)> onStep;
    std::string scratch;

private:
    long worldsAtStart = 0;
    DialogState Note();
};

}  // namespace configtest
