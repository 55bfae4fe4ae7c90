// The driver: which pixels the kernel gets to see and which settings reach it.
#include <cstring>

#include "effect/CallPixelFX.h"
#include "effect/EffectBridge.h"
#include "support/PluginTestSupport.h"
#include "support/Toolbox.h"

namespace {

struct Worlds {
    GWorldPtr source, dest;
    Worlds(int w, int h) : source(testsupport::NewTestWorld(w, h)), dest(testsupport::NewTestWorld(w, h)) {
        testsupport::FillWorld(source, testsupport::PatternFrame(w, h, 42));
    }
    ~Worlds() {
        DisposeGWorld(source);
        DisposeGWorld(dest);
    }
};

pluginDataRec Record(SInt16 amount, relRect rect) { return testsupport::SettingsWith(amount, rect); }

TEST(CallPixelFX, TweenRectIsTheStartRectangleOnTheFrame) {
    pluginDataRec r = Record(0, relRect{0, 1, 0, 1});
    EXPECT_EQ(CalcTweenRect(&r, Rect{0, 0, 480, 720}, 3, 99), (Rect{0, 0, 480, 720}));
    r.startRel = relRect{0.25, 0.75, 0.1, 0.9};
    r.endRel = relRect{0.9, 0.1, 0.9, 0.1};
    EXPECT_EQ(CalcTweenRect(&r, Rect{10, 20, 250, 340}, 0, 0), (Rect{34, 100, 226, 260}));
    EXPECT_EQ(CalcTweenRect(&r, Rect{10, 20, 250, 340}, 1000, 5), (Rect{34, 100, 226, 260}));
}

// Frame index, endRel, sliders 2 to 6 and the colours never change the picture;
// the first slider does.
TEST(CallPixelFX, OnlyTheStartRectangleAndFirstSliderMatter) {
    const int W = 30, H = 20;
    Worlds w(W, H);
    pluginDataRec base = Record(60, relRect{0.2, 0.7, 0.1, 0.8});
    DoPixelEffect(w.source, w.dest, &base, 0, 10);
    const std::vector<UInt8> reference = testsupport::WorldPixels(w.dest);
    std::vector<UInt8> expected(reference.size());
    testsupport::ReferenceTonefade(testsupport::WorldPixels(w.source).data(), expected.data(), W, H,
                                   Rect{2, 6, 16, 21}, 60);
    EXPECT_EQ(reference, expected);

    auto variants = std::vector<void (*)(pluginDataRec&)>{
        [](pluginDataRec& r) { r.endRel = relRect{0.5, 0.6, 0.5, 0.6}; },
        [](pluginDataRec& r) { r.sliders[1] = 100; r.sliders[5] = -7; },
        [](pluginDataRec& r) { r.colors[2] = RGBColor{1, 2, 3}; r.frameStartColor = RGBColor{0, 0, 0}; },
        [](pluginDataRec& r) { r.frameEndColor = RGBColor{9, 9, 9}; r.mediaType = 3; },
    };
    for (std::size_t i = 0; i < variants.size(); ++i) {
        pluginDataRec r = base;
        variants[i](r);
        DoPixelEffect(w.source, w.dest, &r, SInt32(i * 7 + 1), 100);
        EXPECT_EQ(testsupport::WorldPixels(w.dest), reference) << "variant " << i;
    }
    pluginDataRec stronger = base;
    stronger.sliders[0] = 61;
    DoPixelEffect(w.source, w.dest, &stronger, 0, 10);
    EXPECT_NE(testsupport::WorldPixels(w.dest), reference);
}

TEST(CallPixelFX, DoEffectKeepsTheCurrentPortAndDevice) {
    Worlds w(8, 8);
    pluginDataRec r = Record(100, relRect{0, 1, 0, 1});
    toolbox::SaveGWorld saved;
    SetGWorld(w.source, nullptr);
    DoEffect(&r, nullptr, w.source, w.dest, 0, 0, 0, 1, 0.5, 0.5, 0.5, nullptr);
    CGrafPtr after;
    GDHandle afterDevice;
    GetGWorld(&after, &afterDevice);
    EXPECT_EQ(std::make_pair(after, afterDevice), std::make_pair(CGrafPtr(w.source), GetGWorldDevice(w.source)));
}

}  // namespace
