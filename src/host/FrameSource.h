// What the host renders from: the frame-source interface that readers of files and
// generated clips implement, and a clip held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HYPluginAPI.h"

namespace host {

// A frame rate as a fraction, so that 30000/1001 stays 30000/1001 from input to output.
struct FrameRateRatio {
    int num = 30, den = 1;
    double Value() const { return double(num) / double(den); }
};

// The fraction a rate in frames per second stands for: whole numbers and decimals with up
// to three places as written (29.97 is 2997/100), and the NTSC family exactly (a double
// made from 30000/1001 gives 30000/1001 back).
FrameRateRatio RatioOfRate(double fps);
// "30000/1001", or "25" when the fraction is whole.
std::string RateText(FrameRateRatio rate);
// "30", "29.97" or "30000/1001"; false when it is none of these or not above 0.
bool ParseRate(const std::string& text, FrameRateRatio* rate);

// A clip: frames by index, 32-bit ARGB, with the audio that belongs to each frame.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual int FrameCount() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual double FrameRate() const { return 30.0; }
    virtual FrameRateRatio ExactFrameRate() const { return RatioOfRate(FrameRate()); }
    // Fills `world` (Width() × Height(), 32-bit) with frame `index`.
    virtual bool ReadFrame(int index, GWorldPtr world, std::string* error) = 0;
    // Interleaved 16-bit samples of the frame's audio; empty for a silent clip.
    virtual std::vector<int16_t> FrameAudio(int /*index*/) { return {}; }
    virtual int AudioSampleRate() const { return 0; }
    virtual int AudioChannels() const { return 0; }
    // How players turn the frames (a display matrix of 9 values), or empty.
    virtual std::vector<int32_t> DisplayMatrix() const { return {}; }
};

// A clip held in memory as plain ARGB buffers.
class MemoryClip : public FrameSource {
public:
    MemoryClip(int width, int height) : width_(width), height_(height) {}
    void AddFrame(std::vector<UInt8> argb, std::vector<int16_t> audio = {});
    int FrameCount() const override { return int(frames_.size()); }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool ReadFrame(int index, GWorldPtr world, std::string* error) override;
    std::vector<int16_t> FrameAudio(int index) override;
    int AudioSampleRate() const override { return 48000; }
    int AudioChannels() const override { return 2; }
    const std::vector<UInt8>& Pixels(int index) const { return frames_.at(std::size_t(index)).argb; }

private:
    struct Frame {
        std::vector<UInt8> argb;
        std::vector<int16_t> audio;
    };
    int width_, height_;
    std::vector<Frame> frames_;
};

}  // namespace host
