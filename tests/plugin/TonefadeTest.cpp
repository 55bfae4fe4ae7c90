// The Tonefade kernel on small worlds with known bytes, on every row kernel the processor has
// and with both arithmetics: worked examples, rectangles, strides, in place, lock states.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "effect/PixelLib.h"
#include "effect/Tonefade.h"
#include "effect/TonefadeKernels.h"
#include "support/ReferenceTonefade.h"

namespace {

using testsupport::RefChannel;
using testsupport::RefPixel;
using testsupport::Show;

using Pixels = std::vector<pixRec>;

Pixels RandomPixels(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    Pixels out(n);
    for (pixRec& p : out) {
        const UInt32 v = gen();
        std::memcpy(&p, &v, sizeof p);
    }
    return out;
}

struct World {
    GWorldPtr gw = nullptr;
    explicit World(const Rect& bounds, short depth = 32) { NewGWorld(&gw, depth, &bounds, nullptr, nullptr, 0); }
    World(int w, int h) : World(Rect{0, 0, SInt16(h), SInt16(w)}) {}
    ~World() { DisposeGWorld(gw); }
    World(const World&) = delete;
    World& operator=(const World&) = delete;
};

// A port's pixels row by row, each row at the port's own stride.
UInt8* RowOf(GWorldPtr gw, int row) {
    PixMapHandle pm = GetGWorldPixMap(gw);
    return reinterpret_cast<UInt8*>(GetPixBaseAddr(pm)) + long(row) * GetPixRowBytes(pm);
}
void PutPixels(GWorldPtr gw, const Pixels& px, int w) {
    for (std::size_t row = 0; row * w < px.size(); ++row) std::memcpy(RowOf(gw, int(row)), &px[row * w], w * 4);
}
Pixels GetPixels(GWorldPtr gw, int w, int h) {
    Pixels px(std::size_t(w) * h);
    for (int row = 0; row < h; ++row) std::memcpy(&px[std::size_t(row) * w], RowOf(gw, row), w * 4);
    return px;
}

// Inside the half-open rectangle the effect; outside the source, or what the target held.
Pixels Expected(const Pixels& src, const Pixels& before, int w, const Rect& r, bool copyRest, SInt16 slider) {
    Pixels out(src.size());
    for (std::size_t i = 0; i < src.size(); ++i) {
        const int row = int(i / w), col = int(i % w);
        const bool inside = r.top <= row && row < r.bottom && r.left <= col && col < r.right;
        out[i] = inside ? RefPixel(src[i], slider) : copyRest ? src[i] : before[i];
    }
    return out;
}

void ExpectPixels(const Pixels& got, const Pixels& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0, shown = 0; i < got.size() && shown < 5; ++i)
        if (std::memcmp(&got[i], &want[i], 4) != 0 && ++shown)
            ADD_FAILURE() << "pixel " << i << ": got " << Show(got[i]) << ", want " << Show(want[i]);
}

struct Mode {
    TonefadeISA isa;
    bool exactOnly;
};

class TonefadeKernel : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        if (!SetTonefadeISAForTesting(GetParam().isa)) GTEST_SKIP() << "instruction set not available";
        SetTonefadeExactOnlyForTesting(GetParam().exactOnly);
    }
    void TearDown() override {
        SetTonefadeISAForTesting(TonefadeISA::kAuto);
        SetTonefadeExactOnlyForTesting(false);
    }
};

