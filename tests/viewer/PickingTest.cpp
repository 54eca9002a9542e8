#include "tests/viewer/ViewerHarness.h"

#include "scene/SceneObject.h"

#include <vector>

namespace {

// Halfway between the start-up eye (-6, -10, 8) and the red box's centre:
// a box placed there hides the red box's centre from the eye.
const Pose InFrontOfRed{-3, -8, 4.5f, 0, 0, 0};
const Pose RedCentre{0, -6, 1, 0, 0, 0};

class PickingTest : public ViewerTest {
protected:
    // Presses where `p` shows in a freshly drawn frame; what was printed.
    std::string PressAt(const Pose& p) {
        viewer.Display();
        ScreenPoint screen = ScreenPointOf(p.x, p.y, p.z);
        return Printed([&] { viewer.MouseDown(screen.x, screen.y, false); });
    }

    void Place(int box, const Pose& p) { viewer.Object(box)->SetPose(p.x, p.y, p.z, 0, 0, 0); }

    // Extra boxes at the red box's place, drawn after the three.
    void AppendCopiesOfRed(int count) {
        extras.reserve(count);
        for (int i = 0; i < count; ++i) {
            extras.emplace_back(viewer.Object(1)->shape, Vector3(1, 1, 1), Red);
            extras.back().SetPose(RedCentre.x, RedCentre.y, RedCentre.z, 0, 0, 0);
        }
        for (SceneObject& extra : extras) viewer.objects.Append(&extra);
    }

    void TearDown() override {
        viewer.objects.Resize(3);
        for (SceneObject& extra : extras) delete extra.pose;
        ViewerTest::TearDown();
    }

    std::vector<SceneObject> extras;
};

TEST_F(PickingTest, PressOnABoxSelectsItAndPressingAgainKeepsIt) {
    EXPECT_EQ(PressAt(RedCentre), "\nPicked: 2");
    EXPECT_EQ(viewer.selectedObject, viewer.Object(1));
    EXPECT_EQ(viewer.pickedName, 2);
    EXPECT_EQ(viewer.rotateDrag, 0);

    EXPECT_EQ(PressAt(RedCentre), "\nPicked: 2");
    EXPECT_EQ(viewer.selectedObject, viewer.Object(1));
}

TEST_F(PickingTest, PressOnTheFloorDeselects) {
    PressAt(RedCentre);
    ASSERT_EQ(viewer.selectedObject, viewer.Object(1));
    EXPECT_EQ(PressAt({0, 0, 0, 0, 0, 0}), " DESELCTED");
    EXPECT_EQ(viewer.selectedObject, nullptr);
    EXPECT_EQ(viewer.pickedName, 0);
}

TEST_F(PickingTest, PressOnEmptySkyDeselects) {
    PressAt(RedCentre);
    ASSERT_EQ(viewer.selectedObject, viewer.Object(1));
    // From just above the floor, looking level, the upper half is sky.
    viewer.eye[2] = 1;
    viewer.Display();
    EXPECT_EQ(Printed([&] { viewer.MouseDown(viewer.viewport[2] / 2, 10, false); }), " DESELCTED");
    EXPECT_EQ(viewer.selectedObject, nullptr);
    EXPECT_EQ(viewer.pickedName, 0);
}

TEST_F(PickingTest, TheNearestBoxWinsWhateverTheDrawingOrder) {
    Place(0, InFrontOfRed);
    EXPECT_EQ(PressAt(RedCentre), "\nPicked: 1");
    EXPECT_EQ(viewer.selectedObject, viewer.Object(0));

    // Now the box drawn later is the nearer one.
    Place(0, RedCentre);
    Place(1, InFrontOfRed);
    EXPECT_EQ(PressAt(RedCentre), "\nPicked: 2");
    EXPECT_EQ(viewer.selectedObject, viewer.Object(1));
}

TEST_F(PickingTest, AnUnpickableBoxInFrontDoesNotHideTheOneBehind) {
    Place(0, InFrontOfRed);
    viewer.Object(0)->pickable = false;
    EXPECT_EQ(PressAt(RedCentre), "\nPicked: 2");
    EXPECT_EQ(viewer.selectedObject, viewer.Object(1));
}

TEST_F(PickingTest, OfEquallyNearBoxesTheFirstDrawnWins) {
    AppendCopiesOfRed(100);
    EXPECT_EQ(PressAt(RedCentre), "\nPicked: 2");
    EXPECT_EQ(viewer.selectedObject, viewer.Object(1));
}

TEST_F(PickingTest, AnOverflowingSelectionBufferPicksNothing) {
    // Each hit takes four of the buffer's 512 entries.
    AppendCopiesOfRed(150);
    PressAt(RedCentre);
    EXPECT_EQ(viewer.pickedName, 0);
    EXPECT_EQ(viewer.selectedObject, nullptr);
}

}  // namespace
