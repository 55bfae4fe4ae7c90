// PixelLib: direct pixel access, and the routines that read, write, blend, plot, smudge and
// rotate the 32-bit pixels of offscreen worlds.
#include "effect/PixelLib.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "effect/CommonProcs.h"

void GetPixInfoFromGWorld(GWorldPtr theGW, Ptr* pixBaseAddress, SInt32* pixRowBytes, Rect* theFrame,
                          GWorldFlags* pixFlags) {
    PixMapHandle thePixMap = GetGWorldPixMap(theGW);
    *pixFlags = GetPixelsState(thePixMap);
    LockPixels(thePixMap);
    *pixBaseAddress = GetPixBaseAddr(thePixMap);
    *pixRowBytes = GetPixRowBytes(thePixMap);
    GetPortBounds(theGW, theFrame);
}

namespace {

// Row strides are read through the low 14 bits only: the bits above them have carried flags.
constexpr SInt32 kStrideMask = 0x3FFF;

// Bytes per pixel as the pixel writer steps them (24 bits packed into 3 bytes).
int StepForDepth(SInt16 depth) {
    switch (depth) {
        case 8: return 1;
        case 16: return 2;
        case 24: return 3;
        default: return 4;
    }
}

// One world's pixels, locked while the object lives, seen with its top-left pixel as (0, 0).
// The state from before the lock comes back when the object dies, so locks taken in turn end
// in reverse order and a world locked twice ends in the state it had before the first lock.
class LockedPixels {
public:
    LockedPixels(GWorldPtr world, bool maskStride) : pm_(GetGWorldPixMap(world)) {
        Ptr base = nullptr;
        SInt32 rowBytes = 0;
        Rect frame{0, 0, 0, 0};
        GetPixInfoFromGWorld(world, &base, &rowBytes, &frame, &saved_);
        base_ = reinterpret_cast<UInt8*>(base);
        rowBytes_ = maskStride ? (rowBytes & kStrideMask) : rowBytes;
        width_ = frame.right - frame.left;
        height_ = frame.bottom - frame.top;
        depth_ = GetPixDepth(pm_);
    }
    ~LockedPixels() { SetPixelsState(pm_, saved_); }
    LockedPixels(const LockedPixels&) = delete;
    LockedPixels& operator=(const LockedPixels&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    SInt16 depth() const { return depth_; }
    SInt32 rowBytes() const { return rowBytes_; }
    Ptr base() const { return reinterpret_cast<Ptr>(base_); }
    bool Inside(int x, int y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }
    // A stride narrower than a row (a masked stride of a very wide map, say) would make rows
    // overlap; such a map is left alone rather than drawn wrongly.
    bool Walkable(int bytesPerPixel) const {
        return base_ != nullptr && rowBytes_ >= SInt32(bytesPerPixel) * std::max(width_, 0);
    }
    bool Holds32BitPixels() const { return depth_ == 32 && Walkable(4); }
    UInt8* At(int x, int y) const { return base_ + std::ptrdiff_t(rowBytes_) * y + std::ptrdiff_t(4) * x; }

private:
    PixMapHandle pm_;
    GWorldFlags saved_ = 0;
    UInt8* base_ = nullptr;
    SInt32 rowBytes_ = 0;
    int width_ = 0, height_ = 0;
    SInt16 depth_ = 0;
};

// Whole pixels are moved as one 4-byte word; memcpy keeps odd strides from misaligning.
pixRec Load(const UInt8* p) {
    pixRec px;
    std::memcpy(&px, p, sizeof px);
    return px;
}

void Store(UInt8* p, const pixRec& px) { std::memcpy(p, &px, sizeof px); }

// A channel value truncated toward zero and taken as a byte (sums past 255 wrap).
UInt8 ByteOf(double value) { return UInt8(TruncToSInt16(value)); }

// The high byte of a 16-bit colour component.
UInt8 HighByte(UInt16 component) { return UInt8(std::trunc(component / 256.0)); }

// Inclusive range of offsets; empty when hi < lo.
struct Range {
    int lo, hi;
};

// The offsets 0 .. count - 1 that keep start + offset inside 0 .. limit - 1.
Range OffsetsInside(int start, int count, int limit) {
    return Range{std::max(0, -start), std::min(count - 1, limit - 1 - start)};
}

Range Intersect(Range a, Range b) { return Range{std::max(a.lo, b.lo), std::min(a.hi, b.hi)}; }

// Calls paint for every pixel of the side x side square at (left, top) that lies inside the
// world: rows from the bottom of the square up, each row from right to left.
template <class Paint>
void ForSquareInside(const LockedPixels& px, int left, int top, int side, Paint paint) {
    const Range hs = OffsetsInside(left, side, px.width());
    const Range vs = OffsetsInside(top, side, px.height());
    for (int v = vs.hi; v >= vs.lo; --v)
        for (int h = hs.hi; h >= hs.lo; --h) paint(px.At(left + h, top + v));
}

// Locks a 32-bit world and paints the square when the anchor lies inside it.
template <class Paint>
void PaintSquare(GWorldPtr world, int anchorX, int anchorY, int left, int top, int side, Paint paint) {
    if (world == nullptr) return;
    LockedPixels px(world, true);
    if (!px.Holds32BitPixels() || !px.Inside(anchorX, anchorY)) return;
    ForSquareInside(px, left, top, side, paint);
}

// Truncation toward zero for rotated coordinates; false for NaN, infinities and values far
// outside any world, which no pixel can land on.
bool TruncToInt(double value, int* out) {
    if (!(std::fabs(value) < 1e9)) return false;
    *out = int(value);
    return true;
}

}  // namespace

// --- Depths -----------------------------------------------------------------------------

SInt16 GetGWDepth(GWorldPtr theGW) { return GetPixDepth(GetGWorldPixMap(theGW)); }

SInt16 Depth2Size(SInt16 depth) {
    if (depth == 8) return 1;
    if (depth == 16) return 2;
    return 4;
}

// --- Single pixels ------------------------------------------------------------------------

void PGetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, pixRec* thePixel) {
    const auto* p = reinterpret_cast<const UInt8*>(srcBaseAddr) + std::ptrdiff_t(rowBytes) * y + 4 * x;
    *thePixel = Load(p);
}

