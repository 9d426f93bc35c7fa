#include "app/FancyMoving.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

namespace tarvex {

std::ostream& operator<<(std::ostream& os, const TPoint& p) {
    return os << "(" << p.X << ", " << p.Y << ")";
}
std::ostream& operator<<(std::ostream& os, const TRect& r) {
    return os << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
}

namespace {

constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();

// A 1024 x 768 screen with a 30-pixel taskbar docked at the bottom, and the main
// window's outer size.
const TRect Desktop{0, 0, 1024, 738};
const TSize Window{586, 547};

// --- Work area ------------------------------------------------------------------

struct WorkAreaCase {
    const char* name;
    TTaskbarState taskbar;
    TRect expected;
};

class WorkAreaTest : public ::testing::TestWithParam<WorkAreaCase> {};

TEST_P(WorkAreaTest, CorrectsForAnAutoHideTaskbar) {
    // An auto-hide taskbar takes nothing from the system's work area.
    EXPECT_EQ(GetWorkArea(1024, 768, {0, 0, 1024, 768}, GetParam().taskbar), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Taskbars, WorkAreaTest,
    ::testing::Values(WorkAreaCase{"Bottom", {{-2, 766, 1026, 770}, true}, {0, 0, 1024, 766}},
                      WorkAreaCase{"Top", {{-2, -2, 1026, 2}, true}, {0, 3, 1024, 768}},
                      WorkAreaCase{"Left", {{-2, -2, 2, 770}, true}, {3, 0, 1024, 768}},
                      WorkAreaCase{"Right", {{1022, -2, 1026, 770}, true}, {0, 0, 1022, 768}},
                      WorkAreaCase{
                          "ShownBottom", {{-2, 766, 1026, 770}, false}, {0, 0, 1024, 768}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Restoring the stored position -----------------------------------------------

struct RestoreCase {
    const char* name;
    TRect workArea;
    std::int32_t storedX, storedY;
    TPoint expected; // the system proposes (200, 150)
};

class RestoreTest : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(RestoreTest, TakesOnlyCoordinatesThatKeepTheWindowReachable) {
    const RestoreCase& c = GetParam();
    EXPECT_EQ(SetLastWindowPositions({200, 150}, Window, c.workArea, c.storedX, c.storedY),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Positions, RestoreTest,
    ::testing::Values(
        // No settings file yet: 0, 0 passes both tests, the window opens at the corner.
        RestoreCase{"FirstRun", Desktop, 0, 0, {0, 0}},
        RestoreCase{"Inside", Desktop, 300, 120, {300, 120}},
        // Right and bottom: strictly less than the far edge minus 100.
        RestoreCase{"RightOffScreen", Desktop, 924, 120, {200, 120}},
        RestoreCase{"RightJustInside", Desktop, 923, 120, {923, 120}},
        RestoreCase{"BottomOffScreen", Desktop, 300, 638, {300, 150}},
        RestoreCase{"BottomJustInside", Desktop, 300, 637, {300, 637}},
        // Left and top: 100 - size strictly less than the near edge plus the position.
        RestoreCase{"LeftOffScreen", Desktop, -486, 120, {200, 120}},
        RestoreCase{"LeftJustInside", Desktop, -485, 120, {-485, 120}},
        RestoreCase{"TopOffScreen", Desktop, 300, -447, {300, 150}},
        RestoreCase{"TopJustInside", Desktop, 300, -446, {300, -446}},
        RestoreCase{"LeftTaskbar", {3, 0, 1024, 768}, -488, 120, {-488, 120}},
        RestoreCase{"LeftTaskbarOff", {3, 0, 1024, 768}, -489, 120, {200, 120}},
        RestoreCase{"BothOff", Desktop, 5000, -5000, {200, 150}},
        // Values from a damaged file must not overflow the tests.
        RestoreCase{"Extremes", {3, 3, 1024, 768}, Max32, Min32, {200, 150}},
        RestoreCase{"ExtremesSwapped", {-5, -5, 1024, 768}, Min32, Max32, {200, 150}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Dragging -------------------------------------------------------------------

// The window sits at (100, 100) and was grabbed at (40, 12) of its client area; the
// cases name the position the window would reach without snapping.
const TPoint Start{100, 100};
const TPoint Grab{40, 12};

TPoint MouseFor(TPoint target) {
    return {target.X - Start.X + Grab.X, target.Y - Start.Y + Grab.Y};
}

struct DragCase {
    const char* name;
    TPoint target;
    TPoint expected;
    TSize size = Window;
    TDragKeys keys = {};
    bool dragging = true;
};

class DragTest : public ::testing::TestWithParam<DragCase> {};

TEST_P(DragTest, FollowsTheMouseAndSnapsToTheWorkArea) {
    const DragCase& c = GetParam();
    EXPECT_EQ(
        CalcDragPosition(c.dragging, Start, c.size, Desktop, MouseFor(c.target), Grab, c.keys),
        c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, DragTest,
    ::testing::Values(
        DragCase{"Free", {300, 90}, {300, 90}}, DragCase{"Left7Snaps", {7, 90}, {0, 90}},
        DragCase{"Left10Snaps", {10, 90}, {0, 90}}, DragCase{"Left11Stays", {11, 90}, {11, 90}},
        DragCase{"LeftBeyond10Snaps", {-10, 90}, {0, 90}},
        DragCase{"LeftBeyond11Stays", {-11, 90}, {-11, 90}},
        // The right edge at 1024 - 7 and 1024 - 11.
        DragCase{"Right7Snaps", {431, 90}, {438, 90}},
        DragCase{"Right11Stays", {427, 90}, {427, 90}}, DragCase{"Top7Snaps", {300, 7}, {300, 0}},
        DragCase{"Top11Stays", {300, 11}, {300, 11}},
        // The bottom edge at 738 - 7 and 738 + 11.
        DragCase{"Bottom7Snaps", {300, 184}, {300, 191}},
        DragCase{"BottomBeyond11Stays", {300, 202}, {300, 202}},
        DragCase{"CornerSnapsBoth", {-4, 195}, {0, 191}},
        // A window nearly as large as the work area: both edges are near, the left
        // (top) one wins.
        DragCase{"LeftBeatsRight", {5, 90}, {0, 90}, {1014, 300}},
        DragCase{"TopBeatsBottom", {300, 4}, {300, 0}, {300, 730}},
        DragCase{"ShiftMovesFreely", {7, 184}, {7, 184}, Window, {true, false}},
        DragCase{"CtrlHoldsStill", {7, 184}, Start, Window, {false, true}},
        DragCase{"CtrlWinsOverShift", {300, 90}, Start, Window, {true, true}},
        DragCase{"NothingMovesWhenNotDragging", {7, 7}, Start, Window, {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Drag, FarCoordinatesDoNotOverflow) {
    EXPECT_EQ(CalcDragPosition(true, {Max32, Min32}, Window, Desktop, {Max32, Min32},
                               {Min32, Max32}, {true, false}),
              (TPoint{Max32, Min32}));
    EXPECT_EQ(CalcDragPosition(true, {0, 0}, {Max32, Max32}, {Min32, Min32, Max32, Max32},
                               {Max32 - 5, Max32 - 5}, {0, 0}, {}),
              (TPoint{Max32 - 5, Max32 - 5}));
}

} // namespace
} // namespace tarvex
