// Where a render's frames go, chosen by the output's name: a video file (.mp4 with
// H.264 when FFmpeg has an encoder for it, else MPEG-4; .mkv, .mov, and whatever else
// FFmpeg writes) with the mixed audio, an image sequence, or nothing at all ("/dev/null").
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FrameSource.h"
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
    FrameRateRatio rate{};                 // frameRate as the exact fraction
    // The encoder's choices; empty or below 0 for the type's own.
    std::string codec{};        // an encoder ("libx264") or a codec ("h264")
    std::string pixelFormat{};  // "yuv420p"
    int crf = -1;               // constant quality
    int64_t bitRate = 0;        // bits per second
    std::string streamFormat{};  // the container of a stream to standard output ("-"): "nut"
    int startNumber = 0;        // the file number of frame 0 in an image sequence
};

// True for "-": a stream on standard input or output.
inline bool IsStandardStream(const std::string& path) { return path == "-"; }

// False with "OUTPUT: reason" when the name says nothing the host can write a render to:
// an unknown type, a pattern that is not one, a single image file, a type that writes
// several files (playlists and segments), holds no video or only 256 colours.
bool KnownOutputType(const std::string& path, std::string* error);

// The container FFmpeg knows by `name` for a stream to standard output ("y4m" is
// "yuv4mpegpipe"); empty with the reason when it holds no video or writes several files.
std::string StreamFormatName(const std::string& name, std::string* why);

// Null with "OUTPUT: reason" when the output cannot be created.
std::unique_ptr<OutputSink> OpenOutput(const std::string& path, const OutputSpec& format, std::string* error);

}  // namespace host
