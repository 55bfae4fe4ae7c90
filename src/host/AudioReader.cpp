// Audio decoding with its own demuxer on the file, so that video and audio can be read
// at their own pace; samples are placed by their timestamps, converted to 16-bit.
#include "AudioReader.h"

#include <algorithm>
#include <cmath>

#include "FFmpegUtil.h"

extern "C" {
#include <libswresample/swresample.h>
}

namespace host {

namespace {

struct SwrFreer {
    void operator()(SwrContext* c) const { swr_free(&c); }
};

// A jump further ahead than this is quicker to seek than to decode through.
constexpr int kSeekAheadSeconds = 5;

}  // namespace

SampleRange FrameSamples(int index, int sampleRate, double frameRate) {
    if (sampleRate <= 0 || frameRate <= 0) return {};
    auto edge = [&](int i) { return int64_t(std::llround(double(i) * sampleRate / frameRate)); };
    return SampleRange{edge(index), edge(index + 1) - edge(index)};
}

struct AudioReader::State {
    av::InputPtr input;
    av::CodecPtr decoder;
    std::unique_ptr<SwrContext, SwrFreer> swr;
    av::PacketPtr packet{av_packet_alloc()};
    av::FramePtr frame{av_frame_alloc()};
    int stream = -1;
    int rate = 0;
    int channels = 0;
    double origin = 0;
    std::vector<int16_t> buffer;  // interleaved, starting at sample bufferStart
    int64_t bufferStart = 0;
    bool placed = false;          // bufferStart is known
    bool fromStart = true;        // the buffer began at the start of the track
    bool draining = false;
    bool ended = false;

    int64_t BufferEnd() const { return bufferStart + int64_t(buffer.size()) / channels; }
};

AudioReader::AudioReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
AudioReader::~AudioReader() = default;

int AudioReader::SampleRate() const { return state_->rate; }
int AudioReader::Channels() const { return state_->channels; }

std::unique_ptr<AudioReader> AudioReader::Open(const std::string& path, double origin, std::string* error) {
    auto s = std::make_unique<State>();
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, nullptr) < 0) return nullptr;
    s->input.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) return nullptr;
    s->stream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (s->stream < 0) return nullptr;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (int(i) != s->stream) raw->streams[i]->discard = AVDISCARD_ALL;
    std::string why;
    s->decoder = av::OpenDecoder(raw->streams[s->stream]->codecpar, 1, &why);
    if (!s->decoder) {
        *error = path + ": audio: " + why;
        return nullptr;
    }
    AVCodecContext* dec = s->decoder.get();
    s->rate = dec->sample_rate;
    s->channels = dec->ch_layout.nb_channels >= 2 ? 2 : 1;  // more than two are mixed down to stereo
    AVChannelLayout out;
    av_channel_layout_default(&out, s->channels);
    SwrContext* swr = nullptr;
    if (s->rate <= 0 || swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, s->rate, &dec->ch_layout, dec->sample_fmt,
                                            s->rate, 0, nullptr) < 0 || swr_init(swr) < 0) {
        swr_free(&swr);
        *error = path + ": audio: cannot convert its samples";
        return nullptr;
    }
    s->swr.reset(swr);
    s->origin = origin;
    return std::unique_ptr<AudioReader>(new AudioReader(std::move(s)));
}

bool AudioReader::Decode() {
    State& s = *state_;
    for (;;) {
        int rc = avcodec_receive_frame(s.decoder.get(), s.frame.get());
        if (rc == 0) break;
        if (rc != AVERROR(EAGAIN) || s.draining) {
            s.ended = true;
            return false;
        }
        if (av_read_frame(s.input.get(), s.packet.get()) < 0) {
            s.draining = true;
            avcodec_send_packet(s.decoder.get(), nullptr);
            continue;
        }
        if (s.packet->stream_index == s.stream) avcodec_send_packet(s.decoder.get(), s.packet.get());
        av_packet_unref(s.packet.get());
    }
    AVFrame* f = s.frame.get();
    if (!s.placed) {
        int64_t pts = f->best_effort_timestamp;
        AVRational tb = s.input->streams[s.stream]->time_base;
        double seconds = pts == AV_NOPTS_VALUE ? s.origin : double(pts) * av_q2d(tb);
        s.bufferStart = std::llround((seconds - s.origin) * s.rate);
        s.placed = true;
    }
    std::size_t old = s.buffer.size();
    int room = swr_get_out_samples(s.swr.get(), f->nb_samples);
    s.buffer.resize(old + std::size_t(std::max(room, 0)) * std::size_t(s.channels));
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(s.buffer.data() + old)};
    int got = swr_convert(s.swr.get(), out, room, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
    s.buffer.resize(old + std::size_t(std::max(got, 0)) * std::size_t(s.channels));
    av_frame_unref(f);
    return true;
}

void AudioReader::SeekTo(int64_t sample) {
    State& s = *state_;
    AVRational tb = s.input->streams[s.stream]->time_base;
    double seconds = s.origin + double(sample) / s.rate;
    av_seek_frame(s.input.get(), s.stream, int64_t(seconds / av_q2d(tb)), AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(s.decoder.get());
    swr_init(s.swr.get());
    s.buffer.clear();
    s.placed = false;
    s.fromStart = false;
    s.draining = false;
    s.ended = false;
}

std::vector<int16_t> AudioReader::Read(int64_t first, int64_t count) {
    State& s = *state_;
    std::vector<int16_t> out(std::size_t(std::max<int64_t>(count, 0)) * std::size_t(s.channels), 0);
    if (count <= 0) return out;
    const bool behind = s.placed && first < s.bufferStart && !s.fromStart;
    const bool farAhead = s.placed && first > s.BufferEnd() + int64_t(kSeekAheadSeconds) * s.rate;
    if (behind || farAhead) SeekTo(first);
    while ((!s.placed || s.BufferEnd() < first + count) && !s.ended && Decode()) {
    }
    if (!s.placed) return out;
    int64_t from = std::max(first, s.bufferStart), to = std::min(first + count, s.BufferEnd());
    if (to > from)
        std::copy(s.buffer.begin() + (from - s.bufferStart) * s.channels,
                  s.buffer.begin() + (to - s.bufferStart) * s.channels, out.begin() + (from - first) * s.channels);
    // What lies before this request will not be asked for again in a forward pass.
    int64_t drop = std::clamp<int64_t>(first - s.bufferStart, 0, int64_t(s.buffer.size()) / s.channels);
    if (drop > 0) {
        s.buffer.erase(s.buffer.begin(), s.buffer.begin() + drop * s.channels);
        s.bufferStart += drop;
        s.fromStart = false;
    }
    return out;
}

}  // namespace host
