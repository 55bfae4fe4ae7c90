// The built-in clip. Every pixel is a pure function of (x, y, frame), so renders repeat.
#include "DemoClip.h"

#include <cmath>

#include "Carbon.h"

namespace host {

namespace {

struct RGB {
    double r, g, b;
};

// A fully saturated hue, for the background sweep.
RGB Hue(double h) {
    h = h - std::floor(h);
    double x = h * 6.0;
    int sector = int(x) % 6;
    double f = x - std::floor(x);
    switch (sector) {
        case 0: return {1, f, 0};
        case 1: return {1 - f, 1, 0};
        case 2: return {0, 1, f};
        case 3: return {0, 1 - f, 1};
        case 4: return {f, 0, 1};
        default: return {1, 0, 1 - f};
    }
}

const RGB kBars[] = {{0.75, 0.75, 0.75}, {0.75, 0.75, 0}, {0, 0.75, 0.75}, {0, 0.75, 0},
                     {0.75, 0, 0.75},    {0.75, 0, 0},    {0, 0, 0.75}};

RGB PixelAt(int x, int y, int w, int h, double t) {
    double u = double(x) / w, v = double(y) / h;
    RGB c;
    if (v < 0.3) {
        c = kBars[std::min(6, int(u * 7))];
    } else {
        RGB hue = Hue(u + 0.15 * t);
        double shade = 0.35 + 0.65 * (1.0 - (v - 0.3) / 0.7);
        c = {hue.r * shade, hue.g * shade, hue.b * shade};
    }
    // A white disc that travels left to right and a yellow square that bobs up and down.
    double cx = w * (0.1 + 0.8 * std::fmod(t * 0.4, 1.0)), cy = h * 0.62, radius = h * 0.09;
    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius) c = {0.97, 0.97, 0.97};
    double sx = w * 0.72, sy = h * (0.55 + 0.2 * std::sin(t * 2.1)), side = h * 0.12;
    if (std::fabs(x - sx) < side / 2 && std::fabs(y - sy) < side / 2) c = {1.0, 0.85, 0.1};
    return c;
}

}  // namespace

DemoClip::DemoClip(int width, int height, int frames, double fps)
    : width_(width), height_(height), frames_(frames), fps_(fps) {}

bool DemoClip::ReadFrame(int index, GWorldPtr world, std::string* error) {
    if (index < 0 || index >= frames_) {
        if (error) *error = "frame " + std::to_string(index) + " is outside the clip";
        return false;
    }
    PixMapHandle pm = GetGWorldPixMap(world);
    const double t = index / fps_;
    for (int y = 0; y < height_; ++y) {
        UInt8* row = reinterpret_cast<UInt8*>(GetPixBaseAddr(pm)) + std::ptrdiff_t(y) * GetPixRowBytes(pm);
        for (int x = 0; x < width_; ++x, row += 4) {
            RGB c = PixelAt(x, y, width_, height_, t);
            row[0] = 255;
            row[1] = UInt8(std::lround(std::clamp(c.r, 0.0, 1.0) * 255));
            row[2] = UInt8(std::lround(std::clamp(c.g, 0.0, 1.0) * 255));
            row[3] = UInt8(std::lround(std::clamp(c.b, 0.0, 1.0) * 255));
        }
    }
    return true;
}

// A 440 Hz tone, stereo, continuous across frame boundaries.
std::vector<int16_t> DemoClip::FrameAudio(int index) {
    if (index < 0 || index >= frames_) return {};
    const long first = std::lround(index * 48000.0 / fps_), next = std::lround((index + 1) * 48000.0 / fps_);
    std::vector<int16_t> samples(std::size_t(next - first) * 2);
    for (long i = first; i < next; ++i) {
        auto s = int16_t(std::lround(8000.0 * std::sin(2.0 * M_PI * 440.0 * double(i) / 48000.0)));
        samples[std::size_t(i - first) * 2] = s;
        samples[std::size_t(i - first) * 2 + 1] = s;
    }
    return samples;
}

}  // namespace host
