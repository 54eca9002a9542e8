// Dragging a box with the mouse, checked in pictures of the screen: a press
// near the centre slides the box over the floor, a press far out turns it
// about its vertical axis.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/e2e/StartingView.h"
#include "tests/e2e/ViewerWindowTest.h"

namespace e2e {
namespace {

const double QuarterTurn = std::acos(0.0);
const int TurnSteps = 4;

// The part of the window where the red box stands at the start.
const Area RedBoxArea{400, 280, 240, 200};

using DragTest = ViewerWindowTest;

TEST_F(DragTest, PressNearCentreSlidesBoxOverFloor) {
    ASSERT_TRUE(StartViewer({}));
    const Pixel from = WindowPixel(RedBoxCentre);
    const Point3 target{0, -3, 1};
    const Pixel to = WindowPixel(target);
    Screenshot shot;
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return s.MostlyAround(from, IsRed); }, shot))
        << "the red box is not where the scene starts it";

    ASSERT_TRUE(Press(from));
    ASSERT_TRUE(viewer.Expect("\nPicked: 2"));
    ASSERT_TRUE(MoveTo(WindowPixel({0, -5, 1})));
    ASSERT_TRUE(MoveTo(WindowPixel({0, -4, 1})));
    ASSERT_TRUE(MoveTo(to));
    // Released only once the box is seen at the pointer (in orange while it
    // is selected), as a user would.
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return s.MostlyAround(to, IsOrange); }, shot))
        << "the selected box did not follow the pointer";
    ASSERT_TRUE(Release());
    ASSERT_TRUE(Click(WindowPixel(OpenFloor)));
    ASSERT_TRUE(viewer.Expect(" DESELCTED"));

    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return s.MostlyAround(to, IsRed); }, shot))
        << "the box is not red at the drop point once deselected";
    EXPECT_TRUE(shot.NoneAround(from, IsRedOrOrange)) << "the box is still seen at its old place";
}

TEST_F(DragTest, QuarterCircleFarOutTurnsBoxInPlace) {
    ASSERT_TRUE(StartViewer({}));
    const Pixel centre = WindowPixel(RedBoxCentre);
    Screenshot before, shot;
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return s.MostlyAround(centre, IsRed); }, before));
    const int boxPixels = before.Count(RedBoxArea, IsRedOrOrange);
    auto changedPixels = [&](const Screenshot& s) { return s.CountDifferent(before, RedBoxArea, IsRedOrOrange); };

    ASSERT_TRUE(Press(WindowPixel(AroundCentre(RedBoxCentre, TurnGrip, AwayFromEye))));
    ASSERT_TRUE(viewer.Expect("\nPicked: 2<--")) << "the press far out does not turn the box";
    for (int step = 1; step <= TurnSteps; ++step) {
        const double angle = AwayFromEye + QuarterTurn * step / TurnSteps;
        ASSERT_TRUE(MoveTo(WindowPixel(AroundCentre(RedBoxCentre, TurnGrip, angle))));
        // Half-way, a cube turned by 45 degrees shows a clearly other outline.
        if (step == TurnSteps / 2) {
            ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return changedPixels(s) > boxPixels / 10; }, shot))
                << "half-way round, the box does not look turned: " << changedPixels(shot) << " of " << boxPixels
                << " pixels changed";
        }
    }
    // A quarter turn brings a cube back to its own outline, at the same place.
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return changedPixels(s) < boxPixels / 50; }, shot))
        << "after a quarter circle the outline differs in " << changedPixels(shot) << " of " << boxPixels << " pixels";
    ASSERT_TRUE(Release());
    ASSERT_TRUE(Click(WindowPixel(OpenFloor)));
    ASSERT_TRUE(viewer.Expect(" DESELCTED"));
    ASSERT_TRUE(WaitForScreen([&](const Screenshot& s) { return s.MostlyAround(centre, IsRed); }, shot));
    EXPECT_LT(changedPixels(shot), boxPixels / 50) << "the box moved while it was turned";
}

}  // namespace
}  // namespace e2e
