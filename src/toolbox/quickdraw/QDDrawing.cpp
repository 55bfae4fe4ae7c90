// CopyBits and drawing into the current port: pens, colours, rectangles, ovals, lines.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "quickdraw/PortInternals.h"

namespace {

// The colour bytes of a pixel word (memory order A, R, G, B) on any processor.
UInt32 ColourBytesMask() {
    UInt32 mask;
    std::memcpy(&mask, "\0\xFF\xFF\xFF", 4);
    return mask;
}

UInt32* PixelAt(const BitMap& bm, int x, int y) {
    return reinterpret_cast<UInt32*>(bm.baseAddr + std::ptrdiff_t(y - bm.bounds.top) * bm.rowBytes +
                                     std::ptrdiff_t(x - bm.bounds.left) * 4);
}

const BitMap& PortBits(CGrafPtr port) { return *GetPortBitMapForCopyBits(port); }

// The rectangle where drawing in this port may land: its bounds cut by its clip.
Rect DrawableArea(CGrafPtr port) {
    Rect area;
    SectRect(&port->pixMap.bounds, &port->clipRect, &area);
    return area;
}

void PlotPixel(CGrafPtr port, const Rect& area, int x, int y, UInt32 pixel, SInt16 mode) {
    if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) return;
    UInt32* p = PixelAt(PortBits(port), x, y);
    if (mode == patXor || mode == srcXor)
        *p ^= ColourBytesMask();  // inverts the colour, keeps alpha
    else
        *p = pixel;
}

// Draws the pen-sized square at (x, y), the shape QuickDraw's pen leaves at each point.
void StampPen(CGrafPtr port, const Rect& area, int x, int y, UInt32 pixel) {
    for (int dy = 0; dy < port->penSize.v; ++dy)
        for (int dx = 0; dx < port->penSize.h; ++dx)
            PlotPixel(port, area, x + dx, y + dy, pixel, port->penMode);
}

}  // namespace

namespace toolbox {

UInt32 PixelFromRGB(const RGBColor& c) {
    UInt8 bytes[4] = {0xFF, UInt8(c.red >> 8), UInt8(c.green >> 8), UInt8(c.blue >> 8)};
    UInt32 word;
    std::memcpy(&word, bytes, 4);
    return word;
}

void FillPortRect(CGrafPtr port, const Rect& r, UInt32 pixel, SInt16 mode) {
    if (port == nullptr || port->pixMap.pixelSize != 32 || port->pixMap.baseAddr == nullptr) return;
    Rect area = DrawableArea(port), clipped;
    if (!SectRect(&r, &area, &clipped)) return;
    const UInt32 xorMask = (mode == patXor || mode == srcXor) ? ColourBytesMask() : 0;
    for (int y = clipped.top; y < clipped.bottom; ++y) {
        UInt32* p = PixelAt(PortBits(port), clipped.left, y);
        for (int x = clipped.left; x < clipped.right; ++x, ++p) *p = xorMask ? (*p ^ xorMask) : pixel;
    }
}

}  // namespace toolbox

using toolbox::CurrentPort;

