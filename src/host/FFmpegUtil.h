// Small helpers around FFmpeg's C libraries: owning pointers that free with the right
// call, error texts, and conversions between decoded frames and the host's 32-bit worlds.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "quickdraw/PixelMemory.h"
#include "quickdraw/QuickDraw.h"

namespace host::av {

struct FormatInputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecContextFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFreer {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};

using InputPtr = std::unique_ptr<AVFormatContext, FormatInputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecContextFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFreer>;

// "FFmpeg 6.1.1: libavformat 60.16.100, ..." — the libraries loaded at run time, one line each
// for the release and the libraries.
std::string LibraryVersions();

// Keeps FFmpeg's own log lines off standard error: the host reports problems itself,
// in one line each.
void QuietLogs();

// FFmpeg's text for an AVERROR code, first letter in lower case to fit after a colon.
std::string ErrorText(int averror);

// Opens a decoder for the stream's parameters; null with a reason when there is none.
CodecPtr OpenDecoder(const AVCodecParameters* par, int threads, std::string* error);

// The world's pixels: one plane of 32-bit A,R,G,B rows at the world's own row stride.
struct WorldPlane {
    uint8_t* data[4] = {};
    int linesize[4] = {};
    int width = 0;
    int height = 0;
};
WorldPlane PlaneOf(GWorldPtr world);

// B,G,R,A, R,G,B,A and A,R,G,B: 32-bit pixels that reach a world by a reordering of
// their bytes alone.
bool IsPacked32(AVPixelFormat format);
// Rows first..first+rows-1 of the world from such rows at `src`, `stride` bytes apart.
void PackedRowsToWorld(AVPixelFormat format, const uint8_t* src, std::ptrdiff_t stride, int rows, int first,
                       const WorldPlane& plane);

// Conversions between FFmpeg's frames and the host's worlds. libswscale's SIMD paths
// work on whole blocks of pixels and write (and read) past the end of a row that is not
// a multiple of their block: 48 bytes past a 32-bit row of 16-byte stride, the worlds'
// own. So swscale never writes into a world: it converts into a buffer laid out as FFmpeg
// lays out its own frames (rows a multiple of 64 bytes, spare bytes after the last), a
// band of rows at a time where that gives the same bytes, and the world is filled with
// exact row copies. It reads a world in place, but for the last rows, which it reads
// from such a buffer. Keeps the conversion context and the buffer between calls.
class Converter {
public:
    // Converts (and scales when the sizes differ) a decoded frame into the world.
    bool FrameToWorld(const AVFrame* frame, GWorldPtr world, std::string* error);
    // Converts the world into `frame` (allocated, of its format and size), BT.709 YUV in
    // limited range unless `fullRange`.
    bool WorldToFrame(GWorldPtr world, AVFrame* frame, bool fullRange, std::string* error);

private:
    bool Reserve(int width, int height);
    SwsPtr sws_;
    toolbox::PixelStorage pixels_{nullptr, nullptr};
    uint8_t* data_[4] = {};
    int linesize_[4] = {};
    int width_ = 0, height_ = 0;
};

}  // namespace host::av
