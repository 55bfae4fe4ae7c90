// Loads tonefade.so as frei0r hosts do (dlopen, the f0r_ symbols) and works out the
// pixels a frame should have, independently of the adapter.
#include "Frei0rPlugin.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/Files.h"
#include "support/Frames.h"

namespace frei0rtest {

namespace {

template <typename F>
void Bind(void* handle, const char* name, F* function) {
    *function = reinterpret_cast<F>(dlsym(handle, name));
    if (*function == nullptr) ADD_FAILURE() << "tonefade.so has no " << name;
}

// R,G,B,A bytes to the effect's A,R,G,B and back, byte by byte.
std::vector<UInt8> ToArgb(const std::vector<uint32_t>& rgba) {
    std::vector<UInt8> argb(rgba.size() * 4);
    const auto* s = reinterpret_cast<const UInt8*>(rgba.data());
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        argb[4 * i] = s[4 * i + 3];
        std::memcpy(&argb[4 * i + 1], &s[4 * i], 3);
    }
    return argb;
}

std::vector<uint32_t> FromArgb(const std::vector<UInt8>& argb) {
    std::vector<uint32_t> rgba(argb.size() / 4);
    auto* d = reinterpret_cast<UInt8*>(rgba.data());
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        std::memcpy(&d[4 * i], &argb[4 * i + 1], 3);
        d[4 * i + 3] = argb[4 * i];
    }
    return rgba;
}

}  // namespace

Plugin::Plugin() {
    const std::string path = (testsupport::BuildDir() / "lib/frei0r-1/tonefade.so").string();
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
        return;
    }
    Bind(handle, "f0r_init", &init);
    Bind(handle, "f0r_deinit", &deinit);
    Bind(handle, "f0r_get_plugin_info", &getPluginInfo);
    Bind(handle, "f0r_get_param_info", &getParamInfo);
    Bind(handle, "f0r_construct", &construct);
    Bind(handle, "f0r_destruct", &destruct);
    Bind(handle, "f0r_set_param_value", &setParam);
    Bind(handle, "f0r_get_param_value", &getParam);
    Bind(handle, "f0r_update", &update);
    if (init) {
        EXPECT_EQ(init(), 1);
    }
}

Plugin::~Plugin() {
    if (deinit) deinit();
    if (handle) dlclose(handle);
}

std::vector<uint32_t> RandomFrame(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint32_t> frame(std::size_t(width) * height);
    for (auto& pixel : frame) pixel = uint32_t(random());
    return frame;
}

std::vector<uint32_t> Expected(const std::vector<uint32_t>& rgba, int width, int height, relRect rect,
                               SInt16 percent, int opacity) {
    const Rect frame{0, 0, SInt16(height), SInt16(width)};
    const std::vector<UInt8> source = ToArgb(rgba);
    std::vector<UInt8> result = testsupport::Processed(source, width, height, Rel2Rect(rect, frame), percent);
    if (opacity >= 0)
        for (std::size_t i = 0; i < result.size(); ++i)
            result[i] = UInt8((source[i] * opacity + result[i] * (255 - opacity) + 127) / 255);
    return FromArgb(result);
}

int MaxByteDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return 256;
    int most = 0;
    const auto* x = reinterpret_cast<const UInt8*>(a.data());
    const auto* y = reinterpret_cast<const UInt8*>(b.data());
    for (std::size_t i = 0; i < a.size() * 4; ++i) most = std::max(most, std::abs(int(x[i]) - int(y[i])));
    return most;
}

}  // namespace frei0rtest
