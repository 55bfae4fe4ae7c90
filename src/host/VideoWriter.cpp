// Video files through libavformat and libavcodec: each target world is converted once
// into the encoder's YUV frame; the audio the plug-in mixed for each frame is cut or
// padded to that frame's exact share of samples, converted to the rate and sample format
// the audio encoder takes, and encoded alongside.
#include "VideoWriter.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/prctl.h>

#include "AudioReader.h"
#include "FFmpegUtil.h"
#include "ImageSequence.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
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
struct SwrFreer {
    void operator()(SwrContext* c) const { swr_free(&c); }
};
struct FifoFreer {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

bool IsNullOutput(const std::string& path) { return path == "/dev/null"; }

std::string Extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

// The containers of the MPEG-4 family and Matroska get H.264 and AAC.
bool TakesH264AndAac(const std::string& path) {
    const std::string ext = Extension(path);
    for (const char* e : {".mp4", ".mov", ".mkv", ".m4v", ".3gp", ".3g2"})
        if (ext == e) return true;
    return false;
}

// An encoder by its name ("libx264"), else the first for a codec of that name ("h264").
const AVCodec* NamedEncoder(const std::string& name) {
    if (const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str())) return codec;
    const AVCodecDescriptor* desc = avcodec_descriptor_get_by_name(name.c_str());
    return desc != nullptr ? avcodec_find_encoder(desc->id) : nullptr;
}

// The common containers get H.264 when there is a software encoder for it.
const AVCodec* ChooseVideoEncoder(const AVOutputFormat* format, const std::string& path) {
    if (TakesH264AndAac(path) || (IsStandardStream(path) && std::strcmp(format->name, "matroska") == 0)) {
        if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264")) return x264;
        const AVCodec* h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
        if (h264 != nullptr && !(h264->capabilities & AV_CODEC_CAP_HARDWARE)) return h264;
        return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    }
    return avcodec_find_encoder(format->video_codec);
}

const AVCodec* ChooseAudioEncoder(const AVOutputFormat* format, const std::string& path) {
    if (TakesH264AndAac(path)) return avcodec_find_encoder(AV_CODEC_ID_AAC);
    return format->audio_codec == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(format->audio_codec);
}

bool Supports(const AVCodec* codec, AVPixelFormat format) {
    if (codec->pix_fmts == nullptr) return format == AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
        if (*p == format) return true;
    return false;
}

// What players play: 4:2:0 where the encoder takes it, else the encoder's first format.
AVPixelFormat DefaultPixelFormat(const AVCodec* codec) {
    if (Supports(codec, AV_PIX_FMT_YUV420P)) return AV_PIX_FMT_YUV420P;
    return codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
}

// The requested format (or the default) when the encoder takes it and the frame size
// fits its chroma planes; else NONE with the reason. An odd size is never quietly given
// another format: 4:4:4 plays in fewer players than the 4:2:0 asked for.
AVPixelFormat ChoosePixelFormat(const AVCodec* codec, const std::string& requested, int width, int height,
                                std::string* why) {
    AVPixelFormat format = requested.empty() ? DefaultPixelFormat(codec) : av_get_pix_fmt(requested.c_str());
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (desc == nullptr) return *why = "no pixel format " + requested + " (ffmpeg -pix_fmts lists them)", AV_PIX_FMT_NONE;
    if (codec->pix_fmts != nullptr && !Supports(codec, format)) {
        std::string takes;
        for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
            takes += std::string(takes.empty() ? "" : ", ") + av_get_pix_fmt_name(*p);
        *why = std::string("the ") + codec->name + " encoder takes no " + desc->name + "; it takes " + takes;
        return AV_PIX_FMT_NONE;
    }
    const int cw = 1 << desc->log2_chroma_w, ch = 1 << desc->log2_chroma_h;
    if (width % cw != 0 || height % ch != 0) {
        const int evenW = (width + cw - 1) / cw * cw, evenH = (height + ch - 1) / ch * ch;
        *why = std::string(desc->name) + " needs frame sides divisible by " + std::to_string(std::max(cw, ch)) +
               ", and " + std::to_string(width) + "x" + std::to_string(height) + " is not: give --size " +
               std::to_string(evenW) + "x" + std::to_string(evenH) + ", or --pix-fmt yuv444p (fewer players play it)";
        return AV_PIX_FMT_NONE;
    }
    return format;
}

