// The built tonefade.so, loaded as a frei0r host loads it, and the pixels a frame should
// come out with, worked out from the effect's per-pixel reference and the editor's blend.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effect/RelRects.h"

namespace frei0rtest {

struct Plugin {
    Plugin();  // loads BuildDir()/lib/frei0r-1/tonefade.so and calls f0r_init; fails the test otherwise
    ~Plugin();
    void* handle = nullptr;
    int (*init)(void) = nullptr;
    void (*deinit)(void) = nullptr;
    void (*getPluginInfo)(void* info) = nullptr;
    void (*getParamInfo)(void* info, int index) = nullptr;
    void* (*construct)(unsigned width, unsigned height) = nullptr;
    void (*destruct)(void* instance) = nullptr;
    void (*setParam)(void* instance, void* param, int index) = nullptr;
    void (*getParam)(void* instance, void* param, int index) = nullptr;
    void (*update)(void* instance, double time, const uint32_t* in, uint32_t* out) = nullptr;

    void Set(void* instance, int index, double value) const { setParam(instance, &value, index); }
    double Get(void* instance, int index) const {
        double value = -12345.0;
        getParam(instance, &value, index);
        return value;
    }
    std::vector<uint32_t> Render(void* instance, double time, const std::vector<uint32_t>& in) const {
        std::vector<uint32_t> out(in.size());
        update(instance, time, in.data(), out.data());
        return out;
    }
};

// Random R,G,B,A pixels, alpha included.
std::vector<uint32_t> RandomFrame(int width, int height, unsigned seed);
// The effect at `percent` inside `rect` (fractions, mapped as the effect maps them), and
// with opacity >= 0 the unprocessed frame blended over it as the editor blends.
std::vector<uint32_t> Expected(const std::vector<uint32_t>& rgba, int width, int height, relRect rect,
                               SInt16 percent, int opacity = -1);
// The largest difference of any byte of two frames.
int MaxByteDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

}  // namespace frei0rtest
