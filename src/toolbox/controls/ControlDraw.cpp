// How the standard controls look: flat, high-contrast shapes and DejaVu Sans text, so a
// person can read every control in a window snapshot. Also the geometry that drawing and
// tracking share: where a slider's thumb sits and where a pop-up's items open.
#include <algorithm>
#include <cstdint>

#include "quickdraw/PortInternals.h"
#include "windows/WindowInternals.h"

namespace {

const RGBColor kBlack{0, 0, 0};
const RGBColor kWhite{0xFFFF, 0xFFFF, 0xFFFF};
const RGBColor kFrame{0x6E6E, 0x6E6E, 0x6E6E};
const RGBColor kDimText{0x9090, 0x9090, 0x9090};
const RGBColor kFace{0xFAFA, 0xFAFA, 0xFAFA};
const RGBColor kPressed{0xB4B4, 0xC8C8, 0xE6E6};
const RGBColor kAccent{0x2F2F, 0x6B6B, 0xD0D0};
const RGBColor kAccentLight{0xDCDC, 0xE7E7, 0xFAFA};
const RGBColor kTrack{0xC4C4, 0xC4C4, 0xC4C4};

constexpr short kThumbSize = 14;

bool Dimmed(ControlRef c) { return GetControlHilite(c) >= kControlDisabledPart; }
bool Horizontal(const Rect& r) { return r.right - r.left >= r.bottom - r.top; }

void Fill(const Rect& r, const RGBColor& color) {
    RGBForeColor(&color);
    PaintRect(&r);
}
void Frame(const Rect& r, const RGBColor& color, short thickness = 1) {
    RGBForeColor(&color);
    PenSize(thickness, thickness);
    FrameRect(&r);
    PenNormal();
}

void UseFont(ControlRef c, Style face = normal) {
    TextFont(systemFont);
    TextSize(toolbox::ControlFontSize(c));
    TextFace(Style(c->fontStyle | face));
}

short Ascent() {
    FontInfo fi;
    GetFontInfo(&fi);
    return fi.ascent;
}
short LineHeight() {
    FontInfo fi;
    GetFontInfo(&fi);
    return short(fi.ascent + fi.descent + fi.leading);
}

void DrawBytes(const std::string& text) { DrawText(text.data(), 0, short(std::min<std::size_t>(text.size(), 32767))); }
short WidthOf(const std::string& text) { return TextWidth(text.data(), 0, short(std::min<std::size_t>(text.size(), 32767))); }

// One line of text vertically centred in r, aligned by just.
void DrawLineIn(const Rect& r, const std::string& text, SInt16 just, const RGBColor& color) {
    const short w = WidthOf(text);
    short x = r.left;
    if (just == teCenter) x = short(r.left + (r.right - r.left - w) / 2);
    if (just == teFlushRight) x = short(r.right - w);
    FontInfo fi;
    GetFontInfo(&fi);
    RGBForeColor(&color);
    MoveTo(x, short(r.top + (r.bottom - r.top + fi.ascent - fi.descent) / 2));
    DrawBytes(text);
}

void DrawPushButton(ControlRef c) {
    const bool isDefault = c->owner->defaultButton == c;
    Rect r = c->bounds;
    Fill(r, c->hilite == kControlButtonPart ? kPressed : isDefault && !Dimmed(c) ? kAccentLight : kFace);
    Frame(r, isDefault && !Dimmed(c) ? kAccent : kFrame, isDefault ? 2 : 1);
    UseFont(c, isDefault ? bold : normal);
    DrawLineIn(r, c->text, teCenter, Dimmed(c) ? kDimText : kBlack);
}

void DrawStaticText(ControlRef c) {
    RGBColor bg = toolbox::WindowBackground();
    Fill(c->bounds, bg);
    UseFont(c);
    ClipRect(&c->bounds);
    const int width = c->bounds.right - c->bounds.left;
    auto lines = toolbox::WrapMacRoman(c->text, width, systemFont, toolbox::ControlFontSize(c), c->fontStyle);
    const short lh = LineHeight(), ascent = Ascent();
    short y = short(c->bounds.top + ascent);
    RGBForeColor(Dimmed(c) ? &kDimText : &kBlack);
    for (const std::string& line : lines) {
        if (y - ascent >= c->bounds.bottom) break;
        short w = WidthOf(line);
        short x = c->just == teCenter ? short(c->bounds.left + (width - w) / 2)
                  : c->just == teFlushRight ? short(c->bounds.right - w) : c->bounds.left;
        MoveTo(x, y);
        DrawBytes(line);
        y = short(y + lh);
    }
}

void DrawEditText(ControlRef c) {
    const bool focused = c->owner->focus == c && c->owner->active;
    Fill(c->bounds, kWhite);
    Frame(c->bounds, focused ? kAccent : kFrame, focused ? 2 : 1);
    Rect inner = c->bounds;
    InsetRect(&inner, 4, 2);
    ClipRect(&inner);
    UseFont(c);
    std::string shown = c->password ? std::string(c->text.size(), '\xA5') : c->text;
    FontInfo fi;
    GetFontInfo(&fi);
    const short baseline = short(inner.top + (inner.bottom - inner.top + fi.ascent - fi.descent) / 2);
    auto xAt = [&](SInt16 index) {
        return short(inner.left + WidthOf(shown.substr(0, std::size_t(std::clamp<int>(index, 0, int(shown.size()))))));
    };
    if (focused && c->selection.selEnd > c->selection.selStart)
        Fill(Rect{SInt16(baseline - fi.ascent), xAt(c->selection.selStart), SInt16(baseline + fi.descent),
                  xAt(c->selection.selEnd)},
             kAccentLight);
    RGBForeColor(Dimmed(c) ? &kDimText : &kBlack);
    MoveTo(inner.left, baseline);
    DrawBytes(shown);
    if (focused && c->selection.selEnd == c->selection.selStart) {
        short x = xAt(c->selection.selEnd);
        RGBForeColor(&kBlack);
        MoveTo(x, short(baseline - fi.ascent));
        LineTo(x, short(baseline + fi.descent));
    }
}

// A small downward triangle, the pop-up's sign.
void DrawArrow(short cx, short cy, const RGBColor& color) {
    RGBForeColor(&color);
    for (short i = 0; i < 4; ++i) {
        MoveTo(short(cx - 4 + i), short(cy - 2 + i));
        LineTo(short(cx + 4 - i), short(cy - 2 + i));
    }
}

void DrawPopupButton(ControlRef c) {
    Rect r = c->bounds;
    Fill(r, c->hilite == kControlMenuPart ? kPressed : kFace);
    Frame(r, kFrame);
    Rect arrowBox{r.top, SInt16(r.right - 20), r.bottom, r.right};
    Fill(Rect{SInt16(arrowBox.top + 1), arrowBox.left, SInt16(arrowBox.bottom - 1), SInt16(arrowBox.right - 1)}, kAccentLight);
    RGBForeColor(&kFrame);
    MoveTo(arrowBox.left, r.top);
    LineTo(arrowBox.left, short(r.bottom - 1));
    DrawArrow(short(arrowBox.left + 10), short((r.top + r.bottom) / 2), Dimmed(c) ? kDimText : kBlack);
    Str255 item;
    GetMenuItemText(c->menu, MenuItemIndex(std::max<SInt32>(c->value, 0)), item);
    std::string text(reinterpret_cast<const char*>(item + 1), item[0]);
    Rect textBox{r.top, SInt16(r.left + 8), r.bottom, SInt16(arrowBox.left - 4)};
    ClipRect(&textBox);
    UseFont(c);
    DrawLineIn(textBox, text.empty() ? c->text : text, teFlushLeft, Dimmed(c) ? kDimText : kBlack);
    ClipRect(&c->owner->port->pixMap.bounds);
    if (c->menuOpen) toolbox::DrawOpenPopupMenu(c);
}

// Thumb centres run from one end of the track to the other, half a thumb in from the ends.
struct Track {
    int start;
    int length;
    bool horizontal;
    int cross;  // centre on the other axis
};

Track TrackOf(ControlRef s) {
    const Rect& r = s->bounds;
    Track t;
    t.horizontal = Horizontal(r);
    const int along = t.horizontal ? r.right - r.left : r.bottom - r.top;
    t.start = (t.horizontal ? r.left : r.top) + kThumbSize / 2;
    t.length = std::max(0, along - kThumbSize - 1);
    t.cross = t.horizontal ? (r.top + r.bottom) / 2 : (r.left + r.right) / 2;
    return t;
}

int PositionFor(ControlRef s, SInt32 value) {
    Track t = TrackOf(s);
    const std::int64_t range = std::int64_t(s->maximum) - s->minimum;
    if (range <= 0 || t.length == 0) return t.horizontal ? t.start : t.start + t.length;
    std::int64_t offset = (std::int64_t(value) - s->minimum) * t.length;
    int along = int((offset * 2 + range) / (range * 2));  // rounded half up
    // Vertical sliders have their minimum at the bottom.
    return t.horizontal ? t.start + along : t.start + t.length - along;
}

void DrawSlider(ControlRef c) {
    Fill(c->bounds, toolbox::WindowBackground());
    Track t = TrackOf(c);
    const int pos = PositionFor(c, c->ghostValue.value_or(c->value));
    const bool dim = Dimmed(c);
    Rect groove = t.horizontal ? Rect{SInt16(t.cross - 2), SInt16(t.start), SInt16(t.cross + 2), SInt16(t.start + t.length + 1)}
                               : Rect{SInt16(t.start), SInt16(t.cross - 2), SInt16(t.start + t.length + 1), SInt16(t.cross + 2)};
    Fill(groove, kTrack);
    Rect filled = groove;
    if (t.horizontal) filled.right = SInt16(pos + 1);
    else filled.top = SInt16(pos);
    if (!dim) Fill(filled, kAccent);
    Frame(groove, kFrame);
    Rect thumb = toolbox::SliderThumbRect(c);
    if (c->ghostValue) thumb = t.horizontal ? Rect{thumb.top, SInt16(pos - kThumbSize / 2), thumb.bottom, SInt16(pos - kThumbSize / 2 + kThumbSize)}
                                            : Rect{SInt16(pos - kThumbSize / 2), thumb.left, SInt16(pos - kThumbSize / 2 + kThumbSize), thumb.right};
    RGBForeColor(c->hilite == kControlIndicatorPart ? &kPressed : &kWhite);
    PaintOval(&thumb);
    RGBForeColor(dim ? &kDimText : &kFrame);
    FrameOval(&thumb);
}

}  // namespace

