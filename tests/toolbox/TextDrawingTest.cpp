// Text with FreeType: the pen moves exactly as far as StringWidth says, glyphs land in
// the foreground colour inside the clip and nowhere else.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "quickdraw/QDText.h"
#include "support/ResourceBytes.h"
#include "support/Toolbox.h"

namespace {

class TextWorld : public ::testing::Test {
protected:
    void SetUp() override { world_ = testsupport::NewTextWorld(120, 30); }
    void TearDown() override { DisposeGWorld(world_); }

    const UInt8* Pixel(int x, int y) {
        PixMapHandle pm = GetGWorldPixMap(world_);
        return reinterpret_cast<const UInt8*>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + x * 4;
    }
    // Columns in [x0, x1) with any ink (ink lowers green whatever its hue here).
    int InkedColumns(int x0, int x1) {
        int n = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = 0; y < 30; ++y)
                if (Pixel(x, y)[2] != 0xFF) {
                    ++n;
                    break;
                }
        return n;
    }

    toolbox::SaveGWorld saved_;
    GWorldPtr world_ = nullptr;
};

using restest::Pascal;

TEST_F(TextWorld, DrawStringMovesThePenByStringWidth) {
    const char* samples[] = {"", "i", "W", "Tonefade 50%", "caf\x8E", "  ", "\xA5\xA5"};
    for (const char* s : samples) {
        const Pascal text(s);
        MoveTo(3, 20);
        short width = StringWidth(text);
        DrawString(text);
        Point pen;
        GetPen(&pen);
        EXPECT_EQ(pen, (Point{20, SInt16(3 + width)})) << s;
        EXPECT_EQ(TextWidth(text, 1, text.text[0]), width);
    }
    EXPECT_EQ(StringWidth(Pascal("")), 0);
}

TEST_F(TextWorld, WidthsAddUpAndGrowWithSizeAndBold) {
    EXPECT_EQ(StringWidth(Pascal("ab")), StringWidth(Pascal("a")) + StringWidth(Pascal("b")));
    EXPECT_EQ(CharWidth('a'), StringWidth(Pascal("a")));
    const Pascal word("Tonefade");
    short plain = StringWidth(word);
    TextFace(bold);
    EXPECT_GT(StringWidth(word), plain);
    TextFace(normal);
    TextSize(24);
    EXPECT_GT(StringWidth(word), plain + plain / 2);
    TextSize(12);
    TextFont(kFontIDMonaco);  // monospaced: every character as wide
    EXPECT_EQ(StringWidth(Pascal("iii")), StringWidth(Pascal("WWW")));
}

TEST_F(TextWorld, GlyphsAreInkedInTheForegroundColourOnlyWithinTheTextAndTheClip) {
    RGBColor red{0xFFFF, 0, 0};
    RGBForeColor(&red);
    const Pascal text("HHHH");
    const short width = StringWidth(text);
    Rect clip{0, 0, 30, 20};
    ClipRect(&clip);
    MoveTo(4, 20);
    DrawString(text);
    // Ink only between the pen's start and 20 (the clip), and it is red.
    EXPECT_GT(InkedColumns(4, 20), 5);
    EXPECT_EQ(InkedColumns(0, 4), 0);
    EXPECT_EQ(InkedColumns(20, 120), 0);
    bool sawSolid = false;
    for (int x = 4; x < 20; ++x)
        for (int y = 0; y < 30; ++y) {
            const UInt8* p = Pixel(x, y);
            EXPECT_EQ(p[0], 0xFF);
            EXPECT_EQ(p[1], 0xFF);            // red stays full
            EXPECT_EQ(p[2], p[3]);            // green and blue fade together
            sawSolid |= p[2] == 0;
        }
    EXPECT_TRUE(sawSolid);
    Point pen;
    GetPen(&pen);
    EXPECT_EQ(pen.h, 4 + width);  // the pen moves the full width even where clipped
}

TEST_F(TextWorld, FontInfoDescribesTheLine) {
    FontInfo info;
    GetFontInfo(&info);
    EXPECT_GE(info.ascent, 9);
    EXPECT_LE(info.ascent, 13);
    EXPECT_GE(info.descent, 2);
    EXPECT_GE(info.widMax, 10);
    TextSize(24);
    FontInfo big;
    GetFontInfo(&big);
    EXPECT_GE(big.ascent, 2 * info.ascent - 2);
}

TEST(FontFamilyTest, KnownNamesAndUnknownOnes) {
    const struct {
        const char* name;
        FMFontFamily family;
    } cases[] = {{"Geneva", kFontIDGeneva}, {"Monaco", kFontIDMonaco}, {"Helvetica", kFontIDHelvetica},
                 {"geneva", kInvalidFontFamily}, {"", kInvalidFontFamily}, {"Nonesuch", kInvalidFontFamily}};
    for (const auto& c : cases) EXPECT_EQ(FMGetFontFamilyFromName(Pascal(c.name)), c.family) << c.name;
    EXPECT_NE(toolbox::FontFileFor(kFontIDMonaco, normal), toolbox::FontFileFor(systemFont, normal));
    EXPECT_NE(toolbox::FontFileFor(systemFont, bold), toolbox::FontFileFor(systemFont, normal));
}

TEST(WrapTest, BreaksAtSpacesAndLineEndsAndSplitsLongWords) {
    const int w = toolbox::MeasureMacRoman("one two", systemFont, 12, normal);
    EXPECT_EQ(toolbox::WrapMacRoman("one two three", w, systemFont, 12, normal),
              (std::vector<std::string>{"one two", "three"}));
    EXPECT_EQ(toolbox::WrapMacRoman("a\rb\nc", 1000, systemFont, 12, normal), (std::vector<std::string>{"a", "b", "c"}));
    auto pieces = toolbox::WrapMacRoman(std::string(40, 'm'), w, systemFont, 12, normal);
    ASSERT_GT(pieces.size(), 1u);
    std::string joined;
    for (auto& p : pieces) {
        EXPECT_LE(toolbox::MeasureMacRoman(p, systemFont, 12, normal), w);
        joined += p;
    }
    EXPECT_EQ(joined, std::string(40, 'm'));
    EXPECT_EQ(toolbox::WrapMacRoman("", 50, systemFont, 12, normal), std::vector<std::string>{""});
}

}  // namespace