TEST_P(TonefadeKernel, WorkedExamples) {
    struct Case {
        SInt16 slider;
        pixRec in, out;
    } cases[] = {
        {50, {255, 200, 100, 0}, {255, 150, 100, 50}}, {50, {255, 201, 100, 0}, {255, 150, 100, 50}},
        {80, {7, 67, 0, 0}, {7, 31, 17, 17}},           // a fused multiply-add would give red 30
        {30, {9, 0, 0, 30}, {9, 3, 3, 24}},             // 10 × 0.3 is exactly 3.0
        {200, {1, 250, 0, 50}, {1, 206, 200, 150}},     // -50 stored as its low byte
        {100, {10, 1, 1, 0}, {10, 0, 0, 0}},            {0, {90, 12, 200, 99}, {90, 12, 200, 99}},
        {-50, {3, 200, 100, 0}, {3, 250, 100, 206}},    {-32768, {4, 1, 0, 0}, {4, 72, 0, 0}},
        {-32768, {4, 255, 0, 0}, {4, 152, 52, 52}},     {32767, {5, 0, 0, 255}, {5, 203, 203, 104}},
        {29, {6, 0, 150, 150}, {6, 28, 135, 135}},      // the integer form would give red 29
        {68, {8, 224, 0, 0}, {8, 121, 50, 50}},         // the integer form would give red 122
        {20050, {7, 200, 201, 200}, {7, 200, 0, 200}},  // green: t = 50 >= 0 by one step of c
        {-20050, {7, 202, 200, 202}, {7, 146, 0, 146}},  // green: t = -50 < 0 by one step of c
    };
    for (const Case& c : cases) {
        World src(1, 1), dst(1, 1);
        PutPixels(src.gw, {c.in}, 1);
        TonefadeEffect(src.gw, dst.gw, Rect{0, 0, 1, 1}, true, c.slider);
        const pixRec got = GetPixels(dst.gw, 1, 1)[0];
        EXPECT_EQ(Show(got), Show(c.out)) << "slider " << c.slider;
    }
}

TEST_P(TonefadeKernel, MatchesDefinitionAcrossWidthsAndSliders) {
    const SInt16 sliders[] = {-32768, -32765, -25401, -20000, -12701, -12700, -300, -1, 0,     1,     29,
                              55,     56,     57,     58,     68,     70,   82, 99,    100,   101,
                              150,    200,    12799,  12800,  20000,  25500, 25599, 25600, 32767};
    for (int w : {1, 7, 8, 15, 16, 17, 31, 33, 64, 67}) {
        const Pixels src = RandomPixels(w * 2, unsigned(w));
        for (SInt16 slider : sliders)
            for (SInt16 left : {0, 5}) {  // rows starting on and off a 64-byte boundary
                World a(w, 2), b(w, 2);
                PutPixels(a.gw, src, w);
                const Rect r{0, left, 2, SInt16(w)};
                TonefadeEffect(a.gw, b.gw, r, true, slider);
                SCOPED_TRACE(::testing::Message() << "width " << w << " left " << left << " slider " << slider);
                ExpectPixels(GetPixels(b.gw, w, 2), Expected(src, src, w, r, true, slider));
            }
    }
}

// Every (channel, grey) pair a pixel can have, on each colour channel in turn: band k of 256
// rows carries the row's value in channel k and the column's (0..510) split over the other
// two. For each slider of the usual range, and the forms beyond it: the vector code treats
// the channels in different lanes, and corrections must hold wherever they apply.
TEST_P(TonefadeKernel, EveryReachablePairOnEveryChannel) {
    const int w = 511, h = 3 * 256;
    Pixels src(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            UInt8 c[3];
            c[y / 256] = UInt8(y);
            c[(y / 256 + 1) % 3] = UInt8(std::min(x, 255));
            c[(y / 256 + 2) % 3] = UInt8(x - std::min(x, 255));
            src[y * w + x] = {UInt8(x ^ y), c[0], c[1], c[2]};
        }
    World a(w, h), b(w, h);
    PutPixels(a.gw, src, w);
    std::vector<int> sliders;
    for (int s = 0; s <= 100; ++s) sliders.push_back(s);
    for (int s : {-32768, -20050, -12701, -12700, -150, -50, -1, 101, 150, 199, 12799, 12800, 20050, 25550, 25600,
                  32767})
        sliders.push_back(s);
    std::vector<UInt8> ref(256 * 256);  // [mixer][channel]
    for (int slider : sliders) {
        for (int i = 0; i < 256 * 256; ++i) ref[i] = RefChannel(i % 256, i / 256, SInt16(slider));
        TonefadeEffect(a.gw, b.gw, Rect{0, 0, SInt16(h), SInt16(w)}, true, SInt16(slider));
        Pixels want = src;
        for (pixRec& p : want) {
            const int m = 256 * ((p.red + p.green + p.blue) / 3);
            p = {p.alpha, ref[m + p.red], ref[m + p.green], ref[m + p.blue]};
        }
        SCOPED_TRACE(::testing::Message() << "slider " << slider);
        ExpectPixels(GetPixels(b.gw, w, h), want);
    }
}

