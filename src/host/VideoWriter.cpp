// Video files through libavformat and libavcodec: each target world is converted once
// into the encoder's YUV frame; the audio the plug-in mixed for each
// frame is cut or padded to that frame's exact share of samples and encoded alongside.
#include "VideoWriter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "AudioReader.h"
#include "FFmpegUtil.h"
#include "ImageSequence.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace host {

namespace {

struct OutputCloser {
    void operator()(AVFormatContext* c) const {
        if (c->pb != nullptr) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;

bool IsNullOutput(const std::string& path) { return path == "/dev/null"; }

std::string Extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// The common containers get H.264 when there is a software encoder for it.
const AVCodec* ChooseVideoEncoder(const AVOutputFormat* format, const std::string& path) {
    const std::string ext = Extension(path);
    if (ext == ".mp4" || ext == ".mov" || ext == ".mkv" || ext == ".m4v") {
        if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) return x264;
        const AVCodec* h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
        if (h264 != nullptr && !(h264->capabilities & AV_CODEC_CAP_HARDWARE)) return h264;
        return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    }
    return avcodec_find_encoder(format->video_codec);
}

const AVCodec* ChooseAudioEncoder(const AVOutputFormat* format, const std::string& path) {
    const std::string ext = Extension(path);
    if (ext == ".mp4" || ext == ".mov" || ext == ".mkv" || ext == ".m4v") return avcodec_find_encoder(AV_CODEC_ID_AAC);
    return format->audio_codec == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(format->audio_codec);
}

bool Supports(const AVCodec* codec, AVPixelFormat format) {
    if (codec->pix_fmts == nullptr) return format == AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == format) return true;
    return false;
}

// 4:2:0 needs even sizes; odd ones go 4:4:4 where the encoder can, else are refused.
AVPixelFormat ChoosePixelFormat(const AVCodec* codec, int width, int height) {
    bool even = width % 2 == 0 && height % 2 == 0;
    if (even && Supports(codec, AV_PIX_FMT_YUV420P)) return AV_PIX_FMT_YUV420P;
    if (Supports(codec, AV_PIX_FMT_YUV444P)) return AV_PIX_FMT_YUV444P;
    if (codec->pix_fmts != nullptr && !even) return AV_PIX_FMT_NONE;
    return codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
}

AVSampleFormat ChooseSampleFormat(const AVCodec* codec) {
    if (codec->sample_fmts == nullptr) return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_S16) return *f;
    return AV_SAMPLE_FMT_NONE;
}

class VideoWriter : public OutputSink {
public:
    bool Open(const std::string& path, const OutputSpec& format, std::string* error);
    bool Consume(int index, GWorldPtr frame, const std::vector<int16_t>& audio, std::string* error) override;
    bool Finish(std::string* error) override;

private:
    bool AddVideoStream(std::string* error);
    bool AddAudioStream(std::string* error);
    bool OpenEncoder(AVCodecContext* ctx, AVStream* stream, AVDictionary** options, std::string* error);
    bool EncodeVideo(GWorldPtr world, std::string* error);
    bool EncodeAudio(int index, const std::vector<int16_t>& audio, std::string* error);
    bool EmitAudioFrame(int samples, std::string* error);
    bool Send(AVCodecContext* ctx, AVStream* stream, const AVFrame* frame, std::string* error);
    bool Fail(const std::string& what, int rc, std::string* error);

    std::string path_;
    OutputSpec spec_;
    PendingFiles files_;
    OutputPtr output_;
    av::CodecPtr video_, audio_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    av::FramePtr videoFrame_{av_frame_alloc()}, audioFrame_{av_frame_alloc()};
    av::PacketPtr packet_{av_packet_alloc()};
    av::Converter converter_;
    std::vector<int16_t> pendingAudio_;  // interleaved samples not yet encoded
    int64_t videoPts_ = 0, audioPts_ = 0;
};

bool VideoWriter::Fail(const std::string& what, int rc, std::string* error) {
    *error = path_ + ": " + what + (rc < 0 ? " (" + av::ErrorText(rc) + ")" : "");
    return false;
}

bool VideoWriter::Open(const std::string& path, const OutputSpec& format, std::string* error) {
    path_ = path;
    spec_ = format;
    AVFormatContext* raw = nullptr;
    int rc = avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str());
    if (rc < 0 || raw == nullptr) return Fail("FFmpeg writes no file of this type", rc, error);
    output_.reset(raw);
    if (!videoFrame_ || !audioFrame_ || !packet_) return Fail("out of memory", AVERROR(ENOMEM), error);
    if (!AddVideoStream(error)) return false;
    if (format.sampleRate > 0 && format.channels > 0 && !AddAudioStream(error)) return false;
    std::string temporary = files_.Add(path);
    if (!(raw->oformat->flags & AVFMT_NOFILE) &&
        (rc = avio_open(&raw->pb, temporary.c_str(), AVIO_FLAG_WRITE)) < 0)
        return Fail("cannot be written", rc, error);
    if ((rc = avformat_write_header(raw, nullptr)) < 0) return Fail("cannot start the file", rc, error);
    return true;
}

