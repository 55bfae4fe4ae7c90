// FFmpeg helpers shared by the readers and writers.
#include "FFmpegUtil.h"

#include <algorithm>
#include <cctype>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
}

// Built for AVX-512 and AVX2 beside the baseline, chosen when the program loads (an ifunc). Not
// under ThreadSanitizer, whose instrumented resolver would run before it is set up.
#if defined(TONEFADE_TSAN)
#define HOST_VECTOR_CLONES
#else
#define HOST_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#endif

namespace host::av {

void QuietLogs() { av_log_set_level(AV_LOG_QUIET); }

std::string LibraryVersions() {
    const struct {
        const char* name;
        unsigned version;
    } libraries[] = {{"libavformat", avformat_version()}, {"libavcodec", avcodec_version()},
                     {"libavutil", avutil_version()},     {"libswscale", swscale_version()},
                     {"libswresample", swresample_version()}};
    std::string out = std::string("FFmpeg ") + av_version_info() + ":";
    for (const auto& l : libraries)
        out += std::string(" ") + l.name + " " + std::to_string(AV_VERSION_MAJOR(l.version)) + "." +
               std::to_string(AV_VERSION_MINOR(l.version)) + "." + std::to_string(AV_VERSION_MICRO(l.version)) +
               (&l == &libraries[4] ? "\n" : ",");
    return out;
}

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
HOST_VECTOR_CLONES void SwapRow(uint32_t* d, const uint32_t* s, int n) {
    for (int x = 0; x < n; ++x) d[x] = __builtin_bswap32(s[x]);
}

// R,G,B,A to A,R,G,B: a rotation of each pixel by one byte.
HOST_VECTOR_CLONES void RotateRow(uint32_t* d, const uint32_t* s, int n) {
    for (int x = 0; x < n; ++x) d[x] = (s[x] << 8) | (s[x] >> 24);
}

// Packed 32-bit frames of the world's size only need their bytes reordered: done here
// in one pass, exactly, without swscale.
bool CopyPacked(const AVFrame* frame, const WorldPlane& plane) {
    const AVPixelFormat format = AVPixelFormat(frame->format);
    if (frame->width != plane.width || frame->height != plane.height || !IsPacked32(format)) return false;
    PackedRowsToWorld(format, frame->data[0], frame->linesize[0], plane.height, 0, plane);
    return true;
}

}  // namespace

bool IsPacked32(AVPixelFormat format) {
    return format == AV_PIX_FMT_BGRA || format == AV_PIX_FMT_RGBA || format == AV_PIX_FMT_ARGB;
}

void PackedRowsToWorld(AVPixelFormat format, const uint8_t* src, std::ptrdiff_t stride, int rows, int first,
                       const WorldPlane& plane) {
    for (int y = 0; y < rows; ++y) {
        const auto* s = reinterpret_cast<const uint32_t*>(src + std::ptrdiff_t(y) * stride);
        auto* d = reinterpret_cast<uint32_t*>(plane.data[0] + std::ptrdiff_t(first + y) * plane.linesize[0]);
        if (format == AV_PIX_FMT_BGRA) {
            SwapRow(d, s, plane.width);
        } else if (format == AV_PIX_FMT_RGBA) {
            RotateRow(d, s, plane.width);
        } else {
            std::memcpy(d, s, std::size_t(plane.width) * 4);
        }
    }
}

// Rows of 64-byte multiples and one spare 64-byte block after the last row, as
// av_frame_get_buffer lays out FFmpeg's own frames on a CPU with AVX-512.
constexpr int kRowAlign = 64;
constexpr std::size_t kSpareBytes = 64;

bool Converter::Reserve(int width, int height) {
    if (pixels_ && width == width_ && height == height_) return true;
    const int linesize = (width * 4 + kRowAlign - 1) / kRowAlign * kRowAlign;
    pixels_ = toolbox::AllocatePixels(std::size_t(linesize) * std::size_t(height) + kSpareBytes);
    if (!pixels_) return false;
    data_[0] = pixels_.get();
    linesize_[0] = linesize;
    width_ = width;
    height_ = height;
    return true;
}

