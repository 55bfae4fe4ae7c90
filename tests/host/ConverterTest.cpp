// The conversions between decoded frames and worlds give exactly what one swscale call
// over the whole frame, through a padded buffer, gives: the way they were first written.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "FFmpegUtil.h"
extern "C" {
#include <libavutil/pixdesc.h>
}
#include "support/Frames.h"

namespace {

using host::av::FramePtr;

FramePtr NoiseFrame(AVPixelFormat format, int width, int height, unsigned seed) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = width;
    frame->height = height;
    EXPECT_GE(av_frame_get_buffer(frame.get(), 0), 0);
    for (int p = 0; p < 4 && frame->buf[p]; ++p)
        for (std::size_t i = 0; i < frame->buf[p]->size; ++i)
            frame->buf[p]->data[i] = UInt8((seed += 2654435761u) >> 24);
    return frame;
}

// The first way: the whole frame into a B,G,R,A buffer, then each pixel's bytes reversed.
std::vector<UInt8> ReferenceToWorld(const AVFrame* frame) {
    const int w = frame->width, h = frame->height, stride = (w * 4 + 63) / 64 * 64;
    std::vector<UInt8> bgra(std::size_t(stride) * std::size_t(h) + 64), out(std::size_t(w) * std::size_t(h) * 4);
    SwsContext* ctx = sws_getContext(w, h, AVPixelFormat(frame->format), w, h, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr,
                                     nullptr, nullptr);
    if (frame->colorspace == AVCOL_SPC_BT709)
        sws_setColorspaceDetails(ctx, sws_getCoefficients(AVCOL_SPC_BT709), 0, sws_getCoefficients(SWS_CS_DEFAULT),
                                 1, 0, 1 << 16, 1 << 16);
    uint8_t* dst[4] = {bgra.data()};
    int lines[4] = {stride};
    sws_scale(ctx, frame->data, frame->linesize, 0, h, dst, lines);
    sws_freeContext(ctx);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                out[(std::size_t(y) * w + x) * 4 + c] = bgra[std::size_t(y) * stride + std::size_t(x) * 4 + 3 - c];
    return out;
}

// The first way: the world copied whole into a padded buffer, converted in one call.
std::vector<UInt8> ReferenceFromWorld(GWorldPtr world, AVPixelFormat format, bool fullRange) {
    const host::av::WorldPlane plane = host::av::PlaneOf(world);
    const int w = plane.width, h = plane.height, stride = (w * 4 + 63) / 64 * 64;
    std::vector<UInt8> argb(std::size_t(stride) * std::size_t(h) + 64);
    for (int y = 0; y < h; ++y)
        std::memcpy(&argb[std::size_t(y) * stride], plane.data[0] + std::ptrdiff_t(y) * plane.linesize[0],
                    std::size_t(w) * 4);
    FramePtr out = NoiseFrame(format, w, h, 1);
    SwsContext* ctx = sws_getContext(w, h, AV_PIX_FMT_ARGB, w, h, format, SWS_BICUBIC, nullptr, nullptr, nullptr);
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(ctx, bt709, 1, bt709, fullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
    uint8_t* src[4] = {argb.data()};
    int lines[4] = {stride};
    sws_scale(ctx, src, lines, 0, h, out->data, out->linesize);
    sws_freeContext(ctx);
    std::vector<UInt8> bytes;
    for (int p = 0; p < 3; ++p) {
        const int rows = p == 0 || format != AV_PIX_FMT_YUV420P ? h : (h + 1) / 2;
        const int cols = p == 0 || format == AV_PIX_FMT_YUV444P ? w : (w + 1) / 2;
        for (int y = 0; y < rows; ++y)
            bytes.insert(bytes.end(), out->data[p] + std::ptrdiff_t(y) * out->linesize[p],
                         out->data[p] + std::ptrdiff_t(y) * out->linesize[p] + cols);
    }
    return bytes;
}

TEST(Converter, FramesIntoWorldsAsOneWholeConversion) {
    const AVPixelFormat formats[] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P, AV_PIX_FMT_YUV422P,
                                     AV_PIX_FMT_YUV444P, AV_PIX_FMT_NV12,     AV_PIX_FMT_RGB24};
    const int sizes[][2] = {{1920, 1080}, {34, 18}, {33, 17}, {2, 2}, {130, 2}, {720, 486}, {64, 22}};
    host::av::Converter converter;
    for (AVPixelFormat format : formats)
        for (auto [w, h] : sizes) {
            for (AVColorSpace space : {AVCOL_SPC_UNSPECIFIED, AVCOL_SPC_BT709}) {
                FramePtr frame = NoiseFrame(format, w, h, unsigned(w * 31 + h));
                frame->colorspace = space;
                GWorldPtr world = testsupport::NewTestWorld(w, h);
                std::string error;
                ASSERT_TRUE(converter.FrameToWorld(frame.get(), world, &error)) << error;
                EXPECT_EQ(testsupport::WorldPixels(world), ReferenceToWorld(frame.get()))
                    << av_get_pix_fmt_name(format) << " " << w << "x" << h << " space " << int(space);
                DisposeGWorld(world);
            }
        }
}

TEST(Converter, WorldsIntoFramesAsOneWholeConversion) {
    const int sizes[][2] = {{1920, 1080}, {34, 18}, {33, 17}, {2, 2}, {1, 1}, {130, 3}, {720, 486}};
    host::av::Converter converter;
    for (auto [w, h] : sizes)
        for (bool fullRange : {false, true}) {
            const AVPixelFormat format = w % 2 == 0 && h % 2 == 0 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV444P;
            GWorldPtr world = testsupport::NewTestWorld(w, h);
            testsupport::FillWorld(world, testsupport::PatternFrame(w, h, 3));
            FramePtr frame = NoiseFrame(format, w, h, 7);
            std::string error;
            ASSERT_TRUE(converter.WorldToFrame(world, frame.get(), fullRange, &error)) << error;
            std::vector<UInt8> got;
            for (int p = 0; p < 3; ++p) {
                const int rows = p == 0 || format != AV_PIX_FMT_YUV420P ? h : (h + 1) / 2;
                const int cols = p == 0 || format == AV_PIX_FMT_YUV444P ? w : (w + 1) / 2;
                for (int y = 0; y < rows; ++y)
                    got.insert(got.end(), frame->data[p] + std::ptrdiff_t(y) * frame->linesize[p],
                               frame->data[p] + std::ptrdiff_t(y) * frame->linesize[p] + cols);
            }
            EXPECT_EQ(got, ReferenceFromWorld(world, format, fullRange)) << w << "x" << h << " full " << fullRange;
            DisposeGWorld(world);
        }
}

}  // namespace