void PSetPixel(Ptr srcBaseAddr, SInt32 rowBytes, SInt16 x, SInt16 y, pixRecPtr thePixel) {
    auto* p = reinterpret_cast<UInt8*>(srcBaseAddr) + std::ptrdiff_t(rowBytes) * y + 4 * x;
    Store(p, *thePixel);
}

void Put32BitPixelInPixMap(pixRec thePixel, Ptr dstBaseAddress, SInt16 x, SInt16 y, SInt32 dstRowBytes,
                           SInt16 targetDepth) {
    auto* p = reinterpret_cast<UInt8*>(dstBaseAddress) + std::ptrdiff_t(dstRowBytes) * y +
              std::ptrdiff_t(StepForDepth(targetDepth)) * x;
    switch (targetDepth) {
        case 8:
            *p = thePixel.red;
            break;
        case 16: {
            const UInt16 packed =
                UInt16(((thePixel.red >> 3) * 32 + (thePixel.green >> 3)) * 32 + (thePixel.blue >> 3));
            std::memcpy(p, &packed, sizeof packed);
            break;
        }
        case 24:
            // A 24-bit pixel is three bytes with no alpha; the colour goes in red, green, blue
            // order, the order of the colour bytes in a 32-bit pixel.
            p[0] = thePixel.red;
            p[1] = thePixel.green;
            p[2] = thePixel.blue;
            break;
        default:
            Store(p, thePixel);
            break;
    }
}

void Pixel2RGBA(pixRec thePixel, RGBColor* theRGB, SInt16* alpha) {
    *theRGB = RGBColor{UInt16(thePixel.red * 256), UInt16(thePixel.green * 256), UInt16(thePixel.blue * 256)};
    *alpha = thePixel.alpha;
}

// --- Whole worlds -------------------------------------------------------------------------

