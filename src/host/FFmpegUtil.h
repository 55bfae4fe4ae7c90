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

// Keeps FFmpeg's own log lines off standard error: the host reports problems itself,
// in one line each.
void QuietLogs();

// FFmpeg's text for an AVERROR code, first letter in lower case to fit after a colon.
std::string ErrorText(int averror);

// Opens a decoder for the stream's parameters; null with a reason when there is none.
CodecPtr OpenDecoder(const AVCodecParameters* par, int threads, std::string* error);

// The world's pixels as the destination (or source) of a conversion: one plane of
// 32-bit A,R,G,B rows at the world's own row stride, so nothing is copied twice.
struct WorldPlane {
    uint8_t* data[4] = {};
    int linesize[4] = {};
    int width = 0;
    int height = 0;
};
WorldPlane PlaneOf(GWorldPtr world);

// Converts (and scales when the sizes differ) a decoded frame into the world.
// `cache` keeps the conversion context between calls.
bool FrameToWorld(const AVFrame* frame, GWorldPtr world, SwsPtr* cache, std::string* error);

}  // namespace host::av