// Planar YUV whose rows pair with chroma rows on their own (4:2:0 and 4:2:2), at
// an even height, which swscale turns into B,G,R,A row by row with no filter across rows:
// converted in bands of rows, each band on its own, the result is the same as of the
// whole frame, and each band is reordered into the world while it is still in the cache.
bool ConvertsInBands(const AVFrame* frame, const WorldPlane& plane) {
    const AVPixelFormat format = AVPixelFormat(frame->format);
    return frame->width == plane.width && frame->height == plane.height && plane.height % 2 == 0 &&
           (format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUV422P ||
            format == AV_PIX_FMT_YUVJ422P);
}

// Bands of at most 16 rows that divide the height, so that one context serves them all.
int BandRows(int height) {
    int rows = 16;
    while (height % rows != 0) rows -= 2;
    return rows;
}

bool Converter::FrameToWorld(const AVFrame* frame, GWorldPtr world, std::string* error) {
    WorldPlane plane = PlaneOf(world);
    if (CopyPacked(frame, plane)) return true;
    // swscale's fast (SIMD) converters write B,G,R,A but not A,R,G,B: convert to the one,
    // and reverse the bytes on the way into the world, which costs far less than its
    // generic path.
    const AVPixelFormat format = AVPixelFormat(frame->format);
    const bool bands = ConvertsInBands(frame, plane);
    const int rows = bands ? BandRows(plane.height) : plane.height;
    SwsContext* ctx = sws_getCachedContext(sws_.release(), frame->width, bands ? rows : frame->height, format,
                                           plane.width, rows, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    sws_.reset(ctx);
    if (ctx == nullptr) {
        const char* name = av_get_pix_fmt_name(format);
        *error = std::string("cannot convert its ") + (name ? name : "unknown") + " pixels";
        return false;
    }
    if (!Reserve(plane.width, rows)) {
        *error = "out of memory";
        return false;
    }
    MatchColorspace(ctx, frame);
    const int chromaShift = format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P ? 1 : 0;
    for (int y0 = 0; y0 < plane.height; y0 += rows) {
        const uint8_t* src[4] = {frame->data[0], frame->data[1], frame->data[2], frame->data[3]};
        if (bands) {
            src[0] += std::ptrdiff_t(y0) * frame->linesize[0];
            for (int p = 1; p < 3; ++p) src[p] += std::ptrdiff_t(y0 >> chromaShift) * frame->linesize[p];
        }
        sws_scale(ctx, src, frame->linesize, 0, bands ? rows : frame->height, data_, linesize_);
        for (int y = 0; y < rows; ++y)
            SwapRow(reinterpret_cast<uint32_t*>(plane.data[0] + std::ptrdiff_t(y0 + y) * plane.linesize[0]),
                    reinterpret_cast<const uint32_t*>(data_[0] + std::ptrdiff_t(y) * linesize_[0]), plane.width);
    }
    return true;
}

// The world is read where it lies, in two slices: all rows but the last two straight from
// the world (reads past a row's end land in the next row), the last two from a copy with
// room after it, so that nothing past the world's last byte is read.
bool Converter::WorldToFrame(GWorldPtr world, AVFrame* frame, bool fullRange, std::string* error) {
    WorldPlane plane = PlaneOf(world);
    SwsContext* ctx = sws_getCachedContext(sws_.release(), plane.width, plane.height, AV_PIX_FMT_ARGB, frame->width,
                                           frame->height, AVPixelFormat(frame->format), SWS_BICUBIC, nullptr,
                                           nullptr, nullptr);
    sws_.reset(ctx);
    if (ctx == nullptr) {
        *error = "cannot convert the frames for the encoder";
        return false;
    }
    const int direct = plane.height > 2 ? plane.height - 2 : 0;
    if (!Reserve(plane.width, plane.height - direct)) {
        *error = "out of memory";
        return false;
    }
    for (int y = direct; y < plane.height; ++y)
        std::memcpy(data_[0] + std::ptrdiff_t(y - direct) * linesize_[0],
                    plane.data[0] + std::ptrdiff_t(y) * plane.linesize[0], std::size_t(plane.width) * 4);
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(ctx, bt709, 1, bt709, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
    if (direct > 0) sws_scale(ctx, plane.data, plane.linesize, 0, direct, frame->data, frame->linesize);
    sws_scale(ctx, data_, linesize_, direct, plane.height - direct, frame->data, frame->linesize);
    return true;
}

}  // namespace host::av