// False for encoders that take only palettes or fewer than 8 bits a colour (GIF).
bool WritesFullColour(const AVCodec* codec) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(DefaultPixelFormat(codec));
    return desc != nullptr && !(desc->flags & AV_PIX_FMT_FLAG_PAL) && desc->comp[0].depth >= 8;
}

// Why the host cannot write a render to `path`, or "" when it can.
std::string OutputTypeProblem(const std::string& path) {
    if (IsSequencePattern(path))
        return ImageKindOf(path) != ImageKind::None ? "" : "image sequences must be .png, .ppm or .pam files";
    if (LooksLikePattern(path))
        return "not a frame pattern; give the frame number as one %d or %0Nd (N from 1 to 9), and a "
               "percent sign as %%";
    const AVOutputFormat* format = Extension(path).empty() ? nullptr : av_guess_format(nullptr, path.c_str(), nullptr);
    if (format == nullptr) return "unknown type of output; use .mp4, .mkv, .mov, or a pattern like frames/%04d.png";
    if (ImageKindOf(path) != ImageKind::None || std::strcmp(format->name, "image2") == 0)
        return "one image file cannot hold a clip; write a sequence like frames/%04d.png (the thumbnail "
               "command writes one picture)";
    // These muxers open files of their own (playlists and segments) or write to a device.
    if (format->flags & AVFMT_NOFILE)
        return std::string("the ") + format->name + " output writes several files; write one .mp4, .mkv or .mov "
               "file, or an image sequence";
    // Sound files take at most a cover picture (.mp3, .flac).
    if (format->video_codec == AV_CODEC_ID_NONE ||
        (format->video_codec == AV_CODEC_ID_PNG && format->audio_codec != AV_CODEC_ID_NONE))
        return "this type of file holds no video; use .mp4, .mkv or .mov";
    const AVCodec* codec = ChooseVideoEncoder(format, path);
    if (codec == nullptr) return "FFmpeg here has no video encoder for this type of file; use .mp4, .mkv or .mov";
    if (!WritesFullColour(codec))
        return std::string("the ") + codec->name + " encoder writes no more than 256 colours; use .mp4, .mkv, "
               ".mov or an image sequence";
    return "";
}

// Rates that Flash files keep in two bits, whatever their codec takes.
bool ContainerTakesRate(const AVOutputFormat* format, int rate) {
    if (std::strcmp(format->name, "swf") != 0 && std::strcmp(format->name, "avm2") != 0) return true;
    return rate == 44100 || rate == 22050 || rate == 11025;
}

bool CodecTakesRate(const AVCodec* codec, int rate) {
    if (codec->supported_samplerates == nullptr) return true;
    for (const int* r = codec->supported_samplerates; *r != 0; ++r)
        if (*r == rate) return true;
    return false;
}

// `wanted` when the encoder and the container take it; else the rate nearest above it
// that both take (else the highest).
int ChooseSampleRate(const AVCodec* codec, const AVOutputFormat* format, int wanted) {
    auto takes = [&](int rate) { return CodecTakesRate(codec, rate) && ContainerTakesRate(format, rate); };
    if (takes(wanted)) return wanted;
    int above = 0, highest = 0;
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000}) {
        if (!takes(rate)) continue;
        if (rate > wanted && above == 0) above = rate;
        highest = rate;
    }
    return above != 0 ? above : highest;
}

AVSampleFormat ChooseSampleFormat(const AVCodec* codec) {
    if (codec->sample_fmts == nullptr) return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_FLTP || *f == AV_SAMPLE_FMT_S16) return *f;
    return codec->sample_fmts[0];
}

// Mono or stereo where the encoder takes it, else its first layout.
void ChooseLayout(const AVCodec* codec, int channels, AVChannelLayout* layout) {
    av_channel_layout_default(layout, channels);
    if (codec->ch_layouts == nullptr) return;
    for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels != 0; ++l)
        if (av_channel_layout_compare(l, layout) == 0) return;
    av_channel_layout_copy(layout, &codec->ch_layouts[0]);
}

// x264 asks the system for huge pages for each picture it keeps (its look-ahead and
// references: some 1.3 GB at 3840x2160, allocated as the pass goes). Memory never
// touched before is faulted in as new huge pages, and on a virtual machine the first
// touch of a new huge page is slow (the hypervisor backs it then): 1 GB took 1.9 s
// here against 0.4 s in small pages. The ffmpeg program's x264 pictures land on heap
// memory its packets already touched in small pages, so x264 there runs on those; the
// process gives up huge pages for good once such an encoder is open, as ffmpeg's does
// in effect. The host's own frames lose theirs too: some 0.1 s over 40 frames, against
// some 1.2 s saved.
void KeepEncoderInSmallPages(const AVCodec* codec) {
    if (std::strcmp(codec->name, "libx264") == 0) ::prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
}

