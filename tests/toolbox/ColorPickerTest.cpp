// NPickColor: a scripted choice comes back whole, Cancel and a missing input source
// leave the colour as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "input/EventScript.h"
#include "support/Toolbox.h"
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

// A scripted choice comes back whole; untouched sliders keep the starting colour's high
// bytes; Cancel, Escape or the end of input leave the colour as it was.
TEST(ColorPickerTest, AScriptedChoiceComesBackWholeAndCancelKeepsTheColour) {
    const struct {
        const char* script;
        CMRGBColor start;
        bool chosen;
        CMRGBColor result;
    } cases[] = {
        {"slider cpkr 1 255\nslider cpkr 2 128\nslider cpkr 3 0\nsnapshot picker.png\ncommand \"ok  \"\n",
         {0x1000, 0x2000, 0x3000}, true, {0xFFFF, 0x8080, 0}},
        {"key return\n", {0xFF00, 0x80FF, 0x0001}, true, {0xFFFF, 0x8080, 0}},
        {"slider cpkr 1 3\ncommand not!\n", {0x1234, 0x5678, 0x9ABC}, false, {0x1234, 0x5678, 0x9ABC}},
        {"slider cpkr 1 3\n", {0x1234, 0x5678, 0x9ABC}, false, {0x1234, 0x5678, 0x9ABC}},
        {"key escape\n", {0x1234, 0x5678, 0x9ABC}, false, {0x1234, 0x5678, 0x9ABC}},
    };
    for (const auto& c : cases) {
        testsupport::TempFolder folder;
        auto source = testsupport::Script(c.script, folder.path().string());
        toolbox::ScopedEventSource scope(source.get());
        NColorPickerInfo info = Request(c.start.red, c.start.green, c.start.blue);
        EXPECT_EQ(NPickColor(&info), noErr);
        EXPECT_EQ(toolbox::LiveWindowCount(), 0);
        EXPECT_FALSE(source->Failed()) << c.script;
        const CMRGBColor& got = info.theColor.color.rgb;
        EXPECT_EQ(std::make_tuple(bool(info.newColorChosen), got.red, got.green, got.blue),
                  std::make_tuple(c.chosen, c.result.red, c.result.green, c.result.blue)) << c.script;
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
