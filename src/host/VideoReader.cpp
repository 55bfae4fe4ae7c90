// A clip over FFmpeg's demuxers and decoders. Frames are read in order as a render pass
// asks for them; a jump back, or far ahead, seeks to the key frame before it.
#include "VideoReader.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "AudioReader.h"
#include "FFmpegUtil.h"
#include "ImageSequence.h"
#include "InputFile.h"
#include "RawFrames.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace host {

namespace {

constexpr int kMaxSide = 32767;
// Decoding this many frames forward is cheaper than a seek and its key-frame run-up.
constexpr int kDecodeAhead = 48;

// How players turn the stream's frames (its display matrix), or empty.
std::vector<int32_t> DisplayMatrixOf(const AVStream* st) {
    const uint8_t* side = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
    if (side == nullptr) return {};
    std::vector<int32_t> matrix(9);
    std::memcpy(matrix.data(), side, 9 * sizeof(int32_t));
    return matrix;
}

class VideoClip : public FrameSource {
public:
    static std::unique_ptr<VideoClip> Open(const std::string& path, const ReaderOptions& options,
                                           std::string* error);
    int FrameCount() const override { return count_; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    double FrameRate() const override { return rate_; }
    FrameRateRatio ExactFrameRate() const override { return ratio_; }
    bool ReadFrame(int index, GWorldPtr world, std::string* error) override;
    std::vector<int16_t> FrameAudio(int index) override;
    int AudioSampleRate() const override { return audio_ ? audio_->SampleRate() : 0; }
    int AudioChannels() const override { return audio_ ? audio_->Channels() : 0; }
    std::vector<int32_t> DisplayMatrix() const override { return displayMatrix_; }

private:
    bool OpenStream(const std::string& path, const ReaderOptions& options, std::string* error);
    int CountFrames();
    int ExpectedFrames() const;
    bool NextFrame();
    void SeekTo(int index);
    bool Reach(int index);

    std::string path_;
    av::InputPtr input_;
    av::CodecPtr decoder_;
    av::PacketPtr packet_{av_packet_alloc()};
    av::FramePtr frame_{av_frame_alloc()};
    av::Converter converter_;
    std::unique_ptr<RawFrames> raw_;  // packed 32-bit frames read without the decoder
    std::unique_ptr<AudioReader> audio_;
    std::vector<int32_t> displayMatrix_;
    int stream_ = -1;
    int width_ = 0, height_ = 0, count_ = 0;
    double rate_ = 30.0;
    FrameRateRatio ratio_;
    int64_t originPts_ = 0;
    int current_ = -1;  // the frame now in frame_
    bool afterSeek_ = false;
    bool draining_ = false;
};

bool VideoClip::OpenStream(const std::string& path, const ReaderOptions& options, std::string* error) {
    AVFormatContext* raw = nullptr;
    // Raw frames say nothing of themselves: the demuxer is told their format, size and rate.
    const AVInputFormat* format = nullptr;
    AVDictionary* rawOptions = nullptr;
    if (!options.rawPixelFormat.empty()) {
        if (av_get_pix_fmt(options.rawPixelFormat.c_str()) == AV_PIX_FMT_NONE) {
            *error = "--input-pix-fmt " + options.rawPixelFormat + ": no such pixel format (ffmpeg -pix_fmts lists them)";
            return false;
        }
        format = av_find_input_format("rawvideo");
        av_dict_set(&rawOptions, "pixel_format", options.rawPixelFormat.c_str(), 0);
        av_dict_set(&rawOptions, "video_size",
                    (std::to_string(options.rawWidth) + "x" + std::to_string(options.rawHeight)).c_str(), 0);
        av_dict_set(&rawOptions, "framerate", RateText(options.sequenceRate).c_str(), 0);
    }
    // Always a local file: a name like "take1:clip.mp4" is not a protocol.
    int rc = avformat_open_input(&raw, ("file:" + path).c_str(), format, &rawOptions);
    av_dict_free(&rawOptions);
    if (rc < 0) {
        *error = path + ": not a video file (" + av::ErrorText(rc) + ")";
        return false;
    }
    input_.reset(raw);
    if ((rc = avformat_find_stream_info(raw, nullptr)) < 0) {
        *error = path + ": not a video file (" + av::ErrorText(rc) + ")";
        return false;
    }
    stream_ = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream_ < 0 || (raw->streams[stream_]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        *error = path + ": not a video file (it holds no video stream)";
        return false;
    }
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (int(i) != stream_) raw->streams[i]->discard = AVDISCARD_ALL;
    const AVCodecParameters* par = raw->streams[stream_]->codecpar;
    if (par->width > kMaxSide || par->height > kMaxSide) {
        *error = path + ": frames of " + std::to_string(par->width) + "x" + std::to_string(par->height) +
                 " are larger than the plug-in can address (32767 pixels a side)";
        return false;
    }
    std::string why;
    decoder_ = av::OpenDecoder(par, options.threads, &why);
    if (!decoder_) {
        *error = path + ": " + why;
        return false;
    }
    width_ = par->width;
    height_ = par->height;
    displayMatrix_ = DisplayMatrixOf(raw->streams[stream_]);
    AVRational guess = av_guess_frame_rate(raw, raw->streams[stream_], nullptr);
    if (guess.num > 0 && guess.den > 0) rate_ = av_q2d(guess), ratio_ = FrameRateRatio{guess.num, guess.den};
    return true;
}

// The container's count when it keeps one; otherwise one pass over the packets.
int VideoClip::CountFrames() {
    AVStream* st = input_->streams[stream_];
    if (st->nb_frames > 0) return int(std::min<int64_t>(st->nb_frames, INT32_MAX));
    int count = 0;
    while (av_read_frame(input_.get(), packet_.get()) >= 0) {
        if (packet_->stream_index == stream_) ++count;
        av_packet_unref(packet_.get());
    }
    avformat_seek_file(input_.get(), -1, INT64_MIN, 0, INT64_MAX, AVSEEK_FLAG_BACKWARD);
    return count;
}

// Frames the header's duration promises, or -1 when it states none. A cut file keeps
// its header, so fewer frames than this means the end of the clip is missing.
int VideoClip::ExpectedFrames() const {
    const AVStream* st = input_->streams[stream_];
    double seconds = -1.0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        seconds = double(st->duration) * av_q2d(st->time_base);
    else if (input_->duration != AV_NOPTS_VALUE && input_->duration > 0)
        seconds = double(input_->duration) / AV_TIME_BASE;
    if (seconds <= 0.0 || !std::isfinite(seconds * rate_) || seconds * rate_ > INT32_MAX) return -1;
    return int(std::llround(seconds * rate_));
}

std::unique_ptr<VideoClip> VideoClip::Open(const std::string& path, const ReaderOptions& options,
                                           std::string* error) {
    auto clip = std::unique_ptr<VideoClip>(new VideoClip);
    clip->path_ = path;
    if (!clip->packet_ || !clip->frame_ || !clip->OpenStream(path, options, error)) return nullptr;
    const bool counted = clip->input_->streams[clip->stream_]->nb_frames <= 0;
    clip->count_ = clip->CountFrames();
    if (clip->count_ <= 0 || !clip->NextFrame()) {
        *error = path + ": not a video file (no frame in it can be decoded)";
        return nullptr;
    }
    const int expected = counted ? clip->ExpectedFrames() : -1;
    if (expected > 0 && clip->count_ < expected - 1) {
        *error = path + ": the file is cut short (" + std::to_string(clip->count_) + " of " +
                 std::to_string(expected) + " frames)";
        return nullptr;
    }
    clip->current_ = 0;
    clip->raw_ = RawFrames::Open(path, clip->input_.get(), clip->stream_, clip->count_, clip->frame_.get());
    int64_t pts = clip->frame_->best_effort_timestamp;
    clip->originPts_ = pts == AV_NOPTS_VALUE ? 0 : pts;
    double origin = double(clip->originPts_) * av_q2d(clip->input_->streams[clip->stream_]->time_base);
    // Raw frames carry no sound (and their bytes must not be probed for some).
    if (!options.rawPixelFormat.empty()) return clip;
    clip->audio_ = AudioReader::Open(path, origin, error);
    if (!clip->audio_ && !error->empty()) return nullptr;
    return clip;
}

bool VideoClip::NextFrame() {
    for (;;) {
        int rc = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (rc == 0) return true;
        if (rc != AVERROR(EAGAIN) || draining_) return false;
        if (av_read_frame(input_.get(), packet_.get()) < 0) {
            draining_ = true;
            avcodec_send_packet(decoder_.get(), nullptr);
            continue;
        }
        // A damaged packet is skipped; the decoder carries on at the next one.
        if (packet_->stream_index == stream_) avcodec_send_packet(decoder_.get(), packet_.get());
        av_packet_unref(packet_.get());
    }
}

void VideoClip::SeekTo(int index) {
    AVStream* st = input_->streams[stream_];
    int64_t target = originPts_ + int64_t(std::llround(index / rate_ / av_q2d(st->time_base)));
    if (index == 0 || av_seek_frame(input_.get(), stream_, target, AVSEEK_FLAG_BACKWARD) < 0)
        avformat_seek_file(input_.get(), -1, INT64_MIN, 0, INT64_MAX, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(decoder_.get());
    draining_ = false;
    current_ = -1;
    afterSeek_ = index != 0;
}

// Decodes forward until frame `index` is in frame_. Frames are counted one by one from
// the start; after a seek the first frame's timestamp says where the count stands.
bool VideoClip::Reach(int index) {
    if (index < current_ || index > current_ + kDecodeAhead) SeekTo(index);
    while (current_ < index) {
        if (!NextFrame()) return false;
        int64_t pts = frame_->best_effort_timestamp;
        if (afterSeek_ && pts != AV_NOPTS_VALUE) {
            double t = double(pts - originPts_) * av_q2d(input_->streams[stream_]->time_base);
            current_ = int(std::llround(t * rate_));
        } else {
            ++current_;
        }
        afterSeek_ = false;
        if (current_ > index) {  // the seek landed past the frame: count from the start instead
            SeekTo(0);
        }
    }
    return true;
}

bool VideoClip::ReadFrame(int index, GWorldPtr world, std::string* error) {
    std::string local;
    std::string* why = error ? error : &local;
    if (index < 0 || index >= count_) {
        *why = path_ + ": frame " + std::to_string(index) + " is outside the clip";
        return false;
    }
    if (raw_) {
        if (raw_->Read(index, world, why)) return true;
        *why = path_ + ": " + *why;
        return false;
    }
    if (!Reach(index)) {
        *why = path_ + ": frame " + std::to_string(index) + " cannot be decoded (the file ends before it)";
        current_ = INT32_MAX;  // forces a seek on the next request
        return false;
    }
    if (!converter_.FrameToWorld(frame_.get(), world, why)) {
        *why = path_ + ": " + *why;
        return false;
    }
    return true;
}

std::vector<int16_t> VideoClip::FrameAudio(int index) {
    if (!audio_) return {};
    SampleRange range = FrameSamples(index, audio_->SampleRate(), rate_);
    return audio_->Read(range.first, range.count);
}

}  // namespace

std::unique_ptr<FrameSource> OpenClip(const std::string& path, const ReaderOptions& options, std::string* error) {
    error->clear();
    if (IsSequencePattern(path)) return OpenImageSequence(path, options.sequenceRate, options.sequenceStart, error);
    if (!CheckInputFile(path, error)) return nullptr;
    return VideoClip::Open(path, options, error);
}

}  // namespace host