void SetPixMapPixels(GWorldPtr theDest, Rect theActiveRect, UInt8 r, UInt8 g, UInt8 b) {
    if (theDest == nullptr) return;
    LockedPixels px(theDest, false);
    if (!px.Holds32BitPixels()) return;
    const pixRec pixel{0, r, g, b};
    // Rows and columns of the world, counted from its top-left pixel, that lie in the rectangle.
    const int rowLo = std::max<int>(theActiveRect.top, 0), rowHi = std::min<int>(theActiveRect.bottom, px.height());
    const int colLo = std::max<int>(theActiveRect.left, 0), colHi = std::min<int>(theActiveRect.right, px.width());
    for (int row = rowLo; row < rowHi; ++row)
        for (int col = colLo; col < colHi; ++col) Store(px.At(col, row), pixel);
}

namespace {

// Where a source pixel's rotation lands; false when it cannot land anywhere.
struct Rotation {
    double sinF, cosF;
    int wid, hig, left, top;
    bool Map(int col, int row, int* xs, int* ys) const {
        const int X = col - wid - left, Y = row - hig - top;
        if (!TruncToInt(X * cosF - Y * sinF, xs) || !TruncToInt(Y * cosF + X * sinF, ys)) return false;
        *xs += wid + left;
        *ys += hig + top;
        return true;
    }
};

}  // namespace

void RotatePixmap(GWorldPtr theSource, GWorldPtr theDest, Rect theActiveRect, double phi) {
    if (theSource == nullptr || theDest == nullptr) return;
    // Source first, then target; the target's state goes back first.
    LockedPixels src(theSource, false);
    LockedPixels dst(theDest, false);
    if (!src.Holds32BitPixels() || !dst.Holds32BitPixels()) return;
    const Rotation rot{std::sin(phi),
                       std::cos(phi),
                       std::abs(theActiveRect.right - theActiveRect.left) / 2,
                       std::abs(theActiveRect.bottom - theActiveRect.top) / 2,
                       theActiveRect.left,
                       theActiveRect.top};
    const int rowLo = std::max<int>(theActiveRect.top, 0), rowHi = std::min<int>(theActiveRect.bottom, src.height());
    const int colLo = std::max<int>(theActiveRect.left, 0), colHi = std::min<int>(theActiveRect.right, src.width());
    for (int row = rowLo; row < rowHi; ++row)
        for (int col = colLo; col < colHi; ++col) {
            int xs = 0, ys = 0;
            if (!rot.Map(col, row, &xs, &ys) || !dst.Inside(xs, ys)) continue;
            const pixRec pixel = Load(src.At(col, row));
            Store(dst.At(xs, ys), pixel);
            if (xs > 0) Store(dst.At(xs - 1, ys), pixel);
        }
}

// --- Squares ------------------------------------------------------------------------------

void PSetGWPixelUsingAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, double theAlpha, RGBColor theRGB,
                           SInt16 theSize) {
    const double kehrwert = 1.0 - theAlpha;
    const UInt8 sR = HighByte(theRGB.red), sG = HighByte(theRGB.green), sB = HighByte(theRGB.blue);
    auto blend = [&](UInt8 dst, UInt8 src) {
        return UInt8(TruncToSInt16(dst * kehrwert) + TruncToSInt16(src * theAlpha));
    };
    PaintSquare(theSource, x, y, x, y, theSize, [&](UInt8* p) {
        pixRec px = Load(p);
        px.red = blend(px.red, sR);
        px.green = blend(px.green, sG);
        px.blue = blend(px.blue, sB);
        Store(p, px);
    });
}

void PSetGWPixelAndAlpha(GWorldPtr theSource, SInt16 x, SInt16 y, RGBColor theRGB, SInt16 alpha, SInt16 theSize) {
    const pixRec pixel{UInt8(alpha), HighByte(theRGB.red), HighByte(theRGB.green), HighByte(theRGB.blue)};
    PaintSquare(theSource, x, y, x, y, theSize, [&](UInt8* p) { Store(p, pixel); });
}

void PPlotPixel(GWorldPtr theTarget, SInt16 x, SInt16 y, SInt16 size, Boolean /*blend*/, Boolean /*round*/,
                pixRec thePixel) {
    PaintSquare(theTarget, x, y, x - size, y - size, 2 * size + 1, [&](UInt8* p) { Store(p, thePixel); });
}

