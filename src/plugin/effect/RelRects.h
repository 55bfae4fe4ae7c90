// RelRects: rectangles and points held as fractions of a frame, independent of its size,
// and their conversions to and from pixel rectangles and points of a given frame.
#pragma once

#include "Carbon.h"

struct relRect {
    double left;
    double right;
    double top;
    double bottom;
};

struct relPoint {
    double horiz;
    double vert;
};

static_assert(sizeof(relRect) == 32 && offsetof(relRect, top) == 16);
static_assert(sizeof(relPoint) == 16);

void InitRelRect(relRect* theRel);
Rect Rel2Rect(relRect theRel, Rect theFrame);
relRect Rect2Rel(Rect theRect, Rect theFrame);
relRect SetRelRect(double left, double top, double right, double bottom);
Point Rel2Point(relPoint theRel, Rect theFrame);
relPoint Point2Rel(Point thePoint, Rect theFrame);