TEST_P(TonefadeKernel, RectanglesAreHalfOpenAndClippedToTheFrame) {
    const int w = 19, h = 5;
    const Rect rects[] = {{0, 0, 5, 19},     {2, 0, 2, 19},  {4, 5, 1, 2},    {0, 19, 5, 40},
                          {5, 0, 9, 19},     {-9, -9, -1, -1}, {-3, -2, 2, 3}, {3, 4, 100, 100},
                          {1, 2, 2, 3},      {1, 1, 4, 18},  {-32768, -32768, 32767, 32767}};
    const Pixels src = RandomPixels(w * h, 7), before(w * h, pixRec{0xEE, 0xEE, 0xEE, 0xEE});
    for (const Rect& r : rects)
        for (bool copyRest : {true, false}) {
            World a(w, h), b(w, h);
            PutPixels(a.gw, src, w);
            PutPixels(b.gw, before, w);
            TonefadeEffect(a.gw, b.gw, r, copyRest, 57);
            SCOPED_TRACE(::testing::Message() << "rect " << r.top << ',' << r.left << ',' << r.bottom << ','
                                              << r.right << " copyRest " << copyRest);
            ExpectPixels(GetPixels(b.gw, w, h), Expected(src, before, w, r, copyRest, 57));
            ExpectPixels(GetPixels(a.gw, w, h), src);
        }
}

TEST_P(TonefadeKernel, InPlaceWithNilOrSameTarget) {
    const int w = 21, h = 4;
    const Rect r{1, 3, 3, 20};
    const Pixels src = RandomPixels(w * h, 3);
    for (bool nilDest : {true, false})
        for (bool copyRest : {true, false}) {
            World a(w, h);
            PutPixels(a.gw, src, w);
            TonefadeEffect(a.gw, nilDest ? nullptr : a.gw, r, copyRest, 29);
            SCOPED_TRACE(::testing::Message() << (nilDest ? "nil" : "same") << " target, copyRest " << copyRest);
            ExpectPixels(GetPixels(a.gw, w, h), Expected(src, src, w, r, false, 29));
        }
}

// Source and target together larger than any last-level cache the kernel allows for: the
// light forms (50, and 150 by the reduced form) store past the cache, 29 (corrected) does not;
// the rectangle splits every row it crosses into a copy, the effect and a copy.
TEST_P(TonefadeKernel, FramesLargerThanTheCache) {
    const int w = 3840, h = 1200;
    const Rect r{100, 960, 1100, 2881};
    const Pixels src = RandomPixels(std::size_t(w) * h, 5), before(src.size(), pixRec{1, 2, 3, 4});
    World a(w, h), b(w, h);
    PutPixels(a.gw, src, w);
    for (SInt16 slider : {50, 150, 29}) {
        PutPixels(b.gw, before, w);
        TonefadeEffect(a.gw, b.gw, r, true, slider);
        SCOPED_TRACE(::testing::Message() << "slider " << slider);
        ExpectPixels(GetPixels(b.gw, w, h), Expected(src, before, w, r, true, slider));
    }
}

// A port over caller-owned bytes with any stride; negative strides give bottom-up rows.
struct StridedPort {
    std::vector<UInt8> bytes;
    std::size_t rowSize;
    CGrafPtr port;
    StridedPort(int w, int h, SInt32 rowBytes)
        : bytes(std::size_t(std::abs(rowBytes)) * h, 0xAB), rowSize(std::abs(rowBytes)) {
        UInt8* top = bytes.data() + (rowBytes > 0 ? 0 : rowSize * (h - 1));
        port = toolbox::NewPortForPixels(Rect{0, 0, SInt16(h), SInt16(w)}, rowBytes, reinterpret_cast<Ptr>(top));
    }
    ~StridedPort() { toolbox::DisposePort(port); }
    int PaddingWritten(int w) const {  // bytes past each row's pixels
        int n = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) n += i % rowSize >= std::size_t(w) * 4 && bytes[i] != 0xAB;
        return n;
    }
};