void PCombineGWAndPutUsingAlpha(GWorldPtr theSource1, GWorldPtr theSource2, GWorldPtr theTarget, SInt16 sx,
                                SInt16 sy, SInt16 tx, SInt16 ty, SInt16 alpha, Boolean invertAlpha,
                                SInt16 theSize) {
    if (theSource1 == nullptr || theSource2 == nullptr || theTarget == nullptr) return;
    const int weight = invertAlpha ? 255 - alpha : alpha;
    const double percent = weight / 255.0, inverse = 1.0 - percent;
    LockedPixels s1(theSource1, true);
    LockedPixels s2(theSource2, true);
    LockedPixels t(theTarget, true);
    const SInt16 depth = t.depth();
    if (!s1.Holds32BitPixels() || !s2.Holds32BitPixels() || !t.Walkable(StepForDepth(depth))) return;
    if (!s1.Inside(sx, sy)) return;
    // The second source is read where the first is, so it must hold those pixels as well.
    const Range hs = Intersect(OffsetsInside(tx, theSize, t.width()), OffsetsInside(sx, theSize, s1.width()));
    const Range vs = Intersect(OffsetsInside(ty, theSize, t.height()), OffsetsInside(sy, theSize, s1.height()));
    const Range hs2 = Intersect(hs, OffsetsInside(sx, theSize, s2.width()));
    const Range vs2 = Intersect(vs, OffsetsInside(sy, theSize, s2.height()));
    auto mix = [&](UInt8 a, UInt8 b) { return ByteOf(a * percent + b * inverse); };
    for (int v = vs2.hi; v >= vs2.lo; --v)
        for (int h = hs2.hi; h >= hs2.lo; --h) {
            const pixRec p1 = Load(s1.At(sx + h, sy + v)), p2 = Load(s2.At(sx + h, sy + v));
            const pixRec out{p1.alpha, mix(p1.red, p2.red), mix(p1.green, p2.green), mix(p1.blue, p2.blue)};
            if (depth == 32)
                Store(t.At(tx + h, ty + v), out);
            else
                Put32BitPixelInPixMap(out, t.base(), SInt16(tx + h), SInt16(ty + v), t.rowBytes(), depth);
        }
}

namespace {

struct SmudgeSums {
    // 64 bits: a large radius over two sources can pass what 32 bits hold.
    SInt64 red = 0, green = 0, blue = 0;
    double weight = 0.0;

    void Add(const pixRec& p) {
        red += p.red;
        green += p.green;
        blue += p.blue;
        weight += 1.0;
    }
    void AddWeighted(const pixRec& p) {
        const double w = p.alpha / 255.0;
        red += SInt64(w * p.red);
        green += SInt64(w * p.green);
        blue += SInt64(w * p.blue);
        weight += w;
    }
};

}  // namespace

void PSmudgePixel(GWorldPtr theSource1, GWorldPtr theSource2, SInt16 radius, SInt16 x, SInt16 y,
                  Boolean uses2Alpha, SInt16 smudgeAlpha, pixRec* result) {
    if (theSource1 == nullptr || result == nullptr) return;
    LockedPixels s1(theSource1, true);
    std::optional<LockedPixels> s2;  // dies before s1: states go back in reverse order
    if (theSource2 != nullptr) s2.emplace(theSource2, true);
    if (!s1.Holds32BitPixels() || (s2 && !s2->Holds32BitPixels()) || !s1.Inside(x, y)) return;
    const Range hs = OffsetsInside(x - radius, 2 * radius + 1, s1.width());
    const Range vs = OffsetsInside(y - radius, 2 * radius + 1, s1.height());
    SmudgeSums sums;
    for (int h = x - radius + hs.lo; h <= x - radius + hs.hi; ++h)
        for (int v = y - radius + vs.lo; v <= y - radius + vs.hi; ++v) {
            sums.Add(Load(s1.At(h, v)));
            if (!s2 || !s2->Inside(h, v)) continue;
            if (uses2Alpha)
                sums.AddWeighted(Load(s2->At(h, v)));
            else
                sums.Add(Load(s2->At(h, v)));
        }
    if (sums.weight <= 0.0) return;  // a negative radius averages nothing
    result->red = UInt8(SInt64(double(sums.red) / sums.weight));
    result->green = UInt8(SInt64(double(sums.green) / sums.weight));
    result->blue = UInt8(SInt64(double(sums.blue) / sums.weight));
    result->alpha = UInt8(smudgeAlpha);
}
