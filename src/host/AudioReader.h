// The sound of a video file as 16-bit interleaved samples, read by sample position so
// that each frame of the clip can be given exactly its own stretch of audio.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace host {

// The samples that belong to frame `index`: from round(index·rate/fps) up to
// round((index+1)·rate/fps), so that consecutive frames share no sample and miss none.
struct SampleRange {
    int64_t first = 0;
    int64_t count = 0;
};
SampleRange FrameSamples(int index, int sampleRate, double frameRate);

class AudioReader {
public:
    ~AudioReader();
    // Opens the file's best audio stream; false (and no error) when it has none.
    // `origin` is the time in seconds that counts as sample 0 (the first video frame).
    static std::unique_ptr<AudioReader> Open(const std::string& path, double origin, std::string* error);

    int SampleRate() const;
    int Channels() const;
    // Interleaved samples [first, first + count); silence where the track has none.
    std::vector<int16_t> Read(int64_t first, int64_t count);

private:
    struct State;
    explicit AudioReader(std::unique_ptr<State> state);
    bool Decode();  // decodes one more stretch into the buffer; false at the end
    void SeekTo(int64_t sample);
    std::unique_ptr<State> state_;
};

}  // namespace host