bool VideoWriter::OpenEncoder(AVCodecContext* ctx, AVStream* stream, AVDictionary** options, std::string* error) {
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int rc = avcodec_open2(ctx, ctx->codec, options);
    av_dict_free(options);
    if (rc < 0) return Fail(std::string("cannot open the ") + ctx->codec->name + " encoder", rc, error);
    if ((rc = avcodec_parameters_from_context(stream->codecpar, ctx)) < 0)
        return Fail("cannot set up the stream", rc, error);
    stream->time_base = ctx->time_base;
    return true;
}

bool VideoWriter::AddVideoStream(std::string* error) {
    const AVCodec* codec = ChooseVideoEncoder(output_->oformat, path_);
    if (codec == nullptr) return Fail("no video encoder for this type of file", 0, error);
    AVPixelFormat format = ChoosePixelFormat(codec, spec_.width, spec_.height);
    if (format == AV_PIX_FMT_NONE)
        return Fail(std::string(codec->name) + " needs even frame sizes, and " + std::to_string(spec_.width) + "x" +
                        std::to_string(spec_.height) + " is not",
                    0, error);
    video_.reset(avcodec_alloc_context3(codec));
    videoStream_ = avformat_new_stream(output_.get(), nullptr);
    if (!video_ || videoStream_ == nullptr) return Fail("out of memory", AVERROR(ENOMEM), error);
    AVCodecContext* ctx = video_.get();
    ctx->width = spec_.width;
    ctx->height = spec_.height;
    ctx->pix_fmt = format;
    AVRational rate = av_d2q(spec_.frameRate, 100000);
    ctx->time_base = av_inv_q(rate);
    ctx->framerate = rate;
    // A key frame every two seconds keeps seeking in the result cheap for an editor.
    ctx->gop_size = std::max(1, int(std::lround(2.0 * spec_.frameRate)));
    ctx->thread_count = spec_.threads;
    ctx->colorspace = AVCOL_SPC_BT709;
    ctx->color_primaries = AVCOL_PRI_BT709;
    ctx->color_trc = AVCOL_TRC_BT709;
    ctx->color_range = AVCOL_RANGE_MPEG;
    AVDictionary* options = nullptr;
    if (std::strcmp(codec->name, "libx264") == 0) {
        av_dict_set(&options, "preset", "fast", 0);
        av_dict_set(&options, "crf", "18", 0);
    } else {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;  // constant quality, not the low default bit rate
        ctx->global_quality = FF_QP2LAMBDA * 3;
    }
    if (!OpenEncoder(ctx, videoStream_, &options, error)) return false;
    videoStream_->avg_frame_rate = rate;
    videoFrame_->format = format;
    videoFrame_->width = spec_.width;
    videoFrame_->height = spec_.height;
    int rc = av_frame_get_buffer(videoFrame_.get(), 0);
    return rc >= 0 || Fail("out of memory", rc, error);
}

bool VideoWriter::AddAudioStream(std::string* error) {
    const AVCodec* codec = ChooseAudioEncoder(output_->oformat, path_);
    AVSampleFormat format = codec ? ChooseSampleFormat(codec) : AV_SAMPLE_FMT_NONE;
    if (format == AV_SAMPLE_FMT_NONE) return Fail("no audio encoder for this type of file", 0, error);
    audio_.reset(avcodec_alloc_context3(codec));
    audioStream_ = avformat_new_stream(output_.get(), nullptr);
    if (!audio_ || audioStream_ == nullptr) return Fail("out of memory", AVERROR(ENOMEM), error);
    AVCodecContext* ctx = audio_.get();
    ctx->sample_fmt = format;
    ctx->sample_rate = spec_.sampleRate;
    av_channel_layout_default(&ctx->ch_layout, spec_.channels);
    ctx->time_base = AVRational{1, spec_.sampleRate};
    ctx->bit_rate = 96000 * spec_.channels;
    AVDictionary* options = nullptr;
    if (!OpenEncoder(ctx, audioStream_, &options, error)) return false;
    audioFrame_->format = format;
    audioFrame_->sample_rate = spec_.sampleRate;
    av_channel_layout_copy(&audioFrame_->ch_layout, &ctx->ch_layout);
    audioFrame_->nb_samples = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    int rc = av_frame_get_buffer(audioFrame_.get(), 0);
    return rc >= 0 || Fail("out of memory", rc, error);
}

bool VideoWriter::Send(AVCodecContext* ctx, AVStream* stream, const AVFrame* frame, std::string* error) {
    int rc = avcodec_send_frame(ctx, frame);
    if (rc < 0) return Fail("cannot encode", rc, error);
    while ((rc = avcodec_receive_packet(ctx, packet_.get())) >= 0) {
        av_packet_rescale_ts(packet_.get(), ctx->time_base, stream->time_base);
        packet_->stream_index = stream->index;
        rc = av_interleaved_write_frame(output_.get(), packet_.get());
        if (rc < 0) return Fail("cannot be written", rc, error);
    }
    return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF || Fail("cannot encode", rc, error);
}

