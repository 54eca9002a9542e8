#include "tests/viewer/ViewerHarness.h"

#include "scene/SceneObject.h"

#include <cmath>

namespace {

const double Pi = 3.14159265358979323846;
// About one pixel at the red box's distance from the start-up eye.
const double PixelTolerance = 0.05;

class DragTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        red = viewer.Object(1);
        viewer.Display();
    }

    // Presses at the point (dx, dy) from the red box's centre, on the
    // horizontal plane through it.
    std::string PressBeside(float dx, float dy) {
        const Pose& p = *red->pose;
        ScreenPoint screen = ScreenPointOf(p.x + dx, p.y + dy, p.z);
        std::string printed = Printed([&] { viewer.MouseDown(screen.x, screen.y, false); });
        // A frame with the pointer unmoved brings back the matrices of a
        // normal frame, which the pick pass replaced.
        viewer.Display();
        return printed;
    }

    void MovePointerTo(float x, float y, float z) {
        ScreenPoint screen = ScreenPointOf(x, y, z);
        viewer.MouseMotion(screen.x, screen.y);
        viewer.Display();
    }

    SceneObject* red = nullptr;
};

TEST_F(DragTest, PressNearTheCentreMovesTheBoxOnItsPlaneKeepingTheGrip) {
    EXPECT_EQ(PressBeside(0.3f, 0), "\nPicked: 2");
    ASSERT_EQ(viewer.selectedObject, red);
    EXPECT_EQ(viewer.rotateDrag, 0);

    MovePointerTo(2.3f, -4, 1);
    EXPECT_NEAR(red->pose->x, 2, PixelTolerance);
    EXPECT_NEAR(red->pose->y, -4, PixelTolerance);
    EXPECT_NEAR(red->pose->z, 1, 1e-5);
    EXPECT_EQ(red->pose->azimuth, 0);

    MovePointerTo(-1.7f, -8, 1);
    EXPECT_NEAR(red->pose->x, -2, PixelTolerance);
    EXPECT_NEAR(red->pose->y, -8, PixelTolerance);
    EXPECT_NEAR(red->pose->z, 1, 1e-5);
}

TEST_F(DragTest, AfterTheReleaseThePointerNoLongerDrags) {
    PressBeside(0, 0);
    viewer.MouseUp(0);
    MovePointerTo(3, -3, 1);
    EXPECT_NEAR(red->pose->x, 0, PixelTolerance);
    EXPECT_NEAR(red->pose->y, -6, PixelTolerance);
}

TEST_F(DragTest, PressFartherOutTurnsTheBoxWithThePointer) {
    red->SetPose(0, -6, 1, 0.5f, 0, 0);
    const float radius = 0.95f;
    EXPECT_EQ(PressBeside(radius, 0), "\nPicked: 2<--");
    ASSERT_EQ(viewer.selectedObject, red);
    EXPECT_EQ(viewer.rotateDrag, 1);

    // A quarter circle counter-clockwise, then back past the start to a
    // quarter circle clockwise.
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        double angle = Pi / 2 * i / steps;
        MovePointerTo(float(radius * std::cos(angle)), float(-6 + radius * std::sin(angle)), 1);
    }
    EXPECT_NEAR(red->pose->azimuth, 0.5 + Pi / 2, 0.03);
    for (int i = steps - 1; i >= -steps; --i) {
        double angle = Pi / 2 * i / steps;
        MovePointerTo(float(radius * std::cos(angle)), float(-6 + radius * std::sin(angle)), 1);
    }
    EXPECT_NEAR(red->pose->azimuth, 0.5 - Pi / 2, 0.03);

    EXPECT_EQ(red->pose->x, 0);
    EXPECT_EQ(red->pose->y, -6);
    EXPECT_EQ(red->pose->z, 1);
    EXPECT_NEAR(red->pose->elevation, 0, 1e-6);
}

TEST_F(DragTest, ABoxThatMayNotTurnIsMovedFromAnywhere) {
    red->motionMask = 0x07;
    EXPECT_EQ(PressBeside(0.95f, 0), "\nPicked: 2");
    EXPECT_EQ(viewer.rotateDrag, 0);
    MovePointerTo(2.95f, -4, 1);
    EXPECT_NEAR(red->pose->x, 2, PixelTolerance);
    EXPECT_NEAR(red->pose->y, -4, PixelTolerance);
    red->motionMask = 63;
}

}  // namespace
