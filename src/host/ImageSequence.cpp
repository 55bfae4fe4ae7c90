// Image files and sequences through FFmpeg's PNG and PNM codecs. Writing packs the
// world's A,R,G,B bytes by hand, so what lands in the file is exactly the plug-in's output.
#include "ImageSequence.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "FFmpegUtil.h"
#include "InputFile.h"

namespace host {

namespace {

namespace fs = std::filesystem;

// Frame sizes the plug-in can address: its rectangles are signed 16-bit.
constexpr int kMaxSide = 32767;

struct Pattern {
    std::string prefix, suffix;
    int width = 0;
    bool valid = false;
};

// Splits "dir/f_%04d.png" into prefix, width and suffix, turning %% into %.
Pattern ParsePattern(const std::string& text) {
    Pattern p;
    std::string* part = &p.prefix;
    int directives = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *part += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            *part += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == '0') ++j;
        int width = 0;
        if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) width = text[j++] - '0';
        if (j >= text.size() || text[j] != 'd') return Pattern{};
        p.width = width;
        part = &p.suffix;
        ++directives;
        i = j;
    }
    p.valid = directives == 1;
    return p;
}

AVCodecID CodecFor(ImageKind kind) {
    switch (kind) {
        case ImageKind::Png: return AV_CODEC_ID_PNG;
        case ImageKind::Ppm: return AV_CODEC_ID_PPM;
        case ImageKind::Pam: return AV_CODEC_ID_PAM;
        default: return AV_CODEC_ID_NONE;
    }
}

const char* KindName(ImageKind kind) {
    return kind == ImageKind::Png ? "PNG" : kind == ImageKind::Ppm ? "PPM" : "PAM";
}

bool ReadBytes(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    if (!ReadInputFile(path, kMaxImageFileBytes, bytes, error)) return false;
    // FFmpeg's parsers may read a little past the end of their input.
    bytes->resize(bytes->size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    return true;
}

av::FramePtr DecodeImage(const std::string& path, std::string* error) {
    ImageKind kind = ImageKindOf(path);
    std::vector<uint8_t> bytes;
    if (!ReadBytes(path, &bytes, error)) return nullptr;
    const AVCodec* codec = avcodec_find_decoder(CodecFor(kind));
    av::CodecPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
    av::PacketPtr packet(av_packet_alloc());
    av::FramePtr frame(av_frame_alloc());
    int rc = ctx && packet && frame ? avcodec_open2(ctx.get(), codec, nullptr) : AVERROR(ENOMEM);
    if (rc >= 0) {
        packet->data = bytes.data();
        packet->size = int(bytes.size() - AV_INPUT_BUFFER_PADDING_SIZE);
        rc = avcodec_send_packet(ctx.get(), packet.get());
        if (rc >= 0) rc = avcodec_send_packet(ctx.get(), nullptr);
        if (rc >= 0) rc = avcodec_receive_frame(ctx.get(), frame.get());
    }
    if (rc < 0) {
        *error = path + ": not a readable " + KindName(kind) + " image (" + av::ErrorText(rc) + ")";
        return nullptr;
    }
    return frame;
}

class ImageSequenceClip : public FrameSource {
public:
    ImageSequenceClip(std::string pattern, int first, int count, int width, int height, FrameRateRatio rate)
        : pattern_(std::move(pattern)), first_(first), count_(count), width_(width), height_(height), rate_(rate) {}
    int FrameCount() const override { return count_; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    double FrameRate() const override { return rate_.Value(); }
    FrameRateRatio ExactFrameRate() const override { return rate_; }

    bool ReadFrame(int index, GWorldPtr world, std::string* error) override {
        std::string local;
        std::string* why = error ? error : &local;
        if (index < 0 || index >= count_) {
            *why = pattern_ + ": frame " + std::to_string(index) + " is outside the sequence";
            return false;
        }
        std::string path = SequenceFileName(pattern_, first_ + index);
        av::FramePtr frame = DecodeImage(path, why);
        if (!frame) return false;
        if (frame->width != width_ || frame->height != height_) {
            *why = path + ": " + std::to_string(frame->width) + "x" + std::to_string(frame->height) +
                   ", but the sequence's frames are " + std::to_string(width_) + "x" + std::to_string(height_);
            return false;
        }
        return converter_.FrameToWorld(frame.get(), world, why);
    }

private:
    std::string pattern_;
    int first_, count_, width_, height_;
    FrameRateRatio rate_;
    av::Converter converter_;
};

// Packs A,R,G,B rows into R,G,B (or R,G,B,A when keeping alpha) rows of `frame`.
void PackWorld(const av::WorldPlane& plane, AVFrame* frame, bool alpha) {
    for (int y = 0; y < plane.height; ++y) {
        const uint8_t* s = plane.data[0] + std::ptrdiff_t(y) * plane.linesize[0];
        uint8_t* d = frame->data[0] + std::ptrdiff_t(y) * frame->linesize[0];
        if (alpha) {
            for (int x = 0; x < plane.width; ++x, s += 4, d += 4) {
                d[0] = s[1], d[1] = s[2], d[2] = s[3], d[3] = s[0];
            }
        } else {
            for (int x = 0; x < plane.width; ++x, s += 4, d += 3) {
                d[0] = s[1], d[1] = s[2], d[2] = s[3];
            }
        }
    }
}

bool WriteBytes(const std::string& path, const uint8_t* data, std::size_t size, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr && std::fwrite(data, 1, size, file) == size;
    int saved = errno;
    if (file != nullptr && std::fclose(file) != 0) ok = false, saved = errno;
    if (!ok) *error = std::strerror(saved);
    return ok;
}

class SequenceWriter : public OutputSink {
public:
    SequenceWriter(std::string pattern, int startNumber) : pattern_(std::move(pattern)), startNumber_(startNumber) {}

    bool Consume(int index, GWorldPtr frame, const std::vector<int16_t>&, std::string* error) override {
        if (Interrupted()) {
            *error = "interrupted";
            return false;
        }
        std::string final = SequenceFileName(pattern_, startNumber_ + index);
        std::string why;
        if (!WriteImageFile(frame, ImageKindOf(pattern_), files_.Add(final), &why)) {
            *error = final + ": " + why;
            return false;
        }
        return true;
    }

    bool Finish(std::string* error) override { return files_.Commit(error); }

private:
    std::string pattern_;
    int startNumber_;
    PendingFiles files_;
};

}  // namespace

ImageKind ImageKindOf(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == ".png") return ImageKind::Png;
    if (ext == ".ppm") return ImageKind::Ppm;
    if (ext == ".pam") return ImageKind::Pam;
    return ImageKind::None;
}