TEST_P(TonefadeKernel, EachWorldWalkedWithItsOwnStride) {
    const int w = 13, h = 6;
    const Rect r{1, 2, 5, 12};
    const Pixels src = RandomPixels(w * h, 11);
    struct Case {
        SInt32 srcStride, dstStride;  // 0: an ordinary world
    } cases[] = {{0, w * 4 + 20},         {w * 4 + 36, 0},          {-(w * 4 + 8), w * 4 + 4},
                 {w * 4 + 12, -(w * 4)}, {w * 4 + 2, w * 4 + 6}};  // the last: pixels off 4-byte boundaries
    for (const Case& c : cases) {
        World sw(w, h), dw(w, h);
        std::optional<StridedPort> sp, dp;
        if (c.srcStride) sp.emplace(w, h, c.srcStride);
        if (c.dstStride) dp.emplace(w, h, c.dstStride);
        GWorldPtr s = sp ? sp->port : sw.gw, d = dp ? dp->port : dw.gw;
        PutPixels(s, src, w);
        TonefadeEffect(s, d, r, true, 70);
        SCOPED_TRACE(::testing::Message() << "strides " << c.srcStride << ' ' << c.dstStride);
        ExpectPixels(GetPixels(d, w, h), Expected(src, src, w, r, true, 70));
        EXPECT_EQ(dp ? dp->PaddingWritten(w) : 0, 0);
    }
}

// Every pixel map ends in the state it had; a target the kernel cannot walk is not written.
TEST_P(TonefadeKernel, PixelStatesRestoredAndMismatchesUnwritten) {
    enum Target { kOwn, kSame, kNil, kWider, kNarrower, kTaller, kShorter, kShallow, kShifted, kNilSource };
    struct Case {
        Target target;
        bool srcLocked, dstLocked;
    } cases[] = {{kOwn, false, false},   {kOwn, true, false},   {kOwn, false, true},    {kOwn, true, true},
                 {kSame, false, false},  {kSame, true, true},   {kNil, false, false},   {kNil, true, true},
                 {kWider, true, false},  {kNarrower, false, true}, {kTaller, false, false}, {kShorter, true, true},
                 {kShallow, true, false}, {kShifted, false, false}, {kNilSource, false, false}};
    for (const Case& c : cases) {
        // kShifted: same right and bottom as the source, but one column fewer.
        const int w = 8 + (c.target == kWider) - (c.target == kNarrower) - (c.target == kShifted);
        const int h = 5 + (c.target == kTaller) - (c.target == kShorter);
        World a(8, 5), b(Rect{0, SInt16(8 - w), SInt16(h), 8}, c.target == kShallow ? 16 : 32);
        PixMapHandle pa = GetGWorldPixMap(a.gw), pb = GetGWorldPixMap(b.gw);
        const std::size_t bytes = std::size_t(GetPixRowBytes(pb)) * h;
        std::memset(GetPixBaseAddr(pb), 0x5C, bytes);
        SetPixelsState(pa, c.srcLocked ? GWorldFlags(pixelsLocked) : 0u);
        SetPixelsState(pb, c.dstLocked ? GWorldFlags(pixelsLocked) : 0u);
        GWorldPtr target = c.target == kSame ? a.gw : c.target == kNil ? nullptr : b.gw;
        TonefadeEffect(c.target == kNilSource ? nullptr : a.gw, target, Rect{0, 0, 5, 8}, true, 29);
        SCOPED_TRACE(::testing::Message() << "case " << int(c.target) << c.srcLocked << c.dstLocked);
        EXPECT_EQ(GetPixelsState(pa), c.srcLocked ? GWorldFlags(pixelsLocked) : 0u);
        EXPECT_EQ(GetPixelsState(pb), c.dstLocked ? GWorldFlags(pixelsLocked) : 0u);
        const long untouched = std::count(GetPixBaseAddr(pb), GetPixBaseAddr(pb) + bytes, char(0x5C));
        EXPECT_TRUE(c.target < kWider || untouched == long(bytes));
    }
}

