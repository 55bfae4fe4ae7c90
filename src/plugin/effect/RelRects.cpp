// RelRects: conversions between fractions of a frame and pixels. Fractions are not
// clamped: values outside 0..1 land outside the frame, and 16-bit results wrap.
#include "effect/RelRects.h"

#include "effect/CommonProcs.h"

namespace {

// wid × fraction, truncated toward zero, added to the origin as a 16-bit sum.
SInt16 Scale(SInt16 origin, SInt16 size, double fraction) {
    return SInt16(origin + TruncToSInt16(double(size) * fraction));
}

}  // namespace

void InitRelRect(relRect* theRel) {
    theRel->left = 0.0;
    theRel->right = 1.0;
    theRel->top = 0.0;
    theRel->bottom = 1.0;
}

Rect Rel2Rect(relRect theRel, Rect theFrame) {
    SInt16 wid = SInt16(theFrame.right - theFrame.left);
    SInt16 hig = SInt16(theFrame.bottom - theFrame.top);
    Rect result;
    result.left = Scale(theFrame.left, wid, theRel.left);
    result.right = Scale(theFrame.left, wid, theRel.right);
    result.top = Scale(theFrame.top, hig, theRel.top);
    result.bottom = Scale(theFrame.top, hig, theRel.bottom);
    return result;
}

relRect Rect2Rel(Rect theRect, Rect theFrame) {
    SInt16 dh = SInt16(-theFrame.left), dv = SInt16(-theFrame.top);
    OffsetRect(&theRect, dh, dv);
    OffsetRect(&theFrame, dh, dv);
    double wid = SInt16(theFrame.right - theFrame.left);
    double hig = SInt16(theFrame.bottom - theFrame.top);
    return relRect{theRect.left / wid, theRect.right / wid, theRect.top / hig, theRect.bottom / hig};
}

relRect SetRelRect(double left, double top, double right, double bottom) {
    return relRect{left, right, top, bottom};
}

Point Rel2Point(relPoint theRel, Rect theFrame) {
    SInt16 wid = SInt16(theFrame.right - theFrame.left);
    SInt16 hig = SInt16(theFrame.bottom - theFrame.top);
    return Point{Scale(theFrame.top, hig, theRel.vert), Scale(theFrame.left, wid, theRel.horiz)};
}

relPoint Point2Rel(Point thePoint, Rect theFrame) {
    double wid = SInt16(theFrame.right - theFrame.left);
    double hig = SInt16(theFrame.bottom - theFrame.top);
    return relPoint{(thePoint.h - theFrame.left) / wid, (thePoint.v - theFrame.top) / hig};
}
