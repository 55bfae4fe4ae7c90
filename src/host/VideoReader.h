// Clips from files: any video that FFmpeg reads, or an image sequence given as a pattern
// (frames/%04d.png). Frames are decoded straight into the host's 32-bit worlds.
#pragma once

#include <memory>
#include <string>

#include "FrameSource.h"

namespace host {

struct ReaderOptions {
    int threads = 0;             // decoder threads; 0 lets FFmpeg choose
    FrameRateRatio sequenceRate{};  // frames per second of an image sequence
    int sequenceStart = -1;       // the first file number of a sequence; below 0: the first of 0 to 4
    // Raw frames with no header: their pixel format ("rgb24") and size; the rate is
    // sequenceRate. Empty for a file that says what it holds.
    std::string rawPixelFormat{};
    int rawWidth = 0, rawHeight = 0;
};

// Null with one line "INPUT: reason" when the input is missing, unreadable, not video,
// a pattern that matches nothing, or larger than the plug-in can address.
std::unique_ptr<FrameSource> OpenClip(const std::string& path, const ReaderOptions& options, std::string* error);

}  // namespace host
