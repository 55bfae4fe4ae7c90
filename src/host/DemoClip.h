// The built-in default clip: a few seconds of colourful test picture (gradients, colour
// bars, moving shapes) with a tone as audio, made on the fly, frame by frame.
#pragma once

#include "FrameSource.h"

namespace host {

class DemoClip : public FrameSource {
public:
    DemoClip(int width = 1280, int height = 720, int frames = 90, double fps = 30.0);
    int FrameCount() const override { return frames_; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    double FrameRate() const override { return fps_; }
    bool ReadFrame(int index, GWorldPtr world, std::string* error) override;
    std::vector<int16_t> FrameAudio(int index) override;
    int AudioSampleRate() const override { return 48000; }
    int AudioChannels() const override { return 2; }

private:
    int width_, height_, frames_;
    double fps_;
};

}  // namespace host
