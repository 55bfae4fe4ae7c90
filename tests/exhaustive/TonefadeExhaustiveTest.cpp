// Every 24-bit colour through the Tonefade kernel, on every row kernel and arithmetic, against
// the effect computed per pixel from its definition, for amounts of every integer form; and
// every reachable (channel, grey) pair on every channel for a wide sweep of slider values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "effect/PixelLib.h"
#include "effect/Tonefade.h"
#include "effect/TonefadeKernels.h"
#include "support/ReferenceTonefade.h"

namespace {

using testsupport::RefChannel;
using testsupport::RefPixel;
using testsupport::Show;

struct Mode {
    TonefadeISA isa;
    bool exactOnly;
};

struct World {
    GWorldPtr gw = nullptr;
    World(int w, int h) {
        const Rect bounds{0, 0, SInt16(h), SInt16(w)};
        NewGWorld(&gw, 32, &bounds, nullptr, nullptr, 0);
    }
    ~World() { DisposeGWorld(gw); }
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    pixRec* Row(int y) const {
        PixMapHandle pm = GetGWorldPixMap(gw);
        return reinterpret_cast<pixRec*>(GetPixBaseAddr(pm) + long(y) * GetPixRowBytes(pm));
    }
};

// Runs the kernel over a world and counts the pixels that differ from the definition.
long Mismatches(const World& src, const World& dst, int w, int h, SInt16 slider, std::string* first) {
    TonefadeEffect(src.gw, dst.gw, Rect{0, 0, SInt16(h), SInt16(w)}, true, slider);
    long bad = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const pixRec in = src.Row(y)[x], got = dst.Row(y)[x], want = RefPixel(in, slider);
            if (std::memcmp(&got, &want, sizeof got) == 0) continue;
            if (bad++ == 0) *first = Show(in) + " gave " + Show(got) + ", want " + Show(want);
        }
    return bad;
}

Mode ModeOf(const Mode& param) { return param; }
Mode ModeOf(const std::tuple<Mode, SInt16>& param) { return std::get<0>(param); }

template <class Param>
class WithMode : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        const Mode mode = ModeOf(this->GetParam());
        if (!SetTonefadeISAForTesting(mode.isa)) GTEST_SKIP() << "instruction set not available";
        SetTonefadeExactOnlyForTesting(mode.exactOnly);
    }
    void TearDown() override {
        SetTonefadeISAForTesting(TonefadeISA::kAuto);
        SetTonefadeExactOnlyForTesting(false);
    }
};
using TonefadeExhaustive = WithMode<std::tuple<Mode, SInt16>>;
using TonefadeSweep = WithMode<Mode>;

// 2^24 colours in 16 bands of 4096 × 256: red is the band's row block, green and blue the
// column; alpha varies so that it is seen to pass through untouched.
TEST_P(TonefadeExhaustive, EveryColour) {
    const SInt16 slider = std::get<1>(GetParam());
    const int w = 4096, h = 256;
    World src(w, h), dst(w, h);
    for (int band = 0; band < 16; ++band) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const UInt32 rgb = UInt32(band * h + y) << 12 | UInt32(x);
                src.Row(y)[x] = {UInt8(x * 7 + y * 13 + band), UInt8(rgb >> 16), UInt8(rgb >> 8), UInt8(rgb)};
            }
        std::string first;
        const long bad = Mismatches(src, dst, w, h, slider, &first);
        ASSERT_EQ(bad, 0) << "band " << band << ", first: " << first;
    }
}

// Every pair a pixel can have, on each colour channel in turn (band k of 256 rows carries the
// row's value in channel k, the column's 0..510 split over the other two), for every slider
// from -300 to 400 and a stride through the rest of the 16-bit range, against a table of the
// definition per slider.
TEST_P(TonefadeSweep, EveryReachablePairOnEveryChannel) {
    const int w = 511, h = 3 * 256;
    World src(w, h), dst(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            UInt8 c[3];
            c[y / 256] = UInt8(y);
            c[(y / 256 + 1) % 3] = UInt8(std::min(x, 255));
            c[(y / 256 + 2) % 3] = UInt8(x - std::min(x, 255));
            src.Row(y)[x] = {UInt8(x + y), c[0], c[1], c[2]};
        }
    std::vector<int> sliders;
    for (int s = -300; s <= 400; ++s) sliders.push_back(s);
    for (int s = -32768; s <= 32767; s += 61) sliders.push_back(s);
    sliders.push_back(32767);
    std::vector<UInt8> ref(256 * 256);  // [mixer][channel]
    for (int s : sliders) {
        for (int i = 0; i < 256 * 256; ++i) ref[i] = RefChannel(i % 256, i / 256, SInt16(s));
        TonefadeEffect(src.gw, dst.gw, Rect{0, 0, SInt16(h), SInt16(w)}, true, SInt16(s));
        long bad = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const pixRec in = src.Row(y)[x], got = dst.Row(y)[x];
                const int m = 256 * ((in.red + in.green + in.blue) / 3);
                const pixRec want = {in.alpha, ref[m + in.red], ref[m + in.green], ref[m + in.blue]};
                bad += std::memcmp(&got, &want, sizeof got) != 0;
            }
        ASSERT_EQ(bad, 0) << "slider " << s;
    }
}

std::string ModeName(const Mode& mode) {
    static const char* const kNames[] = {"Auto", "Scalar", "AVX2", "AVX512", "AVX512VBMI"};
    return std::string(kNames[int(mode.isa)]) + (mode.exactOnly ? "Exact" : "");
}
std::string CaseName(const ::testing::TestParamInfo<std::tuple<Mode, SInt16>>& info) {
    const int slider = std::get<1>(info.param);
    const std::string sign = slider < 0 ? "_sliderMinus" : "_slider";
    return ModeName(std::get<0>(info.param)) + sign + std::to_string(std::abs(slider));
}
std::string SweepName(const ::testing::TestParamInfo<Mode>& info) { return ModeName(info.param); }

const auto kModes = ::testing::Values(Mode{TonefadeISA::kScalar, false}, Mode{TonefadeISA::kScalar, true},
                                      Mode{TonefadeISA::kAVX2, false}, Mode{TonefadeISA::kAVX2, true},
                                      Mode{TonefadeISA::kAVX512, false}, Mode{TonefadeISA::kAVX512, true},
                                      Mode{TonefadeISA::kAVX512VBMI, false}, Mode{TonefadeISA::kAVX512VBMI, true});

// The blend (with and without corrections), extrapolation (also by whole multiples and with
// corrections), the wide forms near and far, and the reduced forms for every divisor (2 and 4
// by a shift, 5 to 100 by a multiply; -1170 and -28 with corrections), far wide forms with
// corrections (-32765), and extrapolations that round toward zero by a limit per difference on
// the byte tables (199, 333); the blend's corrections as limits of the channel (29, 57) and of
// the grey (55, 68) on the byte tables; and amounts on the double expression, whose byte tables
// are patched on both sides of d (-32740, 110, 116).
const auto kSliders = ::testing::Values<SInt16>(-32768, -32765, -32740, -20050, -12701, -1170, -150, -50, -29, -28, 0, 1, 29,
                                                30, 50, 55, 57, 68, 80, 99, 100, 101, 102, 105, 110, 116, 120, 125, 150, 199,
                                                200, 333, 1000, 12800, 20050, 25600, 32767);

INSTANTIATE_TEST_SUITE_P(Tonefade, TonefadeExhaustive, ::testing::Combine(kModes, kSliders), CaseName);
INSTANTIATE_TEST_SUITE_P(Tonefade, TonefadeSweep, kModes, SweepName);

}  // namespace