namespace toolbox {

Rect SliderThumbRect(ControlRef slider) {
    if (!IsLiveControl(slider) || slider->kind != ControlKind::Slider) return Rect{0, 0, 0, 0};
    Track t = TrackOf(slider);
    const int pos = PositionFor(slider, slider->value);
    const int a = pos - kThumbSize / 2, b = t.cross - kThumbSize / 2;
    return t.horizontal ? Rect{SInt16(b), SInt16(a), SInt16(b + kThumbSize), SInt16(a + kThumbSize)}
                        : Rect{SInt16(a), SInt16(b), SInt16(a + kThumbSize), SInt16(b + kThumbSize)};
}

Point SliderPointForValue(ControlRef slider, SInt32 value) {
    if (!IsLiveControl(slider) || slider->kind != ControlKind::Slider) return Point{0, 0};
    Track t = TrackOf(slider);
    const int pos = PositionFor(slider, std::clamp(value, slider->minimum, std::max(slider->minimum, slider->maximum)));
    return t.horizontal ? Point{SInt16(t.cross), SInt16(pos)} : Point{SInt16(pos), SInt16(t.cross)};
}

SInt32 SliderValueAtPoint(ControlRef slider, Point where) {
    if (!IsLiveControl(slider) || slider->kind != ControlKind::Slider) return 0;
    Track t = TrackOf(slider);
    const std::int64_t range = std::int64_t(slider->maximum) - slider->minimum;
    if (range <= 0 || t.length == 0) return slider->minimum;
    int along = std::clamp((t.horizontal ? where.h : where.v) - t.start, 0, t.length);
    if (!t.horizontal) along = t.length - along;
    return SInt32(slider->minimum + (std::int64_t(along) * range * 2 + t.length) / (std::int64_t(t.length) * 2));
}

Rect PopupMenuRect(ControlRef popup) {
    const std::vector<std::string>* items = MenuItemTexts(popup->menu);
    const int count = items ? int(items->size()) : 0;
    SaveGWorld saved;
    SetGWorld(popup->owner->port, nullptr);
    TextFont(systemFont);
    TextSize(ControlFontSize(popup));
    TextFace(normal);
    int width = popup->bounds.right - popup->bounds.left;
    for (int i = 0; i < count; ++i) width = std::max(width, WidthOf((*items)[std::size_t(i)]) + 32);
    const Rect& port = popup->owner->port->pixMap.bounds;
    const int height = count * kPopupItemHeight + 2;
    // Below the button when it fits, else above it, else from the top of the window.
    int top = popup->bounds.bottom;
    if (top + height > port.bottom) top = popup->bounds.top - height;
    if (top < 0) top = 0;
    int left = std::min<int>(popup->bounds.left, std::max(0, port.right - width));
    return Rect{SInt16(top), SInt16(left), SInt16(top + height), SInt16(left + width)};
}

Rect PopupMenuItemRect(ControlRef popup, MenuItemIndex item) {
    if (!IsLiveControl(popup) || popup->kind != ControlKind::PopupButton || item < 1 ||
        item > CountMenuItems(popup->menu))
        return Rect{0, 0, 0, 0};
    Rect menu = PopupMenuRect(popup);
    SInt16 top = SInt16(menu.top + 1 + (item - 1) * kPopupItemHeight);
    return Rect{top, SInt16(menu.left + 1), SInt16(top + kPopupItemHeight), SInt16(menu.right - 1)};
}

void DrawOpenPopupMenu(ControlRef popup) {
    Rect menu = PopupMenuRect(popup);
    Fill(menu, kWhite);
    Frame(menu, kFrame);
    const std::vector<std::string>* items = MenuItemTexts(popup->menu);
    UseFont(popup);
    for (MenuItemIndex i = 1; items && i <= items->size(); ++i) {
        Rect r = PopupMenuItemRect(popup, i);
        const bool hot = i == popup->openItem;
        if (hot) Fill(r, kAccent);
        if (SInt32(i) == popup->value) DrawLineIn(Rect{r.top, SInt16(r.left + 4), r.bottom, r.right}, "\xA5", teFlushLeft, hot ? kWhite : kBlack);
        DrawLineIn(Rect{r.top, SInt16(r.left + 18), r.bottom, r.right}, (*items)[i - 1u], teFlushLeft, hot ? kWhite : kBlack);
    }
}

void DrawControlNow(ControlRef control) {
    switch (control->kind) {
        case ControlKind::PushButton: DrawPushButton(control); break;
        case ControlKind::Slider: DrawSlider(control); break;
        case ControlKind::StaticText: DrawStaticText(control); break;
        case ControlKind::EditText: DrawEditText(control); break;
        case ControlKind::PopupButton: DrawPopupButton(control); break;
        case ControlKind::Custom: break;
    }
    PenNormal();
    ClipRect(&control->owner->port->pixMap.bounds);
}

}  // namespace toolbox