bool IsSequencePattern(const std::string& path) { return ParsePattern(path).valid; }

bool LooksLikePattern(const std::string& path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') continue;
        std::size_t j = i + 1;
        if (j < path.size() && path[j] == '%') {
            i = j;
            continue;
        }
        while (j < path.size() && std::isdigit(static_cast<unsigned char>(path[j]))) ++j;
        if (j < path.size() && std::isalpha(static_cast<unsigned char>(path[j]))) return true;
    }
    return false;
}

std::string SequenceFileName(const std::string& pattern, int number) {
    Pattern p = ParsePattern(pattern);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*d", p.width, number);
    return p.prefix + digits + p.suffix;
}

std::unique_ptr<FrameSource> OpenImageSequence(const std::string& pattern, FrameRateRatio frameRate, int startNumber,
                                               std::string* error) {
    if (ImageKindOf(pattern) == ImageKind::None) {
        *error = pattern + ": image sequences must be .png, .ppm or .pam files";
        return nullptr;
    }
    // Without a start number, as FFmpeg does: the first of 0 to 4 that exists.
    const int lowest = startNumber < 0 ? 0 : startNumber, highest = startNumber < 0 ? 4 : startNumber;
    int first = lowest;
    std::string lookup;
    while (first <= highest && !InputExists(SequenceFileName(pattern, first), &lookup) && lookup.empty()) ++first;
    if (!lookup.empty()) return *error = lookup, nullptr;
    if (first > highest) {
        *error = pattern + ": no file matches the pattern (looked for " + SequenceFileName(pattern, lowest) +
                 (lowest == highest ? "" : " to " + SequenceFileName(pattern, highest)) + ")";
        return nullptr;
    }
    int count = 1;
    while (count < 1000000000 && first <= INT32_MAX - count &&
           InputExists(SequenceFileName(pattern, first + count), &lookup))
        ++count;
    if (!lookup.empty()) return *error = lookup, nullptr;
    av::FramePtr frame = DecodeImage(SequenceFileName(pattern, first), error);
    if (!frame) return nullptr;
    if (frame->width > kMaxSide || frame->height > kMaxSide) {
        *error = SequenceFileName(pattern, first) + ": frames of " + std::to_string(frame->width) + "x" +
                 std::to_string(frame->height) + " are larger than the plug-in can address (32767 pixels a side)";
        return nullptr;
    }
    return std::make_unique<ImageSequenceClip>(pattern, first, count, frame->width, frame->height, frameRate);
}

std::unique_ptr<OutputSink> OpenSequenceWriter(const std::string& pattern, int startNumber, std::string* error) {
    if (ImageKindOf(pattern) == ImageKind::None) {
        *error = pattern + ": image sequences must be .png, .ppm or .pam files";
        return nullptr;
    }
    if (!CheckOutputFolder(pattern, error)) return nullptr;
    return std::make_unique<SequenceWriter>(pattern, startNumber);
}

bool WriteImageFile(GWorldPtr world, ImageKind kind, const std::string& path, std::string* error) {
    const bool alpha = kind == ImageKind::Pam;
    av::WorldPlane plane = av::PlaneOf(world);
    const AVCodec* codec = avcodec_find_encoder(CodecFor(kind));
    av::CodecPtr ctx(codec ? avcodec_alloc_context3(codec) : nullptr);
    av::FramePtr frame(av_frame_alloc());
    av::PacketPtr packet(av_packet_alloc());
    if (!ctx || !frame || !packet) {
        *error = std::string("no ") + KindName(kind) + " encoder";
        return false;
    }
    ctx->width = frame->width = plane.width;
    ctx->height = frame->height = plane.height;
    ctx->pix_fmt = alpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
    ctx->time_base = AVRational{1, 25};
    frame->format = ctx->pix_fmt;
    int rc = avcodec_open2(ctx.get(), codec, nullptr);
    if (rc >= 0) rc = av_frame_get_buffer(frame.get(), 0);
    if (rc >= 0) {
        PackWorld(plane, frame.get(), alpha);
        rc = avcodec_send_frame(ctx.get(), frame.get());
    }
    if (rc >= 0) rc = avcodec_receive_packet(ctx.get(), packet.get());
    if (rc < 0) {
        *error = std::string("cannot encode ") + KindName(kind) + ": " + av::ErrorText(rc);
        return false;
    }
    return WriteBytes(path, packet->data, std::size_t(packet->size), error);
}

}  // namespace host
