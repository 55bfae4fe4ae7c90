// tonefade.so as a frei0r host sees it: its description, settings that start from the
// saved ones and stay with their instance, the effect's defined answer to every bad
// parameter, and the fades.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

extern "C" {
#include <frei0r.h>
}

#include "Frei0rPlugin.h"
#include "effect/PrefsLoader.h"
#include "support/Files.h"
#include "support/PluginTestSupport.h"

using frei0rtest::Expected;
using frei0rtest::MaxByteDifference;
using frei0rtest::RandomFrame;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kW = 37, kH = 23;  // odd on purpose

enum { kAmount, kLeft, kTop, kRight, kBottom, kFadeIn, kFadeOut, kClipLength };

// Every test starts from saved settings of its own: 37 % in (0.1, 0.2)-(0.8, 0.9).
class Frei0rAdapter : public ::testing::Test {
protected:
    void SetUp() override {
        toolbox::SetPreferencesFolder(prefs.path().string());
        pluginDataRec saved = testsupport::SettingsWith(37, SetRelRect(0.1, 0.2, 0.8, 0.9));
        ASSERT_TRUE(SaveConfig(&saved));
    }
    void TearDown() override { toolbox::SetPreferencesFolder(""); }
    testsupport::TempFolder prefs;
    frei0rtest::Plugin plugin;
};

TEST_F(Frei0rAdapter, DescribesAFilterOfRgbaFramesWithItsParametersInOrder) {
    f0r_plugin_info_t info{};
    plugin.getPluginInfo(&info);
    EXPECT_STREQ(info.name, "tonefade");
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.frei0r_version, FREI0R_MAJOR_VERSION);
    EXPECT_NE(std::string(info.explanation).find("one at a time"), std::string::npos);
    // ffmpeg passes them by position: the order is part of the interface.
    const char* names[] = {"amount", "rect-left", "rect-top", "rect-right", "rect-bottom",
                           "fade-in", "fade-out", "clip-length"};
    ASSERT_EQ(info.num_params, 8);
    for (int i = 0; i < 8; ++i) {
        f0r_param_info_t param{};
        plugin.getParamInfo(&param, i);
        EXPECT_STREQ(param.name, names[i]);
        EXPECT_EQ(param.type, F0R_PARAM_DOUBLE);
    }
}