void CopyBits(const BitMap* srcBits, const BitMap* dstBits, const Rect* srcRect, const Rect* dstRect,
              short, RgnHandle maskRgn) {
    if (!srcBits || !dstBits || !srcRect || !dstRect || !srcBits->baseAddr || !dstBits->baseAddr) return;
    int srcW = srcRect->right - srcRect->left, srcH = srcRect->bottom - srcRect->top;
    int dstW = dstRect->right - dstRect->left, dstH = dstRect->bottom - dstRect->top;
    if (srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return;
    Rect target;
    if (!SectRect(dstRect, &dstBits->bounds, &target)) return;
    if (maskRgn && *maskRgn && !SectRect(&target, &(*maskRgn)->rgnBBox, &target)) return;
    const bool sameSize = srcW == dstW && srcH == dstH;
    for (int y = target.top; y < target.bottom; ++y) {
        int sy = srcRect->top + int((long long)(y - dstRect->top) * srcH / dstH);
        if (sy < srcBits->bounds.top || sy >= srcBits->bounds.bottom) continue;
        UInt32* d = PixelAt(*dstBits, target.left, y);
        if (sameSize) {
            // Unscaled rows are copied as runs; only the part inside the source is read.
            int sx0 = srcRect->left + (target.left - dstRect->left);
            int x0 = target.left, x1 = target.right;
            if (sx0 < srcBits->bounds.left) x0 += srcBits->bounds.left - sx0;
            int sxEnd = sx0 + (x1 - target.left);
            if (sxEnd > srcBits->bounds.right) x1 -= sxEnd - srcBits->bounds.right;
            if (x1 <= x0) continue;
            const UInt32* s = PixelAt(*srcBits, sx0 + (x0 - target.left), sy);
            std::memmove(d + (x0 - target.left), s, std::size_t(x1 - x0) * 4);
            continue;
        }
        for (int x = target.left; x < target.right; ++x, ++d) {
            int sx = srcRect->left + int((long long)(x - dstRect->left) * srcW / dstW);
            if (sx < srcBits->bounds.left || sx >= srcBits->bounds.right) continue;
            *d = *PixelAt(*srcBits, sx, sy);
        }
    }
}

void RGBForeColor(const RGBColor* color) {
    if (color) CurrentPort()->foreColor = *color;
}
void RGBBackColor(const RGBColor* color) {
    if (color) CurrentPort()->backColor = *color;
}
void GetForeColor(RGBColor* color) {
    if (color) *color = CurrentPort()->foreColor;
}
void GetBackColor(RGBColor* color) {
    if (color) *color = CurrentPort()->backColor;
}
void PenMode(short mode) { CurrentPort()->penMode = mode; }
void PenSize(short width, short height) { CurrentPort()->penSize = Point{height, width}; }
void PenNormal() {
    CurrentPort()->penSize = Point{1, 1};
    CurrentPort()->penMode = patCopy;
}
void MoveTo(short h, short v) { CurrentPort()->penLoc = Point{v, h}; }
void Move(short dh, short dv) {
    Point& p = CurrentPort()->penLoc;
    p = Point{SInt16(p.v + dv), SInt16(p.h + dh)};
}
void GetPen(Point* pt) {
    if (pt) *pt = CurrentPort()->penLoc;
}

void LineTo(short h, short v) {
    CGrafPtr port = CurrentPort();
    Point from = port->penLoc;
    port->penLoc = Point{v, h};
    if (port->pixMap.pixelSize != 32 || port->pixMap.baseAddr == nullptr) return;
    Rect area = DrawableArea(port);
    UInt32 pixel = toolbox::PixelFromRGB(port->foreColor);
    int dx = h - from.h, dy = v - from.v;
    int steps = std::max(std::abs(dx), std::abs(dy));
    for (int i = 0; i <= steps; ++i) {
        int x = from.h + (steps ? int(std::lround(double(dx) * i / steps)) : 0);
        int y = from.v + (steps ? int(std::lround(double(dy) * i / steps)) : 0);
        StampPen(port, area, x, y, pixel);
    }
}
void Line(short dh, short dv) {
    Point p = CurrentPort()->penLoc;
    LineTo(SInt16(p.h + dh), SInt16(p.v + dv));
}

void PaintRect(const Rect* r) {
    CGrafPtr port = CurrentPort();
    if (r) toolbox::FillPortRect(port, *r, toolbox::PixelFromRGB(port->foreColor), port->penMode);
}

void EraseRect(const Rect* r) {
    CGrafPtr port = CurrentPort();
    if (r) toolbox::FillPortRect(port, *r, toolbox::PixelFromRGB(port->backColor), patCopy);
}

void InvertRect(const Rect* r) {
    if (r) toolbox::FillPortRect(CurrentPort(), *r, 0, patXor);
}

// The outline lies inside the rectangle, pen-size thick, as QuickDraw frames it.
void FrameRect(const Rect* r) {
    if (!r || EmptyRect(r)) return;
    CGrafPtr port = CurrentPort();
    UInt32 pixel = toolbox::PixelFromRGB(port->foreColor);
    short pw = port->penSize.h, ph = port->penSize.v;
    Rect edges[4] = {{r->top, r->left, SInt16(r->top + ph), r->right},
                     {SInt16(r->bottom - ph), r->left, r->bottom, r->right},
                     {SInt16(r->top + ph), r->left, SInt16(r->bottom - ph), SInt16(r->left + pw)},
                     {SInt16(r->top + ph), SInt16(r->right - pw), SInt16(r->bottom - ph), r->right}};
    for (const Rect& e : edges) toolbox::FillPortRect(port, e, pixel, port->penMode);
}

namespace {

__extension__ typedef unsigned __int128 UInt128;

// The oval inscribed in a rectangle, as a set of pixels: those whose centres lie inside
// the ellipse that touches the rectangle's four sides, together with the middle row(s)
// and column(s), so that, as on the Mac, the oval reaches all four sides however flat it
// is. Exact integer arithmetic keeps it symmetric about both axes. Every row and every
// column of the set is one run, and runs grow towards the middle.
class OvalShape {
public:
    explicit OvalShape(const Rect& r) : r_(r), w_(long(r.right) - r.left), h_(long(r.bottom) - r.top) {}
    bool Empty() const { return w_ <= 0 || h_ <= 0; }
    // The run [left, right) of row y, which must lie within the rectangle.
    void Row(int y, int* left, int* right) const {
        long first = FirstInside(y - r_.top, h_, w_);
        *left = int(r_.left + first);
        *right = int(r_.right - first);
    }
    // The run [top, bottom) of column x.
    void Column(int x, int* top, int* bottom) const {
        long first = FirstInside(x - r_.left, w_, h_);
        *top = int(r_.top + first);
        *bottom = int(r_.bottom - first);
    }

private:
    // The offset of the first pixel of the set along line `line` (0 to lines - 1) of a
    // rectangle `lines` lines deep whose lines are `length` pixels long (rows or columns).
    static long FirstInside(long line, long lines, long length) {
        const long middle = (length - 1) / 2;  // the first middle pixel along the line
        if (line >= (lines - 1) / 2 && line <= lines / 2) return 0;  // a middle line is whole
        // Measured from the centre in half pixels, pixel j of line i has its centre at
        // (2j + 1 - length, 2i + 1 - lines); it lies in the ellipse with semi-axes length
        // and lines (in half pixels) when along^2 lines^2 + across^2 length^2 <= length^2 lines^2.
        const UInt128 across = UInt128(std::abs(2 * line + 1 - lines));
        const UInt128 n = UInt128(lines), m = UInt128(length);
        auto inside = [&](long j) {
            const UInt128 along = UInt128(std::abs(2 * j + 1 - length));
            return along * along * n * n + across * across * m * m <= m * m * n * n;
        };
        long lo = 0, hi = middle;  // the middle pixel belongs to every line
        while (lo < hi) {
            long mid = lo + (hi - lo) / 2;
            if (inside(mid)) hi = mid;
            else lo = mid + 1;
        }
        return lo;
    }

    Rect r_;
    long w_, h_;
};

}  // namespace

void PaintOval(const Rect* r) {
    if (!r) return;
    OvalShape oval(*r);
    if (oval.Empty()) return;
    CGrafPtr port = CurrentPort();
    UInt32 pixel = toolbox::PixelFromRGB(port->foreColor);
    Rect area = DrawableArea(port);
    for (int y = std::max<int>(r->top, area.top); y < std::min<int>(r->bottom, area.bottom); ++y) {
        int left, right;
        oval.Row(y, &left, &right);
        toolbox::FillPortRect(port, Rect{SInt16(y), SInt16(left), SInt16(y + 1), SInt16(right)}, pixel,
                              port->penMode);
    }
}

// The outline is the part of PaintOval's set that the pen, moved inside the set, cannot
// cover from the inside: the pixels of the set less than the pen's width from its edge
// along their row, or less than its height along their column. With a 1-pixel pen that
// is every pixel of the set with a side on the outside: a closed ring, 8-connected.
void FrameOval(const Rect* r) {
    if (!r) return;
    OvalShape oval(*r);
    if (oval.Empty()) return;
    CGrafPtr port = CurrentPort();
    UInt32 pixel = toolbox::PixelFromRGB(port->foreColor);
    Rect area = DrawableArea(port);
    const int pw = std::max<int>(port->penSize.h, 1), ph = std::max<int>(port->penSize.v, 1);
    for (int y = std::max<int>(r->top, area.top); y < std::min<int>(r->bottom, area.bottom); ++y) {
        int left, right;
        oval.Row(y, &left, &right);
        auto onOutline = [&](int x) {
            int top, bottom;
            oval.Column(x, &top, &bottom);
            return x - left < pw || right - x <= pw || y - top < ph || bottom - y <= ph;
        };
        // The outline of a row is a run at each end; each pixel is plotted once (XOR modes).
        int x = left;
        for (; x < right && onOutline(x); ++x) PlotPixel(port, area, x, y, pixel, port->penMode);
        for (int e = right - 1; e > x && onOutline(e); --e) PlotPixel(port, area, e, y, pixel, port->penMode);
    }
}

void ClipRect(const Rect* r) {
    if (r) CurrentPort()->clipRect = *r;
}
void GetClip(RgnHandle rgn) { RectRgn(rgn, &CurrentPort()->clipRect); }
