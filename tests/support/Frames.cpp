// Frames for tests.
#include "support/Frames.h"

#include <gtest/gtest.h>

#include <cstring>

#include "Carbon.h"
#include "support/ReferenceTonefade.h"

namespace testsupport {

std::vector<UInt8> PatternFrame(int width, int height, int seed) {
    std::vector<UInt8> argb(std::size_t(width) * std::size_t(height) * 4);
    UInt32 state = 2166136261u ^ UInt32(seed) * 16777619u;
    for (std::size_t i = 0; i < argb.size(); ++i) {
        state = state * 1664525u + 1013904223u;  // a plain LCG: the same pixels on every run
        argb[i] = UInt8(state >> 24);
    }
    return argb;
}

host::MemoryClip PatternClip(int width, int height, int frames, int audioSamplesPerFrame) {
    host::MemoryClip clip(width, height);
    for (int f = 0; f < frames; ++f) {
        std::vector<int16_t> audio(std::size_t(audioSamplesPerFrame) * 2);
        for (std::size_t i = 0; i < audio.size(); ++i) audio[i] = int16_t(1000 * (f + 1) + int(i));
        clip.AddFrame(PatternFrame(width, height, f + 1), std::move(audio));
    }
    return clip;
}

void ReferenceTonefade(const UInt8* src, UInt8* dst, int width, int height, const Rect& r, SInt16 slider1) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
            pixRec p;
            std::memcpy(&p, src + i, 4);
            if (y >= r.top && y < r.bottom && x >= r.left && x < r.right) p = RefPixel(p, slider1);
            std::memcpy(dst + i, &p, 4);
        }
}

std::vector<UInt8> Processed(const std::vector<UInt8>& argb, int width, int height, const Rect& r, SInt16 amount) {
    std::vector<UInt8> out(argb.size());
    ReferenceTonefade(argb.data(), out.data(), width, height, r, amount);
    return out;
}

std::vector<UInt8> WorldPixels(GWorldPtr world) {
    Rect bounds;
    GetPortBounds(world, &bounds);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    PixMapHandle pm = GetGWorldPixMap(world);
    std::vector<UInt8> out(std::size_t(width) * std::size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        std::memcpy(out.data() + std::size_t(y) * std::size_t(width) * 4,
                    GetPixBaseAddr(pm) + std::ptrdiff_t(y) * GetPixRowBytes(pm), std::size_t(width) * 4);
    return out;
}

GWorldPtr NewTestWorld(int width, int height) {
    Rect bounds{0, 0, SInt16(height), SInt16(width)};
    GWorldPtr world = nullptr;
    EXPECT_EQ(NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0), noErr);
    return world;
}

void FillWorld(GWorldPtr world, const std::vector<UInt8>& argb) {
    Rect bounds;
    GetPortBounds(world, &bounds);
    const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    PixMapHandle pm = GetGWorldPixMap(world);
    for (int y = 0; y < height; ++y)
        std::memcpy(GetPixBaseAddr(pm) + std::ptrdiff_t(y) * GetPixRowBytes(pm),
                    argb.data() + std::size_t(y) * std::size_t(width) * 4, std::size_t(width) * 4);
}

}  // namespace testsupport