std::string ModeName(const ::testing::TestParamInfo<Mode>& info) {
    static const char* const kNames[] = {"Auto", "Scalar", "AVX2", "AVX512", "AVX512VBMI"};
    std::ostringstream name;
    name << kNames[int(info.param.isa)] << (info.param.exactOnly ? "Exact" : "");
    return name.str();
}

INSTANTIATE_TEST_SUITE_P(Tonefade, TonefadeKernel,
                         ::testing::Values(Mode{TonefadeISA::kScalar, false}, Mode{TonefadeISA::kScalar, true},
                                           Mode{TonefadeISA::kAVX2, false}, Mode{TonefadeISA::kAVX2, true},
                                           Mode{TonefadeISA::kAVX512, false}, Mode{TonefadeISA::kAVX512, true},
                                           Mode{TonefadeISA::kAVX512VBMI, false}, Mode{TonefadeISA::kAVX512VBMI, true}),
                         ModeName);

// Which form serves which slider: the exhaustive tests rely on meeting every kind. Beyond
// 0..100, sliders whose slider / 100 reduces to s' / k with both weights k − s' and s' within a
// signed byte take the reduced form (k = 2, 4 by a shift, the others by a multiply); otherwise
// the step a = floor(slider / 100) chooses between the two extrapolations (|a| <= 127 or not);
// 110 and 116 need more correction runs than the lookup holds.
TEST(TonefadeArithmetic, CheckedIntegerFormCorrectedOrExact) {
    using enum TonefadeForm;
    struct Case {
        SInt16 slider;
        TonefadeForm form;
        bool corrected;
    } cases[] = {{0, kBlend, false},           {50, kBlend, false},           {100, kBlend, false},
                 {29, kBlend, true},           {56, kBlend, true},            {-1, kExtrapolateReduced, false},
                 {101, kExtrapolateReduced, false}, {127, kExtrapolateReduced, false},
                 {150, kExtrapolateReduced, false}, {-50, kExtrapolateReduced, false},
                 {125, kExtrapolateReduced, false}, {-3075, kExtrapolateReduced, false},
                 {120, kExtrapolateReduced, false}, {-1170, kExtrapolateReduced, true},
                 {-28, kExtrapolateReduced, true}, {-99, kExtrapolate, false}, {199, kExtrapolate, false},
                 {-29, kExtrapolate, true},    {12799, kExtrapolate, false},
                 {-12700, kExtrapolate, false}, {12800, kExtrapolateWide, false}, {-12701, kExtrapolateWide, false},
                 {32767, kExtrapolateWide, false}, {-32768, kExtrapolateWide, false}, {110, kExact, false},
                 {116, kExact, false}};
    for (const Case& c : cases) {
        const TonefadeSliderInfo info = GetTonefadeSliderInfo(c.slider);
        EXPECT_EQ(info.form, c.form) << c.slider;
        EXPECT_EQ(info.arithmetic == TonefadeArithmetic::kExact, c.form == kExact) << c.slider;
        EXPECT_EQ(info.corrections > 0, c.corrected) << c.slider;
    }
    // Byte tables (with VBMI): every corrected blend, every extrapolation but the reduced forms
    // and the whole multiples, and the amounts on the double expression (patched tables).
    for (const SInt16 slider : {29, 35, 55, 56, 57, 58, 68, 70, 82, 199, -29, 20050, 32767, 110, 116, -32740})
        EXPECT_TRUE(GetTonefadeSliderInfo(slider).byteTables) << slider;
    for (const SInt16 slider : {0, 50, 100, 150, -28, 200})
        EXPECT_FALSE(GetTonefadeSliderInfo(slider).byteTables) << slider;
    SetTonefadeExactOnlyForTesting(true);
    EXPECT_EQ(GetTonefadeSliderInfo(50).arithmetic, TonefadeArithmetic::kExact);
    SetTonefadeExactOnlyForTesting(false);
    EXPECT_EQ(GetTonefadeSliderInfo(50).arithmetic, TonefadeArithmetic::kInteger);
}

}  // namespace