bool Refuse(std::string* why, std::string text) {
    *why = std::move(text);
    return false;
}

void Warn(const std::string& line) { std::fprintf(stderr, "tonefade-host: %s\n", line.c_str()); }

class VideoWriter : public OutputSink {
public:
    bool Open(const std::string& path, const OutputSpec& format, std::string* error);
    bool Consume(int index, GWorldPtr frame, const std::vector<int16_t>& audio, std::string* error) override;
    bool Finish(std::string* error) override;

private:
    bool AddVideoStream(std::string* error);
    const AVCodec* VideoEncoder(std::string* error);
    bool ChooseQuality(const AVCodec* codec, AVDictionary** options, std::string* error);
    bool SetUpVideoEncoder(const AVCodec* codec, AVPixelFormat format, std::string* error);
    bool OpenAudioEncoder(const AVCodec* codec, std::string* why);
    bool SetUpAudioEncoder(std::string* why);
    bool AddStream(AVCodecContext* ctx, AVStream** stream, std::string* error);
    bool EncodeVideo(GWorldPtr world, std::string* error);
    bool EncodeAudio(int index, const std::vector<int16_t>& audio, std::string* error);
    bool Resample(const int16_t* samples, int count, std::string* error);
    bool DrainAudio(bool all, std::string* error);
    bool Send(AVCodecContext* ctx, AVStream* stream, const AVFrame* frame, std::string* error);
    bool Fail(const std::string& what, int rc, std::string* error);

    std::string path_;
    OutputSpec spec_;
    PendingFiles files_;
    OutputPtr output_;
    av::CodecPtr video_, audio_;
    AVStream* videoStream_ = nullptr;
    AVStream* audioStream_ = nullptr;
    av::FramePtr videoFrame_{av_frame_alloc()}, audioFrame_{av_frame_alloc()}, resampled_{av_frame_alloc()};
    av::PacketPtr packet_{av_packet_alloc()};
    av::Converter converter_;
    bool fullRange_ = false;  // JPEG-style YUV
    std::unique_ptr<SwrContext, SwrFreer> swr_;
    std::unique_ptr<AVAudioFifo, FifoFreer> fifo_;  // converted samples not yet encoded
    int audioFrameSize_ = 1024;
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
    const bool stream = IsStandardStream(path);
    int rc = stream ? avformat_alloc_output_context2(&raw, nullptr, format.streamFormat.c_str(), nullptr)
                    : avformat_alloc_output_context2(&raw, nullptr, nullptr, path.c_str());
    if (rc < 0 || raw == nullptr) return Fail("FFmpeg writes no file of this type", rc, error);
    output_.reset(raw);
    if (!videoFrame_ || !audioFrame_ || !resampled_ || !packet_) return Fail("out of memory", AVERROR(ENOMEM), error);
    if (!AddVideoStream(error)) return false;
    std::string why;
    if (format.sampleRate > 0 && format.channels > 0 && !SetUpAudioEncoder(&why)) {
        Warn(path + ": " + why + "; the clip's sound is left out");
        audio_.reset();
    }
    if (audio_ && !AddStream(audio_.get(), &audioStream_, error)) return false;
    // Always a local file: a name like "take1:final.mp4" is not a protocol. A stream goes
    // out as it is made; there is nothing to rename.
    const std::string target = stream ? "pipe:1" : "file:" + files_.Add(path);
    if ((rc = avio_open(&raw->pb, target.c_str(), AVIO_FLAG_WRITE)) < 0)
        return Fail("cannot be written", rc, error);
    if ((rc = avformat_write_header(raw, nullptr)) < 0) return Fail("cannot start the file", rc, error);
    return true;
}

// Opened encoders only: a stream is added once its encoder has accepted the settings.
bool VideoWriter::AddStream(AVCodecContext* ctx, AVStream** stream, std::string* error) {
    *stream = avformat_new_stream(output_.get(), nullptr);
    if (*stream == nullptr) return Fail("out of memory", AVERROR(ENOMEM), error);
    int rc = avcodec_parameters_from_context((*stream)->codecpar, ctx);
    if (rc < 0) return Fail("cannot set up the stream", rc, error);
    (*stream)->time_base = ctx->time_base;
    return true;
}

