// Where a render's frames go, chosen by the output's name: a video file (.mp4 with
// H.264 when FFmpeg has an encoder for it, else MPEG-4; .mkv, .mov, and whatever else
// FFmpeg writes) with the mixed audio, an image sequence, or nothing at all ("/dev/null").
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OutputFiles.h"

namespace host {

struct OutputSpec {
    int width = 0;
    int height = 0;
    double frameRate = 30.0;
    int sampleRate = 0;  // 0: no audio track
    int channels = 0;
    int threads = 0;     // encoder threads; 0 lets FFmpeg choose
    std::vector<int32_t> displayMatrix{};  // the input's orientation (9 values), or empty
};

// False with "OUTPUT: reason" when the name says nothing the host can write a render to:
// an unknown type, a pattern that is not one, a single image file, a type that writes
// several files (playlists and segments), holds no video or only 256 colours.
bool KnownOutputType(const std::string& path, std::string* error);

// Null with "OUTPUT: reason" when the output cannot be created.
std::unique_ptr<OutputSink> OpenOutput(const std::string& path, const OutputSpec& format, std::string* error);

}  // namespace host
