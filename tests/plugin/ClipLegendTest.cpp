// The clip position text "position/last" shows whole in every layout, up to the longest
// clip a host's 32-bit frame count describes.
#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "ConfigDialogTest.h"
#include "dialog/CarbonMacros.h"
#include "glue/PlugInMain.h"
#include "support/Toolbox.h"

namespace configtest {
namespace {

using testsupport::Sig;

// The field drawn by the toolbox with the given bounds: its pixels, and the first and
// last columns where anything differs from the field's background.
struct Drawn {
    std::vector<std::vector<UInt8>> rows;
    int firstInk = INT_MAX, lastInk = INT_MIN;
};

Drawn DrawField(WindowRef w, ControlRef field, const Rect& bounds, const Rect& keep) {
    SetControlBounds(field, &bounds);
    Draw1Control(field);
    const BitMap* bits = GetPortBitMapForCopyBits(GetWindowPort(w));
    auto at = [&](int x, int y) { return reinterpret_cast<const UInt8*>(bits->baseAddr) + y * bits->rowBytes + x * 4; };
    const UInt8* background = at(bounds.left, bounds.top);
    Drawn d;
    for (int y = bounds.top; y < bounds.bottom; ++y) {
        for (int x = bounds.left; x < bounds.right; ++x) {
            if (std::memcmp(at(x, y) + 1, background + 1, 3) == 0) continue;
            d.firstInk = std::min(d.firstInk, x);
            d.lastInk = std::max(d.lastInk, x);
        }
        d.rows.emplace_back(at(keep.left, y), at(keep.right, y));
    }
    return d;
}

// The text shows whole when the field drawn as the window has it is the same, pixel for
// pixel, as the field drawn far wider, and the wide drawing's ink lies within the field.
void ExpectWholeText(WindowRef w, const std::string& text) {
    SCOPED_TRACE(toolbox::WindowName(w) + " \"" + text + "\"");
    ControlRef field = SimpleGetControlByID(w, Sig("ClpM"), 1);
    ASSERT_NE(field, nullptr);
    Str255 pascal;
    CopyCStringToPascal(text.c_str(), pascal);
    SimpleSetControlText(w, Sig("ClpM"), 1, pascal);
    const Rect own = GetControlBox(field), wide{own.top, SInt16(own.right - 600), own.bottom, own.right};
    const Drawn asIs = DrawField(w, field, own, own), roomy = DrawField(w, field, wide, own);
    SetControlBounds(field, &own);
    EXPECT_GE(roomy.firstInk, own.left) << "the text is " << roomy.lastInk + 1 - roomy.firstInk << " pixels wide";
    EXPECT_TRUE(asIs.rows == roomy.rows) << "the field shows the text cut or wrapped";
}

TEST_F(ConfigDialogTest, ClipPositionShowsWholeForTheLongestClipInEveryLayout) {
    const std::string longest = "2147483646/2147483646";  // a clip of INT32_MAX frames, at its end
    std::set<std::string> checked;
    onStep = [&](WindowRef front) {
        if (front == nullptr || toolbox::WindowName(front).rfind("config", 0) != 0) return;
        if (toolbox::ControlTextMacRoman(SimpleGetControlByID(front, Sig("ClpM"), 1)) != longest) return;
        if (!checked.insert(toolbox::WindowName(front)).second) return;
        // Every ten-digit position and length, whichever digit is widest, then the real text.
        for (char digit = '0'; digit <= '9'; ++digit) ExpectWholeText(front, std::string(10, digit) + "/" + std::string(10, digit));
        ExpectWholeText(front, longest);
        for (const char* neighbour : {"ClpS", "Adva"}) {
            Rect overlap, field = SimpleGetControlBox(front, Sig("ClpM"), 1), other = SimpleGetControlBox(front, Sig(neighbour), 1);
            EXPECT_FALSE(SectRect(&field, &other, &overlap)) << neighbour << " overlaps the clip position";
        }
        DrawControls(front);
    };
    // The host says the clip is as long as a 32-bit count goes; the thumb is dragged past the end.
    Press("drag 300 520 990 520 2\npopup Medi 1 PAL\npopup Medi 1 HD\n", 0, [] { gMostRecentFrameCount = INT32_MAX; });
    EXPECT_EQ(Last().clipText, longest);
    EXPECT_EQ(Last().clipValue, INT32_MAX - 1);
    EXPECT_EQ(checked, (std::set<std::string>{"configNTSC", "configPAL", "configHD"}));
}

}  // namespace
}  // namespace configtest