bool VideoWriter::SetUpVideoEncoder(const AVCodec* codec, AVPixelFormat format, std::string* error) {
    AVCodecContext* ctx = video_.get();
    ctx->width = spec_.width;
    ctx->height = spec_.height;
    ctx->pix_fmt = format;
    AVRational rate{spec_.rate.num, spec_.rate.den};
    ctx->time_base = av_inv_q(rate);
    ctx->framerate = rate;
    // A key frame every two seconds keeps seeking in the result cheap for an editor.
    ctx->gop_size = std::max(1, int(std::lround(2.0 * spec_.frameRate)));
    ctx->thread_count = spec_.threads;
    ctx->colorspace = AVCOL_SPC_BT709;
    ctx->color_primaries = AVCOL_PRI_BT709;
    ctx->color_trc = AVCOL_TRC_BT709;
    // JPEG pictures are full range; MJPEG refuses anything else.
    fullRange_ = codec->id == AV_CODEC_ID_MJPEG;
    ctx->color_range = fullRange_ ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    if (output_->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    if (!ChooseQuality(codec, &options, error)) return false;
    KeepEncoderInSmallPages(codec);
    int rc = avcodec_open2(ctx, codec, &options);
    av_dict_free(&options);
    // The context forgets its codec when the open fails: the name comes from `codec`.
    if (rc < 0) return Fail(std::string("the ") + codec->name + " encoder refused these frames", rc, error);
    return true;
}

// The user's --crf or --bitrate, else the quality the host chooses for the encoder.
bool VideoWriter::ChooseQuality(const AVCodec* codec, AVDictionary** options, std::string* error) {
    AVCodecContext* ctx = video_.get();
    const bool takesCrf = ctx->priv_data != nullptr && av_opt_find(ctx->priv_data, "crf", nullptr, 0, 0) != nullptr;
    if (spec_.crf >= 0 && !takesCrf)
        return Fail(std::string("the ") + codec->name + " encoder has no constant quality (--crf); give --bitrate", 0,
                    error);
    const bool vpx = std::strncmp(codec->name, "libvpx", 6) == 0;
    if (spec_.crf >= 0) {
        av_dict_set_int(options, "crf", spec_.crf, 0);
        if (vpx) av_dict_set(options, "b", "0", 0);  // constant quality with no bit-rate cap
    } else if (spec_.bitRate > 0) {
        ctx->bit_rate = spec_.bitRate;
    } else if (std::strcmp(codec->name, "libx264") == 0) {
        av_dict_set(options, "crf", "18", 0);
    } else if (vpx) {
        av_dict_set(options, "crf", "24", 0);
        av_dict_set(options, "b", "0", 0);
    } else {
        ctx->flags |= AV_CODEC_FLAG_QSCALE;  // constant quality, not the low default bit rate
        ctx->global_quality = FF_QP2LAMBDA * 3;
    }
    if (std::strcmp(codec->name, "libx264") == 0) av_dict_set(options, "preset", "fast", 0);
    if (vpx) {
        av_dict_set(options, "deadline", "good", 0);
        av_dict_set(options, "cpu-used", "4", 0);
    }
    return true;
}

const AVCodec* VideoWriter::VideoEncoder(std::string* error) {
    if (spec_.codec.empty()) {
        const AVCodec* codec = ChooseVideoEncoder(output_->oformat, path_);
        if (codec == nullptr) Fail("no video encoder for this type of file", 0, error);
        return codec;
    }
    const AVCodec* codec = NamedEncoder(spec_.codec);
    if (codec == nullptr || codec->type != AVMEDIA_TYPE_VIDEO)
        return Fail("FFmpeg here has no video encoder " + spec_.codec + " (ffmpeg -encoders lists them)", 0, error),
               nullptr;
    if (avformat_query_codec(output_->oformat, codec->id, FF_COMPLIANCE_NORMAL) == 0)
        return Fail(std::string("a ") + output_->oformat->name + " file cannot hold " + codec->name + " video", 0,
                    error),
               nullptr;
    return codec;
}

bool VideoWriter::AddVideoStream(std::string* error) {
    const AVCodec* codec = VideoEncoder(error);
    if (codec == nullptr) return false;
    std::string why;
    AVPixelFormat format = ChoosePixelFormat(codec, spec_.pixelFormat, spec_.width, spec_.height, &why);
    if (format == AV_PIX_FMT_NONE) return Fail(why, 0, error);
    video_.reset(avcodec_alloc_context3(codec));
    if (!video_) return Fail("out of memory", AVERROR(ENOMEM), error);
    if (!SetUpVideoEncoder(codec, format, error) || !AddStream(video_.get(), &videoStream_, error)) return false;
    videoStream_->avg_frame_rate = video_->framerate;
    // The input's orientation: players turn the frames as they turned the input's.
    if (spec_.displayMatrix.size() == 9) {
        uint8_t* side = av_stream_new_side_data(videoStream_, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t));
        if (side == nullptr) return Fail("out of memory", AVERROR(ENOMEM), error);
        std::memcpy(side, spec_.displayMatrix.data(), 9 * sizeof(int32_t));
    }
    videoFrame_->format = format;
    videoFrame_->width = spec_.width;
    videoFrame_->height = spec_.height;
    int rc = av_frame_get_buffer(videoFrame_.get(), 0);
    return rc >= 0 || Fail("out of memory", rc, error);
}