TEST_F(Frei0rAdapter, StartsFromTheSavedSettingsAndEachInstanceKeepsItsOwn) {
    void* a = plugin.construct(kW, kH);
    void* b = plugin.construct(kW, kH);
    ASSERT_TRUE(a && b);
    const double want[] = {0.37, 0.1, 0.2, 0.8, 0.9, 0.0, 0.0, 0.0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(plugin.Get(a, i), want[i]) << i;
    plugin.Set(b, kAmount, 1.5);
    plugin.Set(b, kLeft, 0.25);
    EXPECT_EQ(plugin.Get(a, kAmount), 0.37);
    const auto frame = RandomFrame(kW, kH, 1);
    EXPECT_EQ(plugin.Render(a, 1.0, frame), Expected(frame, kW, kH, SetRelRect(0.1, 0.2, 0.8, 0.9), 37));
    EXPECT_EQ(plugin.Render(b, 1.0, frame), Expected(frame, kW, kH, SetRelRect(0.25, 0.2, 0.8, 0.9), 150));
    plugin.destruct(a);
    plugin.destruct(b);
}

// Each bad value becomes what the effect defines for it: amounts round to whole percent
// and saturate at the 16-bit ends (not a number: 0); rectangle fractions go to the
// effect unchanged (it maps a value that is not a number, or past 2^63 pixels, to 0 and
// an inverted rectangle to none).
TEST_F(Frei0rAdapter, BadParametersGiveTheEffectsDefinedResult) {
    struct Case {
        int index;
        double value;
        SInt16 percent;
        relRect rect;  // left, right, top, bottom as the effect keeps them
        double reads;
    };
    const relRect saved{0.1, 0.8, 0.2, 0.9};
    const Case cases[] = {
        {kAmount, kNaN, 0, saved, 0.0},
        {kAmount, kInf, 32767, saved, 327.67},
        {kAmount, -kInf, -32768, saved, -327.68},
        {kAmount, 1e300, 32767, saved, 327.67},
        {kAmount, -1e300, -32768, saved, -327.68},
        {kAmount, 0.29, 29, saved, 0.29},  // 28.999… in doubles: rounded, not cut
        {kAmount, -0.5, -50, saved, -0.5},
        {kAmount, 2.0, 200, saved, 2.0},
        {kLeft, 0.95, 37, {0.95, 0.8, 0.2, 0.9}, 0.95},  // inverted: nothing inside
        {kTop, 1.0, 37, {0.1, 0.8, 1.0, 0.9}, 1.0},
        {kLeft, kNaN, 37, {kNaN, 0.8, 0.2, 0.9}, kNaN},
        {kRight, kInf, 37, {0.1, kInf, 0.2, 0.9}, kInf},
        {kBottom, 1e300, 37, {0.1, 0.8, 0.2, 1e300}, 1e300},
        {kLeft, -3.0, 37, {-3.0, 0.8, 0.2, 0.9}, -3.0},
        {kRight, 40.0, 37, {0.1, 40.0, 0.2, 0.9}, 40.0},
    };
    const auto frame = RandomFrame(kW, kH, 2);
    for (const Case& c : cases) {
        void* instance = plugin.construct(kW, kH);
        ASSERT_TRUE(instance);
        plugin.Set(instance, c.index, c.value);
        const double reads = plugin.Get(instance, c.index);
        EXPECT_TRUE(reads == c.reads || (std::isnan(reads) && std::isnan(c.reads))) << c.index << " " << c.value;
        EXPECT_EQ(plugin.Render(instance, 0.0, frame), Expected(frame, kW, kH, c.rect, c.percent))
            << "parameter " << c.index << " = " << c.value;
        plugin.destruct(instance);
    }
}

TEST_F(Frei0rAdapter, SizesNoWorldCanHaveAndMissingFramesAreRefusedQuietly) {
    EXPECT_EQ(plugin.construct(0, 8), nullptr);
    EXPECT_EQ(plugin.construct(8, 0), nullptr);
    EXPECT_EQ(plugin.construct(40000, 8), nullptr);
    EXPECT_EQ(plugin.construct(32767, 32767), nullptr);
    void* instance = plugin.construct(1, 1);
    ASSERT_TRUE(instance);
    uint32_t pixel = 0x11223344, out = 0;
    plugin.update(nullptr, 0.0, &pixel, &out);
    plugin.update(instance, 0.0, nullptr, &out);
    plugin.update(instance, 0.0, &pixel, nullptr);
    EXPECT_EQ(out, 0u);
    plugin.Set(instance, 8, 1.0);
    plugin.Set(instance, -1, 1.0);
    EXPECT_EQ(plugin.Get(instance, 8), 0.0);
    plugin.destruct(instance);
    plugin.destruct(nullptr);
}

// A clip of 0.8 s with fades of 0.2 s, at 25 frames a second: the render pass's frames
// 0..4 and 16..19 are faded, at its opacities (one step apart at most, where its frame
// counts and these seconds round differently). Times and lengths that are not finite
// numbers fade nothing, or cover the frame whole where the schedule says so.
TEST_F(Frei0rAdapter, FadesFollowTheRenderPassScheduleAndBadTimesStayDefined) {
    void* instance = plugin.construct(kW, kH);
    ASSERT_TRUE(instance);
    plugin.Set(instance, kFadeIn, 0.2);
    plugin.Set(instance, kFadeOut, 0.2);
    plugin.Set(instance, kClipLength, 0.8);
    const relRect rect = SetRelRect(0.1, 0.2, 0.8, 0.9);
    const auto frame = RandomFrame(kW, kH, 3);
    for (int f = 0; f < 20; ++f) {
        double progress = f < 5 ? f / 5.0 : f > 15 ? (20 - f) / 5.0 : 1.0;
        int opacity = f < 5 || f > 15 ? int((1.0 - progress) * 255.0) : -1;
        EXPECT_LE(MaxByteDifference(plugin.Render(instance, f / 25.0, frame), Expected(frame, kW, kH, rect, 37, opacity)),
                  1) << "frame " << f;
    }
    const auto processed = Expected(frame, kW, kH, rect, 37);
    EXPECT_EQ(plugin.Render(instance, kNaN, frame), processed);
    EXPECT_EQ(plugin.Render(instance, -1e300, frame), frame);  // before the clip: unprocessed
    EXPECT_EQ(plugin.Render(instance, kInf, frame), frame);    // past its end
    EXPECT_EQ(plugin.Render(instance, -kInf, frame), frame);
    plugin.Set(instance, kClipLength, kNaN);  // no length: no fades
    EXPECT_EQ(plugin.Get(instance, kClipLength), 0.0);
    EXPECT_EQ(plugin.Render(instance, 0.0, frame), processed);
    plugin.Set(instance, kClipLength, 0.8);
    plugin.Set(instance, kFadeIn, kInf);  // counts as none
    plugin.Set(instance, kFadeOut, kNaN);
    EXPECT_EQ(plugin.Render(instance, 0.0, frame), processed);
    plugin.Set(instance, kFadeIn, 1e300);  // held to the clip
    EXPECT_EQ(plugin.Render(instance, 0.0, frame), frame);
    EXPECT_LE(MaxByteDifference(plugin.Render(instance, 0.4, frame), Expected(frame, kW, kH, rect, 37, 127)), 1);
    plugin.destruct(instance);
}

TEST_F(Frei0rAdapter, AFrameRenderedInPlaceComesOutTheSame) {
    void* instance = plugin.construct(kW, kH);
    ASSERT_TRUE(instance);
    plugin.Set(instance, kFadeIn, 1.0);
    plugin.Set(instance, kClipLength, 10.0);
    const auto frame = RandomFrame(kW, kH, 4);
    for (double time : {0.3, 2.0}) {
        std::vector<uint32_t> inPlace = frame;
        plugin.update(instance, time, inPlace.data(), inPlace.data());
        EXPECT_EQ(inPlace, plugin.Render(instance, time, frame)) << time;
    }
    plugin.destruct(instance);
}

}  // namespace
