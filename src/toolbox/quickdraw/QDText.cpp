// Text drawing with FreeType. Glyphs are laid out with whole-pixel hinted advances so
// that the width that StringWidth reports is exactly where DrawString leaves the pen.
#include "quickdraw/QDText.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>
#include <map>
#include <memory>
#include <unistd.h>

#include "corefoundation/CFString.h"
#include "quickdraw/PortInternals.h"

#ifndef TONEFADE_DEFAULT_FONT
#define TONEFADE_DEFAULT_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
#endif
#ifndef TONEFADE_DEFAULT_BOLD_FONT
#define TONEFADE_DEFAULT_BOLD_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
#endif

namespace {

constexpr short kDefaultSize = 12;

bool IsMonospaced(FMFontFamily family) { return family == kFontIDMonaco || family == kFontIDCourier; }

// The monospaced files sit beside the proportional ones in the same family.
std::string SiblingFile(const std::string& path, const char* from, const char* to) {
    std::string out = path;
    std::size_t at = out.rfind(from);
    if (at == std::string::npos) return path;
    out.replace(at, std::strlen(from), to);
    return ::access(out.c_str(), R_OK) == 0 ? out : path;
}

class FontCache {
public:
    FontCache() { ok_ = FT_Init_FreeType(&library_) == 0; }
    FontCache(const FontCache&) = delete;
    FontCache& operator=(const FontCache&) = delete;

    // A face set to the size, or nullptr when no font file can be opened.
    FT_Face Face(const std::string& path, short size) {
        if (!ok_) return nullptr;
        auto& slot = faces_[path];
        if (!slot.face && !slot.failed) {
            slot.failed = FT_New_Face(library_, path.c_str(), 0, &slot.face) != 0;
            if (slot.failed) slot.face = nullptr;
        }
        if (!slot.face) return nullptr;
        if (slot.size != size && FT_Set_Pixel_Sizes(slot.face, 0, FT_UInt(size)) == 0) slot.size = size;
        return slot.size == size ? slot.face : nullptr;
    }

private:
    struct Slot {
        FT_Face face = nullptr;
        short size = 0;
        bool failed = false;
    };
    FT_Library library_ = nullptr;
    bool ok_ = false;
    std::map<std::string, Slot> faces_;
};

FontCache& Fonts() {
    static FontCache cache;
    return cache;
}

short EffectiveSize(short size) { return size <= 0 ? kDefaultSize : size > 256 ? 256 : size; }

FT_Face FaceFor(FMFontFamily family, short size, Style face) {
    return Fonts().Face(toolbox::FontFileFor(family, face), EffectiveSize(size));
}

// Pen advance of one code point, in whole pixels (hinted), 0 when it cannot be loaded.
int Advance(FT_Face face, char32_t cp) {
    if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT) != 0) return 0;
    return int((face->glyph->advance.x + 32) >> 6);
}

std::u32string Decode(const std::string& macRoman) {
    std::string utf8 = toolbox::MacRomanToUTF8(reinterpret_cast<const unsigned char*>(macRoman.data()),
                                                macRoman.size());
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto b = UInt8(utf8[i]);
        int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra && i + std::size_t(k) < utf8.size(); ++k)
            cp = (cp << 6) | (UInt8(utf8[i + std::size_t(k)]) & 0x3F);
        i += std::size_t(extra) + 1;
        out += cp;
    }
    return out;
}

int LayoutWidth(FT_Face face, const std::u32string& text) {
    int width = 0;
    for (char32_t cp : text) width += Advance(face, cp);
    return width;
}

// Blends the coverage of one glyph bitmap in the foreground colour over the port.
void BlitGlyph(CGrafPtr port, const Rect& area, const FT_Bitmap& bm, int left, int top) {
    const RGBColor& fg = port->foreColor;
    const int fr = fg.red >> 8, fgG = fg.green >> 8, fb = fg.blue >> 8;
    for (unsigned row = 0; row < bm.rows; ++row) {
        int y = top + int(row);
        if (y < area.top || y >= area.bottom) continue;
        const UInt8* src = bm.buffer + std::ptrdiff_t(row) * bm.pitch;
        UInt8* line = reinterpret_cast<UInt8*>(port->pixMap.baseAddr) +
                      std::ptrdiff_t(y - port->pixMap.bounds.top) * port->pixMap.rowBytes;
        for (unsigned col = 0; col < bm.width; ++col) {
            int x = left + int(col);
            int cov = src[col];
            if (cov == 0 || x < area.left || x >= area.right) continue;
            UInt8* p = line + std::ptrdiff_t(x - port->pixMap.bounds.left) * 4;
            p[0] = 0xFF;
            p[1] = UInt8(p[1] + (fr - p[1]) * cov / 255);
            p[2] = UInt8(p[2] + (fgG - p[2]) * cov / 255);
            p[3] = UInt8(p[3] + (fb - p[3]) * cov / 255);
        }
    }
}

void DrawMacRoman(const std::string& macRoman) {
    CGrafPtr port = toolbox::CurrentPort();
    FT_Face face = FaceFor(port->txFont, port->txSize, Style(port->txFace));
    if (face == nullptr) return;
    std::u32string text = Decode(macRoman);
    const bool canDraw = port->pixMap.pixelSize == 32 && port->pixMap.baseAddr != nullptr;
    Rect area;
    SectRect(&port->pixMap.bounds, &port->clipRect, &area);
    int x = port->penLoc.h;
    const int baseline = port->penLoc.v;
    for (char32_t cp : text) {
        if (FT_Load_Char(face, cp, FT_LOAD_DEFAULT) != 0) continue;
        const int advance = int((face->glyph->advance.x + 32) >> 6);
        if (canDraw && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0)
            BlitGlyph(port, area, face->glyph->bitmap, x + face->glyph->bitmap_left,
                      baseline - face->glyph->bitmap_top);
        x += advance;
    }
    port->penLoc.h = SInt16(x);
}