// The encoder at our bit rate or, when it refuses that (libvorbis at low sample rates),
// at its own.
bool VideoWriter::OpenAudioEncoder(const AVCodec* codec, std::string* why) {
    int rc = 0;
    for (int64_t bitsPerChannel : {96000, 0}) {
        audio_.reset(avcodec_alloc_context3(codec));
        if (!audio_) return Refuse(why, "out of memory");
        AVCodecContext* ctx = audio_.get();
        ctx->sample_fmt = ChooseSampleFormat(codec);
        ctx->sample_rate = ChooseSampleRate(codec, output_->oformat, spec_.sampleRate);
        ChooseLayout(codec, spec_.channels, &ctx->ch_layout);
        ctx->time_base = AVRational{1, ctx->sample_rate};
        ctx->bit_rate = bitsPerChannel * ctx->ch_layout.nb_channels;
        if (output_->oformat->flags & AVFMT_GLOBALHEADER) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if ((rc = avcodec_open2(ctx, codec, nullptr)) >= 0) return true;
    }
    return Refuse(why, std::string("the ") + codec->name + " encoder refused the sound (" + av::ErrorText(rc) + ")");
}

// False with the reason when the container or its encoder takes no sound from us.
bool VideoWriter::SetUpAudioEncoder(std::string* why) {
    if (output_->oformat->audio_codec == AV_CODEC_ID_NONE) return Refuse(why, "this type of file holds no sound");
    const AVCodec* codec = ChooseAudioEncoder(output_->oformat, path_);
    if (codec == nullptr) return Refuse(why, "FFmpeg here has no encoder for its sound");
    if (!OpenAudioEncoder(codec, why)) return false;
    // The mixed sound comes as 16-bit interleaved samples at the clip's rate.
    AVCodecContext* ctx = audio_.get();
    AVChannelLayout in;
    av_channel_layout_default(&in, spec_.channels);
    SwrContext* swr = nullptr;
    int rc = swr_alloc_set_opts2(&swr, &ctx->ch_layout, ctx->sample_fmt, ctx->sample_rate, &in, AV_SAMPLE_FMT_S16,
                                 spec_.sampleRate, 0, nullptr);
    swr_.reset(swr);
    if (rc < 0 || (rc = swr_init(swr)) < 0) return Refuse(why, "cannot convert the sound (" + av::ErrorText(rc) + ")");
    audioFrameSize_ = ctx->frame_size > 0 ? ctx->frame_size : 1024;
    fifo_.reset(av_audio_fifo_alloc(ctx->sample_fmt, ctx->ch_layout.nb_channels, audioFrameSize_ * 2));
    audioFrame_->format = ctx->sample_fmt;
    audioFrame_->sample_rate = ctx->sample_rate;
    av_channel_layout_copy(&audioFrame_->ch_layout, &ctx->ch_layout);
    audioFrame_->nb_samples = audioFrameSize_;
    if (!fifo_ || av_frame_get_buffer(audioFrame_.get(), 0) < 0) return Refuse(why, "out of memory");
    return true;
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
    if (!converter_.WorldToFrame(world, videoFrame_.get(), fullRange_, &why)) return Fail(why, 0, error);
    videoFrame_->pts = videoPts_++;
    return Send(video_.get(), videoStream_, videoFrame_.get(), error);
}

