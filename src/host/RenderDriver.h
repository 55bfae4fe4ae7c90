// Drives the plug-in through its entry point the way the video editor does: a render
// pass over a clip (or a segment of it), the description, and the placeholder frame.
#pragma once

#include <functional>
#include <string>

#include "HostSession.h"

namespace host {

struct PassOptions {
    int start = 0;       // first frame to render
    int count = -1;      // frames to render; -1 means to the end of the clip
    int fadeIn = 0;      // fade lengths in frames, as the user set them in the host
    int fadeOut = 0;
    float sliders[3] = {0.5f, 0.5f, 0.5f};
    bool proxy = false;
    // Frames read ahead and handed to the sink behind the plug-in, each on a thread of
    // its own; the plug-in is called on this thread either way, with the same results.
    bool threads = false;
};

// Receives each processed frame (the host's target world) with its mixed audio.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool Consume(int frameIndex, GWorldPtr frame, const std::vector<int16_t>& audio,
                         std::string* error) = 0;
    // False for a sink that does too little to be worth a thread of its own.
    virtual bool WorthAThread() const { return true; }
};

struct PassResult {
    HYPluginResult result = kPluginOK;
    const char* selector = "";  // the call that failed, when one did
    int failedFrame = -1;
    int framesRendered = 0;
    std::string sinkError;      // set when the sink refused a frame
    bool ok() const { return result == kPluginOK && sinkError.empty(); }
};

using Progress = std::function<void(int done, int total)>;

// kPlugInitialize, one kPlugDoFrame per frame, kPlugTerminate. Terminate is sent even
// when a frame fails, so the plug-in can free its data block.
PassResult RunRenderPass(HYPluginEntryProcPtr entry, HostSession& session, const PassOptions& options,
                         FrameSink& sink, const Progress& progress = {});

// Calls the entry point with one selector; the block keeps what the plug-in wrote.
HYPluginResult CallPlugin(HYPluginEntryProcPtr entry, HostSession& session, HYPluginSelector selector);

// The text name of a result code, for messages.
const char* ResultName(int result);

}  // namespace host
