// NPickColor: a scripted choice comes back whole, Cancel and a missing input source
// leave the colour as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "input/EventScript.h"
#include "windows/ColorPicker.h"
#include "windows/MacWindows.h"

namespace {

NColorPickerInfo Request(UInt16 r, UInt16 g, UInt16 b) {
    NColorPickerInfo info{};
    info.theColor.color.rgb = CMRGBColor{r, g, b};
    info.flags = kColorPickerDialogIsMoveable | kColorPickerDialogIsModal | kColorPickerAppIsColorSyncAware |
                 kColorPickerInPickerDialog;
    info.placeWhere = kAtSpecifiedOrigin;
    const char prompt[] = "Please choose color:";
    info.prompt[0] = sizeof prompt - 1;
    std::memcpy(info.prompt + 1, prompt, sizeof prompt - 1);
    return info;
}

struct Outcome {
    NColorPickerInfo info;
    bool failed;
};

Outcome Pick(const std::string& script, NColorPickerInfo info) {
    toolbox::ScriptError error;
    auto source = toolbox::ScriptedEventSource::FromText(script, ::testing::TempDir(), &error);
    EXPECT_NE(source, nullptr) << error.Describe();
    toolbox::ScopedEventSource scope(source.get());
    EXPECT_EQ(NPickColor(&info), noErr);
    EXPECT_EQ(toolbox::LiveWindowCount(), 0);
    return Outcome{info, source->Failed()};
}

TEST(ColorPickerTest, OKHandsBackTheColourTheSlidersShow) {
    Outcome o = Pick("slider cpkr 1 255\nslider cpkr 2 128\nslider cpkr 3 0\nsnapshot picker.png\ncommand \"ok  \"\n",
                     Request(0x1000, 0x2000, 0x3000));
    EXPECT_FALSE(o.failed);
    EXPECT_TRUE(o.info.newColorChosen);
    EXPECT_EQ(o.info.theColor.color.rgb.red, 0xFFFF);
    EXPECT_EQ(o.info.theColor.color.rgb.green, 0x8080);
    EXPECT_EQ(o.info.theColor.color.rgb.blue, 0);
}

TEST(ColorPickerTest, UntouchedSlidersKeepTheStartingColoursHighBytes) {
    Outcome o = Pick("key return\n", Request(0xFF00, 0x80FF, 0x0001));
    EXPECT_TRUE(o.info.newColorChosen);
    EXPECT_EQ(o.info.theColor.color.rgb.red, 0xFFFF);
    EXPECT_EQ(o.info.theColor.color.rgb.green, 0x8080);
    EXPECT_EQ(o.info.theColor.color.rgb.blue, 0);
}

TEST(ColorPickerTest, CancelOrTheEndOfInputLeavesTheColourAsItWas) {
    for (const char* script : {"slider cpkr 1 3\ncommand not!\n", "slider cpkr 1 3\n", "key escape\n"}) {
        Outcome o = Pick(script, Request(0x1234, 0x5678, 0x9ABC));
        EXPECT_FALSE(o.info.newColorChosen) << script;
        EXPECT_EQ(o.info.theColor.color.rgb.red, 0x1234) << script;
        EXPECT_EQ(o.info.theColor.color.rgb.green, 0x5678);
        EXPECT_EQ(o.info.theColor.color.rgb.blue, 0x9ABC);
    }
}

TEST(ColorPickerTest, WithoutAnInputSourceNothingIsChosen) {
    NColorPickerInfo info = Request(1, 2, 3);
    info.newColorChosen = true;
    EXPECT_EQ(NPickColor(&info), noErr);
    EXPECT_FALSE(info.newColorChosen);
    EXPECT_EQ(info.theColor.color.rgb.red, 1);
    EXPECT_EQ(NPickColor(nullptr), paramErr);
}

}  // namespace
