#include "tests/viewer/ViewerHarness.h"

#include "scene/PrimitiveShapes.h"
#include "scene/SceneObject.h"

#include <GL/gl.h>

namespace {

void ExpectColour(const Colour& actual, const Colour& expected, const char* what) {
    EXPECT_EQ(actual.r, expected.r) << what;
    EXPECT_EQ(actual.g, expected.g) << what;
    EXPECT_EQ(actual.b, expected.b) << what;
    EXPECT_EQ(actual.a, expected.a) << what;
}

void ExpectVector(const Vector3& actual, Vector3 expected, const char* what) {
    EXPECT_EQ(actual.x, expected.x) << what;
    EXPECT_EQ(actual.y, expected.y) << what;
    EXPECT_EQ(actual.z, expected.z) << what;
}

TEST_F(ViewerTest, FloorIsTheOnlyFixtureWithIdZeroAndNoPose) {
    ASSERT_EQ(viewer.fixtures.count, 1);
    const SceneObject* floor = viewer.Fixture(0);
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(floor->id, 0);
    EXPECT_EQ(floor->trackingId, 0);
    EXPECT_EQ(floor->pose, nullptr);
    EXPECT_EQ(floor->shape, viewer.Grid());
    ExpectColour(floor->colour, Grey, "floor");
    ExpectVector(floor->scale, {10, 10, 5}, "floor scale");
}

TEST_F(ViewerTest, BoxesAreBlueRedGreenWithTheirIdsTrackingIdsAndPoses) {
    struct Expected {
        const char* name;
        int id, trackingId;
        const Colour& colour;
    };
    const Expected boxes[] = {{"blue", 1, 2, Blue}, {"red", 2, 3, Red}, {"green", 3, 4, Green}};
    ASSERT_EQ(viewer.objects.count, 3);
    for (int i = 0; i < 3; ++i) {
        const SceneObject* box = viewer.Object(i);
        ASSERT_NE(box, nullptr);
        ASSERT_NE(box->pose, nullptr) << boxes[i].name;
        EXPECT_EQ(box->id, boxes[i].id) << boxes[i].name;
        EXPECT_EQ(box->trackingId, boxes[i].trackingId) << boxes[i].name;
        ExpectColour(box->colour, boxes[i].colour, boxes[i].name);
        ExpectVector(box->scale, {1, 1, 1}, boxes[i].name);
        Pose expected = DefaultBoxPose(i);
        ExpectVector({box->pose->x, box->pose->y, box->pose->z}, {expected.x, expected.y, expected.z}, boxes[i].name);
        EXPECT_EQ(box->motionMask, 63) << boxes[i].name;
        EXPECT_TRUE(box->pickable && box->visible) << boxes[i].name;
    }
}

TEST_F(ViewerTest, BoxesShareOneCompiledShapeApartFromTheGrid) {
    const Shape* box = viewer.Object(0)->shape;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(viewer.Object(1)->shape, box);
    EXPECT_EQ(viewer.Object(2)->shape, box);
    EXPECT_NE(box, viewer.Grid());
    EXPECT_EQ(dynamic_cast<const GridShape*>(box), nullptr);
    EXPECT_EQ(glIsList(box->displayList), GL_TRUE);
}

TEST_F(ViewerTest, TheLargerGridReplacesTheFrameworkGridAndItsList) {
    const Shape* grid = viewer.Grid();
    ASSERT_NE(dynamic_cast<const GridShape*>(grid), nullptr);
    EXPECT_EQ(grid->size.x, 2.0f);
    EXPECT_EQ(grid->divisions[0], 20);
    EXPECT_EQ(grid->divisions[2], 20);
    EXPECT_EQ(glIsList(grid->displayList), GL_TRUE);
    // The framework's own grid list is gone, not left behind.
    ASSERT_NE(viewer.frameworkGridList, 0u);
    EXPECT_NE(viewer.frameworkGridList, grid->displayList);
    EXPECT_EQ(glIsList(viewer.frameworkGridList), GL_FALSE);
}

TEST_F(ViewerTest, StartUpReportsEveryStepInOrder) {
    const std::string& text = StartUp().output;
    const char* const steps[] = {"\nIgnition ... ",
                                 "\n\tInit OpenGL ... ",
                                 "\n\tCALLBACKs ... ",
                                 "\n\tTracking ... ",
                                 "\nQMT Tracking configuration:",
                                 "\n\tTotal tracking stations = 4",
                                 "\n\tObjects ... ",
                                 "\n\tBuilding default environment ...",
                                 "\n\tKeymapping ... ",
                                 "\n\t\tSpacebar\tToggle tracking for selected.",
                                 "\n\tIf no object is selected, \n\t  then the view is the current object.\n"};
    size_t at = 0;
    for (const char* step : steps) {
        size_t found = text.find(step, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << step << "\nin:" << text;
        at = found + 1;
    }
    // Without a server the four default rows drive nothing but the viewpoint.
    EXPECT_EQ(viewer.stationMapCount, 4);
    EXPECT_EQ(viewer.stationMap[0].objectId, 1);
    EXPECT_EQ(viewer.stationMap[1].objectId, 0);
}

}  // namespace
