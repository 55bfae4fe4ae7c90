// Rectangle and point arithmetic, and rectangular regions.
#include <algorithm>

#include "memory/MacMemory.h"
#include "quickdraw/QuickDraw.h"

void SetRect(Rect* r, short left, short top, short right, short bottom) {
    if (r) *r = Rect{top, left, bottom, right};
}

void OffsetRect(Rect* r, short dh, short dv) {
    if (!r) return;
    r->left = SInt16(r->left + dh);
    r->right = SInt16(r->right + dh);
    r->top = SInt16(r->top + dv);
    r->bottom = SInt16(r->bottom + dv);
}

void InsetRect(Rect* r, short dh, short dv) {
    if (!r) return;
    r->left = SInt16(r->left + dh);
    r->right = SInt16(r->right - dh);
    r->top = SInt16(r->top + dv);
    r->bottom = SInt16(r->bottom - dv);
    if (EmptyRect(r)) *r = Rect{0, 0, 0, 0};
}

// An empty intersection comes back as (0,0,0,0) with false, as on the Mac.
Boolean SectRect(const Rect* a, const Rect* b, Rect* dst) {
    Rect r{std::max(a->top, b->top), std::max(a->left, b->left), std::min(a->bottom, b->bottom),
           std::min(a->right, b->right)};
    if (EmptyRect(&r)) {
        *dst = Rect{0, 0, 0, 0};
        return false;
    }
    *dst = r;
    return true;
}

void UnionRect(const Rect* a, const Rect* b, Rect* dst) {
    *dst = Rect{std::min(a->top, b->top), std::min(a->left, b->left), std::max(a->bottom, b->bottom),
                std::max(a->right, b->right)};
}

Boolean EqualRect(const Rect* a, const Rect* b) {
    return a->top == b->top && a->left == b->left && a->bottom == b->bottom && a->right == b->right;
}

Boolean EmptyRect(const Rect* r) { return r->bottom <= r->top || r->right <= r->left; }

Boolean PtInRect(Point pt, const Rect* r) {
    return pt.h >= r->left && pt.h < r->right && pt.v >= r->top && pt.v < r->bottom;
}

void SetPt(Point* pt, short h, short v) {
    if (pt) *pt = Point{v, h};
}

RgnHandle NewRgn() {
    auto rgn = reinterpret_cast<RgnHandle>(NewHandleClear(sizeof(MacRegion)));
    return rgn;
}

void DisposeRgn(RgnHandle rgn) { DisposeHandle(reinterpret_cast<Handle>(rgn)); }

void RectRgn(RgnHandle rgn, const Rect* r) {
    if (rgn && *rgn && r) (*rgn)->rgnBBox = EmptyRect(r) ? Rect{0, 0, 0, 0} : *r;
}

void SetRectRgn(RgnHandle rgn, short left, short top, short right, short bottom) {
    Rect r;
    SetRect(&r, left, top, right, bottom);
    RectRgn(rgn, &r);
}

Rect* GetRegionBounds(RgnHandle rgn, Rect* bounds) {
    if (rgn && *rgn && bounds) *bounds = (*rgn)->rgnBBox;
    return bounds;
}