bool VideoWriter::EncodeVideo(GWorldPtr world, std::string* error) {
    int rc = av_frame_make_writable(videoFrame_.get());
    if (rc < 0) return Fail("out of memory", rc, error);
    std::string why;
    if (!converter_.WorldToFrame(world, videoFrame_.get(), false, &why)) return Fail(why, 0, error);
    videoFrame_->pts = videoPts_++;
    return Send(video_.get(), videoStream_, videoFrame_.get(), error);
}

// Moves `samples` interleaved samples from the front of the pending audio into a frame.
bool VideoWriter::EmitAudioFrame(int samples, std::string* error) {
    int rc = av_frame_make_writable(audioFrame_.get());
    if (rc < 0) return Fail("out of memory", rc, error);
    const int channels = spec_.channels;
    audioFrame_->nb_samples = samples;
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i) {
            int16_t v = pendingAudio_[std::size_t(i) * std::size_t(channels) + std::size_t(c)];
            if (audioFrame_->format == AV_SAMPLE_FMT_FLTP)
                reinterpret_cast<float*>(audioFrame_->extended_data[c])[i] = float(v) / 32768.0f;
            else
                reinterpret_cast<int16_t*>(audioFrame_->data[0])[i * channels + c] = v;
        }
    pendingAudio_.erase(pendingAudio_.begin(), pendingAudio_.begin() + std::ptrdiff_t(samples) * channels);
    audioFrame_->pts = audioPts_;
    audioPts_ += samples;
    return Send(audio_.get(), audioStream_, audioFrame_.get(), error);
}

bool VideoWriter::EncodeAudio(int index, const std::vector<int16_t>& audio, std::string* error) {
    // Unmixed frames are silent; the share is counted on the whole clip so segments join.
    SampleRange share = FrameSamples(index, spec_.sampleRate, spec_.frameRate);
    std::size_t want = std::size_t(share.count) * std::size_t(spec_.channels);
    std::size_t old = pendingAudio_.size();
    pendingAudio_.resize(old + want, 0);
    std::copy_n(audio.begin(), std::min(want, audio.size()), pendingAudio_.begin() + std::ptrdiff_t(old));
    const int frameSize = audio_->frame_size > 0 ? audio_->frame_size : 1024;
    while (pendingAudio_.size() >= std::size_t(frameSize) * std::size_t(spec_.channels))
        if (!EmitAudioFrame(frameSize, error)) return false;
    return true;
}

bool VideoWriter::Consume(int index, GWorldPtr frame, const std::vector<int16_t>& audio, std::string* error) {
    if (Interrupted()) {
        *error = "interrupted";
        return false;
    }
    if (!EncodeVideo(frame, error)) return false;
    return !audio_ || EncodeAudio(index, audio, error);
}

bool VideoWriter::Finish(std::string* error) {
    if (audio_) {
        int rest = int(pendingAudio_.size() / std::size_t(spec_.channels));
        if (rest > 0 && !EmitAudioFrame(rest, error)) return false;
        if (!Send(audio_.get(), audioStream_, nullptr, error)) return false;
    }
    if (!Send(video_.get(), videoStream_, nullptr, error)) return false;
    int rc = av_write_trailer(output_.get());
    if (rc < 0) return Fail("cannot finish the file", rc, error);
    if (output_->pb != nullptr && (rc = avio_closep(&output_->pb)) < 0) return Fail("cannot be written", rc, error);
    return files_.Commit(error);
}

}  // namespace

bool KnownOutputType(const std::string& path, std::string* error) {
    if (IsNullOutput(path)) return true;
    if (IsSequencePattern(path)) {
        if (ImageKindOf(path) != ImageKind::None) return true;
        *error = path + ": image sequences must be .png, .ppm or .pam files";
        return false;
    }
    if (av_guess_format(nullptr, path.c_str(), nullptr) != nullptr && !Extension(path).empty()) return true;
    *error = path + ": unknown type of output; use .mp4, .mkv, .mov, or a pattern like frames/%04d.png";
    return false;
}

std::unique_ptr<OutputSink> OpenOutput(const std::string& path, const OutputSpec& format, std::string* error) {
    if (IsNullOutput(path)) return std::make_unique<NullSink>();
    if (IsSequencePattern(path)) return OpenSequenceWriter(path, error);
    if (!KnownOutputType(path, error) || !CheckOutputFolder(path, error)) return nullptr;
    auto writer = std::make_unique<VideoWriter>();
    if (!writer->Open(path, format, error)) return nullptr;
    return writer;
}

std::string VideoEncoderFor(const std::string& path) {
    if (IsNullOutput(path)) return "none";
    if (IsSequencePattern(path)) return Extension(path).substr(1);
    const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
    const AVCodec* codec = format ? ChooseVideoEncoder(format, path) : nullptr;
    return codec ? codec->name : "none";
}

}  // namespace host
