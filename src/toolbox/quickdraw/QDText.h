// QuickDraw text: the port's font, size and face, drawing Mac Roman text at the pen with
// FreeType, and measuring it so that layout code can place text before it draws it.
#pragma once

#include <string>
#include <vector>

#include "quickdraw/QuickDraw.h"

typedef SInt16 FMFontFamily;
typedef UInt8 Style;

struct FontInfo {
    SInt16 ascent;
    SInt16 descent;
    SInt16 widMax;
    SInt16 leading;
};

// Font family numbers that the stand-in knows; every other number draws as the system font.
enum : FMFontFamily {
    kInvalidFontFamily = -1,
    systemFont = 0,
    applFont = 1,
    kFontIDGeneva = 3,
    kFontIDMonaco = 4,
    kFontIDTimes = 20,
    kFontIDHelvetica = 21,
    kFontIDCourier = 22,
};

enum : Style { normal = 0, bold = 1, italic = 2, underline = 4 };

void TextFont(short font);
void TextSize(short size);
void TextFace(Style face);
// Draws at the pen (the pen is on the baseline) and moves the pen past the text.
void DrawString(ConstStr255Param s);
void DrawText(const void* textBuf, short firstByte, short byteCount);
void DrawChar(char ch);
// Exactly how far DrawString/DrawText move the pen for the same text in the same port.
short StringWidth(ConstStr255Param s);
short TextWidth(const void* textBuf, short firstByte, short byteCount);
short CharWidth(char ch);
void GetFontInfo(FontInfo* info);
FMFontFamily FMGetFontFamilyFromName(ConstStr255Param name);

namespace toolbox {

// The font file that draws a family and face (for diagnostics and tests).
std::string FontFileFor(FMFontFamily family, Style face);
// Width of Mac Roman text in a given font without touching any port.
int MeasureMacRoman(const std::string& macRoman, FMFontFamily family, short size, Style face);
// Breaks Mac Roman text into lines no wider than maxWidth, at spaces where it can and
// at CR or LF always; a word wider than a line is broken between characters.
std::vector<std::string> WrapMacRoman(const std::string& macRoman, int maxWidth, FMFontFamily family, short size,
                                      Style face);

}  // namespace toolbox