std::string Bytes(const void* textBuf, short firstByte, short byteCount) {
    if (textBuf == nullptr || firstByte < 0 || byteCount <= 0) return {};
    return std::string(static_cast<const char*>(textBuf) + firstByte, std::size_t(byteCount));
}

}  // namespace

namespace toolbox {

std::string FontFileFor(FMFontFamily family, Style face) {
    std::string path = (face & bold) ? TONEFADE_DEFAULT_BOLD_FONT : TONEFADE_DEFAULT_FONT;
    if (IsMonospaced(family))
        path = (face & bold) ? SiblingFile(path, "Sans-Bold.ttf", "SansMono-Bold.ttf")
                             : SiblingFile(path, "Sans.ttf", "SansMono.ttf");
    return path;
}

int MeasureMacRoman(const std::string& macRoman, FMFontFamily family, short size, Style face) {
    FT_Face ft = FaceFor(family, size, face);
    return ft ? LayoutWidth(ft, Decode(macRoman)) : 0;
}

static std::vector<int> AdvanceTable(FT_Face ft) {
    std::vector<int> advance(256, 0);
    for (int ch = 0; ch < 256 && ft; ++ch) {
        std::u32string cps = Decode(std::string(1, char(ch)));
        advance[std::size_t(ch)] = cps.empty() ? 0 : Advance(ft, cps[0]);
    }
    return advance;
}

// Advances add up (no kerning), so each character is measured once and lines are cut
// by running sums.
std::vector<std::string> WrapMacRoman(const std::string& macRoman, int maxWidth, FMFontFamily family, short size,
                                      Style face) {
    std::vector<int> advance = AdvanceTable(FaceFor(family, size, face));
    std::vector<std::string> lines;
    std::string line;
    int lineWidth = 0;
    std::size_t lastSpace = std::string::npos;  // in line
    for (char c : macRoman) {
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            lineWidth = 0;
            lastSpace = std::string::npos;
            continue;
        }
        const int w = advance[UInt8(c)];
        if (lineWidth + w > maxWidth && !line.empty() && c != ' ') {
            if (lastSpace != std::string::npos) {
                std::string rest = line.substr(lastSpace + 1);
                line.resize(lastSpace);
                lines.push_back(line);
                line = rest;
            } else {
                lines.push_back(line);
                line.clear();
            }
            lastSpace = std::string::npos;
            lineWidth = 0;
            for (char r : line) lineWidth += advance[UInt8(r)];
        }
        if (c == ' ') lastSpace = line.size();
        line += c;
        lineWidth += w;
    }
    lines.push_back(line);
    return lines;
}

}  // namespace toolbox

void TextFont(short font) { toolbox::CurrentPort()->txFont = font; }
void TextSize(short size) { toolbox::CurrentPort()->txSize = size; }
void TextFace(Style face) { toolbox::CurrentPort()->txFace = face; }

void DrawString(ConstStr255Param s) {
    if (s) DrawMacRoman(std::string(reinterpret_cast<const char*>(s + 1), s[0]));
}
void DrawText(const void* textBuf, short firstByte, short byteCount) {
    DrawMacRoman(Bytes(textBuf, firstByte, byteCount));
}
void DrawChar(char ch) { DrawMacRoman(std::string(1, ch)); }

short TextWidth(const void* textBuf, short firstByte, short byteCount) {
    CGrafPtr port = toolbox::CurrentPort();
    return short(toolbox::MeasureMacRoman(Bytes(textBuf, firstByte, byteCount), port->txFont, port->txSize,
                                          Style(port->txFace)));
}
short StringWidth(ConstStr255Param s) { return s ? TextWidth(s, 1, s[0]) : 0; }
short CharWidth(char ch) { return TextWidth(&ch, 0, 1); }

void GetFontInfo(FontInfo* info) {
    if (info == nullptr) return;
    CGrafPtr port = toolbox::CurrentPort();
    FT_Face face = FaceFor(port->txFont, port->txSize, Style(port->txFace));
    if (face == nullptr) {
        *info = FontInfo{0, 0, 0, 0};
        return;
    }
    const FT_Size_Metrics& m = face->size->metrics;
    SInt16 ascent = SInt16((m.ascender + 63) >> 6);
    SInt16 descent = SInt16((-m.descender + 63) >> 6);
    SInt16 height = SInt16((m.height + 63) >> 6);
    *info = FontInfo{ascent, descent, SInt16((m.max_advance + 63) >> 6),
                     SInt16(height > ascent + descent ? height - ascent - descent : 0)};
}

FMFontFamily FMGetFontFamilyFromName(ConstStr255Param name) {
    if (name == nullptr) return kInvalidFontFamily;
    static const std::map<std::string, FMFontFamily> known = {
        {"System", systemFont}, {"Lucida Grande", systemFont}, {"Geneva", kFontIDGeneva},
        {"Monaco", kFontIDMonaco}, {"Times", kFontIDTimes},  {"Helvetica", kFontIDHelvetica},
        {"Courier", kFontIDCourier}, {"DejaVu Sans", applFont}, {"DejaVu Sans Mono", kFontIDMonaco}};
    auto it = known.find(std::string(reinterpret_cast<const char*>(name + 1), name[0]));
    return it == known.end() ? FMFontFamily(kInvalidFontFamily) : it->second;
}
