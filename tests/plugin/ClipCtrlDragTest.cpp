// The clip preview's rectangle editing through real drags in the NTSC dialog: handle
// picking, corner rules with Shift and Option, moving, steps outside the preview, and
// clicks away from the rectangle.
#include <cstring>

#include "ConfigDialogTest.h"

namespace configtest {
namespace {

const relRect kCentre{0.25, 0.75, 0.25, 0.75};   // window rect left 196, top 136, right 556, bottom 376
const relRect kSquare{0.25, 0.5, 0.25, 0.625};   // left 196, top 136, right 376, bottom 316
const relRect kNarrow{0.25, 0.25 + 8 / 720.0, 0.25, 0.75};  // 8 pixels wide: left 196, right 204

struct DragCase {
    const char* name;
    relRect start;
    const char* script;
    Rect expected;  // window coordinates: top, left, bottom, right
};

void PrintTo(const DragCase& c, std::ostream* os) { *os << c.name; }

class ClipCtrlDragTest : public ConfigDialogTest, public ::testing::WithParamInterface<DragCase> {};

bool SameRel(const relRect& a, const relRect& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_P(ClipCtrlDragTest, StoresTheRectangleOfTheLastStepInside) {
    Record().startRel = GetParam().start;
    Record().sliders[0] = 100;
    Press(GetParam().script);
    const relRect expected = Rect2Rel(GetParam().expected, kNTSCPreview);
    EXPECT_TRUE(SameRel(Last().record.startRel, expected))
        << "got " << Rel2Rect(Last().record.startRel, kNTSCPreview).left << ","
        << Rel2Rect(Last().record.startRel, kNTSCPreview).top << " "
        << Rel2Rect(Last().record.startRel, kNTSCPreview).right << ","
        << Rel2Rect(Last().record.startRel, kNTSCPreview).bottom;
}

INSTANTIATE_TEST_SUITE_P(
    Drags, ClipCtrlDragTest,
    ::testing::Values(
        DragCase{"TopLeftHandleSixLeftAndAbove", kCentre, "drag 190 130 210 140\n", {146, 216, 376, 556}},
        DragCase{"BottomRightHandleFiveRightAndBelow", kCentre, "drag 561 381 541 371\n", {136, 196, 366, 536}},
        DragCase{"NarrowMiddleOfTheTopIsTheTopLeftHandle", kNarrow, "drag 200 136 180 126\n", {126, 176, 376, 204}},
        DragCase{"SevenAwayIsNoHandle", kCentre, "drag 189 129 209 139\n", {136, 196, 376, 556}},
        DragCase{"PastTheOppositeCornerTurnsOver", kCentre, "drag 556 376 100 300\n", {136, 100, 300, 196}},
        DragCase{"OptionShrinksAboutTheCentre", kCentre, "drag 196 136 206 146 option\n", {146, 206, 366, 546}},
        DragCase{"ShiftWiderKeepsTheRatioByTheWidth", kCentre, "drag 556 376 616 376 shift\n", {136, 196, 416, 616}},
        DragCase{"ShiftOnTopLeftMeasuresDownFromTheTop", kCentre, "drag 196 136 136 136 shift\n", {136, 136, 416, 556}},
        DragCase{"ShiftOptionRoundsHalfUp", kCentre, "drag 196 136 176 116 shift option\n", {116, 176, 383, 576}},
        DragCase{"ShiftSquareKeepsTheHeight", kSquare, "drag 376 316 416 326 shift\n", {136, 196, 326, 386}},
        DragCase{"InsideFollowsTheMouse", kCentre, "drag 300 200 350 260\n", {196, 246, 436, 606}},
        DragCase{"StepsOutsideAreSkipped", kCentre, "drag 300 200 800 200 10\n", {136, 596, 376, 956}}),
    [](const ::testing::TestParamInfo<DragCase>& info) { return std::string(info.param.name); });

TEST_F(ConfigDialogTest, EveryDragStepStoresItsRectangleAndRendersIt) {
    Record().startRel = kCentre;
    Record().sliders[0] = 100;
    checkRendering = true;
    Press("drag 556 376 596 396 4\n");
    std::vector<relRect> stored;
    for (const DialogState& s : steps) {
        EXPECT_TRUE(s.previewRendered);
        EXPECT_TRUE(s.windowShowsPreview);
        if (stored.empty() || !SameRel(stored.back(), s.record.startRel)) stored.push_back(s.record.startRel);
    }
    ASSERT_EQ(stored.size(), 5u);
    for (int i = 0; i <= 4; ++i)
        EXPECT_TRUE(SameRel(stored[std::size_t(i)], Rect2Rel(Rect{136, 196, SInt16(376 + 5 * i), SInt16(556 + 10 * i)},
                                                             kNTSCPreview)))
            << "step " << i;
}

TEST_F(ConfigDialogTest, AClickAwayFromTheRectangleAndItsHandlesDoesNothing) {
    Record().startRel = kCentre;
    Record().sliders[0] = 100;
    Press("click 30 30\ndrag 40 40 90 90\n");
    for (const DialogState& s : steps) {
        EXPECT_TRUE(SameRel(s.record.startRel, kCentre));
        EXPECT_EQ(s.previewValue, steps.front().previewValue);
        EXPECT_TRUE(s.windowPixels == steps.front().windowPixels);
    }
}

}  // namespace
}  // namespace configtest
