// Frames for tests: pictures with known pixels, clips of them, worlds read and filled,
// the effect written out per pixel for comparison, and sinks that keep what a render
// pass hands back.
#pragma once

#include <string>
#include <vector>

#include "FrameSource.h"
#include "RenderDriver.h"

namespace testsupport {

// A picture in which every (x, y, seed) gets a different, reproducible colour.
std::vector<UInt8> PatternFrame(int width, int height, int seed);
host::MemoryClip PatternClip(int width, int height, int frames, int audioSamplesPerFrame = 0);

// The effect written out per pixel, straight from its definition (ReferenceTonefade.h).
void ReferenceTonefade(const UInt8* src, UInt8* dst, int width, int height, const Rect& activeRect, SInt16 slider1);
std::vector<UInt8> Processed(const std::vector<UInt8>& argb, int width, int height, const Rect& r, SInt16 amount);

// The 32-bit pixels of a world, row after row without padding.
std::vector<UInt8> WorldPixels(GWorldPtr world);
GWorldPtr NewTestWorld(int width, int height);
void FillWorld(GWorldPtr world, const std::vector<UInt8>& argb);

// Keeps a copy of every frame (and its sound) a pass hands back.
struct CollectingSink : host::FrameSink {
    std::vector<std::vector<UInt8>> frames;
    std::vector<std::vector<int16_t>> audio;
    bool Consume(int, GWorldPtr frame, const std::vector<int16_t>& sound, std::string*) override {
        frames.push_back(WorldPixels(frame));
        audio.push_back(sound);
        return true;
    }
};

struct DiscardSink : host::FrameSink {
    bool Consume(int, GWorldPtr, const std::vector<int16_t>&, std::string*) override { return true; }
};

}  // namespace testsupport