// Converts `count` interleaved samples (none: what the resampler still holds) into the
// encoder's rate and format, at the end of the queue.
bool VideoWriter::Resample(const int16_t* samples, int count, std::string* error) {
    const int room = swr_get_out_samples(swr_.get(), count);
    if (room <= 0) return true;
    if (resampled_->nb_samples < room) {
        av_frame_unref(resampled_.get());
        resampled_->format = audio_->sample_fmt;
        av_channel_layout_copy(&resampled_->ch_layout, &audio_->ch_layout);
        resampled_->nb_samples = room;
        int rc = av_frame_get_buffer(resampled_.get(), 0);
        if (rc < 0) return Fail("out of memory", rc, error);
    }
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
    int got = swr_convert(swr_.get(), resampled_->extended_data, room, samples ? in : nullptr, count);
    if (got < 0) return Fail("cannot convert the sound", got, error);
    if (got > 0 && av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(resampled_->extended_data), got) < got)
        return Fail("out of memory", AVERROR(ENOMEM), error);
    return true;
}

// Encodes whole frames of the queued samples; `all` also the last, shorter one.
bool VideoWriter::DrainAudio(bool all, std::string* error) {
    for (int queued; (queued = av_audio_fifo_size(fifo_.get())) >= audioFrameSize_ || (all && queued > 0);) {
        audioFrame_->nb_samples = audioFrameSize_;
        int rc = av_frame_make_writable(audioFrame_.get());
        if (rc < 0) return Fail("out of memory", rc, error);
        const int samples = std::min(queued, audioFrameSize_);
        audioFrame_->nb_samples = samples;
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(audioFrame_->extended_data), samples);
        audioFrame_->pts = audioPts_;
        audioPts_ += samples;
        if (!Send(audio_.get(), audioStream_, audioFrame_.get(), error)) return false;
    }
    return true;
}

bool VideoWriter::EncodeAudio(int index, const std::vector<int16_t>& audio, std::string* error) {
    // Unmixed frames are silent; the share is counted on the whole clip so segments join.
    SampleRange share = FrameSamples(index, spec_.sampleRate, spec_.frameRate);
    std::vector<int16_t> block(std::size_t(share.count) * std::size_t(spec_.channels), 0);
    std::copy_n(audio.begin(), std::min(block.size(), audio.size()), block.begin());
    return Resample(block.data(), int(share.count), error) && DrainAudio(false, error);
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
        if (!Resample(nullptr, 0, error) || !DrainAudio(true, error)) return false;
        if (!Send(audio_.get(), audioStream_, nullptr, error)) return false;
    }
    if (!Send(video_.get(), videoStream_, nullptr, error)) return false;
    int rc = av_write_trailer(output_.get());
    if (rc < 0) return Fail("cannot finish the file", rc, error);
    if (output_->pb != nullptr && (rc = avio_closep(&output_->pb)) < 0) return Fail("cannot be written", rc, error);
    return IsStandardStream(path_) || files_.Commit(error);
}

}  // namespace

std::string StreamFormatName(const std::string& name, std::string* why) {
    const std::string wanted = name == "y4m" ? "yuv4mpegpipe" : name == "mkv" ? "matroska" : name;
    const AVOutputFormat* format = av_guess_format(wanted.c_str(), nullptr, nullptr);
    if (format == nullptr || std::strcmp(format->name, wanted.c_str()) != 0)
        return *why = "-f " + name + ": FFmpeg here writes no such format (nut, y4m, rawvideo, matroska, ...)", "";
    if ((format->flags & AVFMT_NOFILE) || format->video_codec == AV_CODEC_ID_NONE ||
        std::strcmp(format->name, "image2") == 0)
        return *why = "-f " + name + ": not a format for a video stream; use nut, y4m, rawvideo or matroska", "";
    return wanted;
}

bool KnownOutputType(const std::string& path, std::string* error) {
    if (IsNullOutput(path) || IsStandardStream(path)) return true;
    const std::string problem = OutputTypeProblem(path);
    if (problem.empty()) return true;
    *error = path + ": " + problem;
    return false;
}

std::unique_ptr<OutputSink> OpenOutput(const std::string& path, const OutputSpec& format, std::string* error) {
    if (IsNullOutput(path)) return std::make_unique<NullSink>();
    if (!KnownOutputType(path, error)) return nullptr;
    if (IsSequencePattern(path)) return OpenSequenceWriter(path, format.startNumber, error);
    if (!IsStandardStream(path) && !CheckOutputFolder(path, error)) return nullptr;
    auto writer = std::make_unique<VideoWriter>();
    if (!writer->Open(path, format, error)) return nullptr;
    return writer;
}

}  // namespace host
