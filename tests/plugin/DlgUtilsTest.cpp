// Hit testing of the effect rectangle's handles, where squares meet on small rectangles.
#include <gtest/gtest.h>

#include "dialog/DlgUtils.h"

namespace {

struct HitCase {
    Rect rect;
    Point where;  // v, h
    SInt16 part;
};

class IsHandleHitTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(IsHandleHitTest, PicksTheFirstPartThatHolds) {
    EXPECT_EQ(IsHandleHit(GetParam().rect, GetParam().where), GetParam().part);
}

const Rect kRect{100, 200, 300, 400};
const Rect kNarrow{100, 200, 300, 208};  // 8 pixels wide: the top squares overlap

INSTANTIATE_TEST_SUITE_P(
    Handles, IsHandleHitTest,
    ::testing::Values(HitCase{kRect, {94, 194}, kTopLeftHandle}, HitCase{kRect, {105, 205}, kTopLeftHandle},
                      HitCase{kRect, {93, 200}, kNoHandle}, HitCase{kRect, {106, 206}, kInsideRect},
                      HitCase{kRect, {100, 405}, kTopRightHandle}, HitCase{kRect, {305, 194}, kBottomLeftHandle},
                      HitCase{kRect, {305, 405}, kBottomRightHandle}, HitCase{kRect, {306, 406}, kNoHandle},
                      HitCase{kRect, {200, 300}, kInsideRect}, HitCase{kRect, {200, 410}, kNoHandle},
                      HitCase{kNarrow, {100, 204}, kTopLeftHandle}, HitCase{kNarrow, {100, 205}, kTopLeftHandle},
                      HitCase{kNarrow, {100, 206}, kTopRightHandle}, HitCase{kNarrow, {300, 203}, kBottomLeftHandle},
                      HitCase{kNarrow, {150, 204}, kInsideRect}));

}  // namespace
