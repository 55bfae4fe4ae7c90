// FFmpeg helpers shared by the readers and writers.
#include "FFmpegUtil.h"

#include <cctype>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace host::av {

void QuietLogs() { av_log_set_level(AV_LOG_QUIET); }

std::string ErrorText(int averror) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(averror, text, sizeof text);
    std::string out = text;
    if (!out.empty() && !(out.size() > 1 && std::isupper(static_cast<unsigned char>(out[1]))))
        out[0] = char(std::tolower(static_cast<unsigned char>(out[0])));
    return out;
}

CodecPtr OpenDecoder(const AVCodecParameters* par, int threads, std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (codec == nullptr) {
        *error = std::string("no decoder for its ") + avcodec_get_name(par->codec_id) + " data";
        return nullptr;
    }
    CodecPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) {
        *error = "out of memory";
        return nullptr;
    }
    int rc = avcodec_parameters_to_context(ctx.get(), par);
    ctx->thread_count = threads;
    if (rc >= 0) rc = avcodec_open2(ctx.get(), codec, nullptr);
    if (rc < 0) {
        *error = "cannot open its " + std::string(codec->name) + " decoder: " + ErrorText(rc);
        return nullptr;
    }
    return ctx;
}

WorldPlane PlaneOf(GWorldPtr world) {
    WorldPlane plane;
    PixMapHandle pm = GetGWorldPixMap(world);
    Rect bounds;
    GetPixBounds(pm, &bounds);
    plane.data[0] = reinterpret_cast<uint8_t*>(GetPixBaseAddr(pm));
    plane.linesize[0] = int(GetPixRowBytes(pm));
    plane.width = bounds.right - bounds.left;
    plane.height = bounds.bottom - bounds.top;
    return plane;
}

namespace {

// Decoded video says which YUV matrix and range it uses; the default would be BT.601.
void MatchColorspace(SwsContext* ctx, const AVFrame* frame) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    if (desc == nullptr || (desc->flags & AV_PIX_FMT_FLAG_RGB)) return;
    int space = frame->colorspace == AVCOL_SPC_UNSPECIFIED ? SWS_CS_DEFAULT : int(frame->colorspace);
    int fullRange = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
    if (space == SWS_CS_DEFAULT && !fullRange) return;
    sws_setColorspaceDetails(ctx, sws_getCoefficients(space), fullRange, sws_getCoefficients(SWS_CS_DEFAULT), 1,
                             0, 1 << 16, 1 << 16);
}

// One byte swap per pixel (B,G,R,A to A,R,G,B). The baseline x86-64 target has no byte
// shuffle, so the loop is also built for AVX2, where it becomes one vpshufb per 8 pixels.
__attribute__((target_clones("avx2", "default"))) void SwapRow(uint32_t* d, const uint32_t* s, int n) {
    for (int x = 0; x < n; ++x) d[x] = __builtin_bswap32(s[x]);
}

// R,G,B,A to A,R,G,B: a rotation of each pixel by one byte.
__attribute__((target_clones("avx2", "default"))) void RotateRow(uint32_t* d, const uint32_t* s, int n) {
    for (int x = 0; x < n; ++x) d[x] = (s[x] << 8) | (s[x] >> 24);
}

void ReverseRows(const WorldPlane& plane) {
    for (int y = 0; y < plane.height; ++y) {
        auto* p = reinterpret_cast<uint32_t*>(plane.data[0] + std::ptrdiff_t(y) * plane.linesize[0]);
        SwapRow(p, p, plane.width);
    }
}

// Packed 32-bit frames of the world's size only need their bytes reordered: done here
// in one pass, exactly, without swscale.
bool CopyPacked(const AVFrame* frame, const WorldPlane& plane) {
    const AVPixelFormat format = AVPixelFormat(frame->format);
    if (frame->width != plane.width || frame->height != plane.height ||
        (format != AV_PIX_FMT_BGRA && format != AV_PIX_FMT_RGBA && format != AV_PIX_FMT_ARGB))
        return false;
    for (int y = 0; y < plane.height; ++y) {
        const auto* s = reinterpret_cast<const uint32_t*>(frame->data[0] + std::ptrdiff_t(y) * frame->linesize[0]);
        auto* d = reinterpret_cast<uint32_t*>(plane.data[0] + std::ptrdiff_t(y) * plane.linesize[0]);
        if (format == AV_PIX_FMT_BGRA) {
            SwapRow(d, s, plane.width);
        } else if (format == AV_PIX_FMT_RGBA) {
            RotateRow(d, s, plane.width);
        } else {
            std::memcpy(d, s, std::size_t(plane.width) * 4);
        }
    }
    return true;
}

}  // namespace

bool FrameToWorld(const AVFrame* frame, GWorldPtr world, SwsPtr* cache, std::string* error) {
    WorldPlane plane = PlaneOf(world);
    if (CopyPacked(frame, plane)) return true;
    // swscale's fast (SIMD) converters write B,G,R,A but not A,R,G,B: convert to the one
    // and reverse the bytes in place, which costs far less than its generic path.
    SwsContext* ctx = sws_getCachedContext(cache->release(), frame->width, frame->height,
                                           AVPixelFormat(frame->format), plane.width, plane.height,
                                           AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    cache->reset(ctx);
    if (ctx == nullptr) {
        *error = std::string("cannot convert its ") +
                 (av_get_pix_fmt_name(AVPixelFormat(frame->format)) ? av_get_pix_fmt_name(AVPixelFormat(frame->format))
                                                                     : "unknown") +
                 " pixels";
        return false;
    }
    MatchColorspace(ctx, frame);
    sws_scale(ctx, frame->data, frame->linesize, 0, frame->height, plane.data, plane.linesize);
    ReverseRows(plane);
    return true;
}

}  // namespace host::av
