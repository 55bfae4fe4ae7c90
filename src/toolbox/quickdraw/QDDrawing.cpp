// CopyBits and drawing into the current port: pens, colours, rectangles, ovals, lines.
#include <cmath>
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
// Calls plot(y, xFrom, xTo) for the span of each row inside the oval inscribed in r.
template <typename Plot>
void OvalSpans(const Rect& r, Plot plot) {
    double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
    double rx = (r.right - r.left) / 2.0, ry = (r.bottom - r.top) / 2.0;
    if (rx <= 0 || ry <= 0) return;
    for (int y = r.top; y < r.bottom; ++y) {
        double t = (y + 0.5 - cy) / ry;
        double half = rx * std::sqrt(std::max(0.0, 1.0 - t * t));
        int x0 = int(std::lround(cx - half)), x1 = int(std::lround(cx + half));
        if (x1 > x0) plot(y, x0, x1);
    }
}
}  // namespace

void PaintOval(const Rect* r) {
    if (!r) return;
    CGrafPtr port = CurrentPort();
    UInt32 pixel = toolbox::PixelFromRGB(port->foreColor);
    OvalSpans(*r, [&](int y, int x0, int x1) {
        toolbox::FillPortRect(port, Rect{SInt16(y), SInt16(x0), SInt16(y + 1), SInt16(x1)}, pixel,
                              port->penMode);
    });
}

void FrameOval(const Rect* r) {
    if (!r) return;
    CGrafPtr port = CurrentPort();
    UInt32 pixel = toolbox::PixelFromRGB(port->foreColor);
    Rect area = DrawableArea(port);
    int prev0 = -1, prev1 = -1;
    OvalSpans(*r, [&](int y, int x0, int x1) {
        // Join each row's ends to the previous row's so the outline has no gaps.
        int a0 = prev0 < 0 ? x0 : std::min(x0, prev0), a1 = prev0 < 0 ? x0 : std::max(x0, prev0);
        int b0 = prev1 < 0 ? x1 : std::min(x1, prev1), b1 = prev1 < 0 ? x1 : std::max(x1, prev1);
        for (int x = a0; x <= a1; ++x) PlotPixel(port, area, x, y, pixel, port->penMode);
        for (int x = b0; x <= b1; ++x) PlotPixel(port, area, x - 1, y, pixel, port->penMode);
        prev0 = x0;
        prev1 = x1;
    });
}

void ClipRect(const Rect* r) {
    if (r) CurrentPort()->clipRect = *r;
}
void GetClip(RgnHandle rgn) { RectRgn(rgn, &CurrentPort()->clipRect); }
