#include "tests/viewer/ViewerHarness.h"

#include "scene/SceneObject.h"
#include "app/TrackerSettings.h"

#include <cstring>

namespace {

bool SameRows(const StationMapEntry* a, const StationMapEntry* b, int count) {
    for (int i = 0; i < count; ++i) {
        if (a[i].instrument != b[i].instrument || a[i].bin != b[i].bin || a[i].station != b[i].station ||
            a[i].objectId != b[i].objectId || a[i].tracking != b[i].tracking || a[i].scale != b[i].scale)
            return false;
    }
    return true;
}

TEST_F(ViewerTest, OneWithNothingSelectedBindsTheFirstRowToTheViewpoint) {
    viewer.stationMap[0].objectId = 0;
    EXPECT_EQ(Printed([&] { EXPECT_TRUE(viewer.Keyboard('1')); }), "");
    EXPECT_EQ(viewer.stationMap[0].objectId, 1);
    EXPECT_FALSE(viewer.stationMap[0].tracking);
    EXPECT_EQ(viewer.frames, 0) << "binding does not redraw";
}

TEST_F(ViewerTest, NumberKeysBindRowsToTheSelectedBox) {
    verboseLevel = 1;
    viewer.selectedObject = viewer.Object(1);
    EXPECT_EQ(Printed([&] { EXPECT_TRUE(viewer.Keyboard('2')); }), "\nTracking of object 3 mapped to station 2.");
    EXPECT_EQ(viewer.stationMap[1].objectId, 3);

    viewer.selectedObject = viewer.Object(2);
    EXPECT_EQ(Printed([&] { EXPECT_TRUE(viewer.Keyboard('3')); }), "\nTracking of object 4 mapped to station 3.");
    EXPECT_EQ(viewer.stationMap[2].objectId, 4);
    EXPECT_EQ(viewer.stationMap[0].objectId, 1);
}

TEST_F(ViewerTest, ZeroAddressesTheEleventhRowAndIsHandledWithoutOne) {
    verboseLevel = 1;
    StationMapEntry before[stationMapCapacity];
    std::memcpy(before, viewer.stationMap, sizeof before);
    EXPECT_EQ(Printed([&] { EXPECT_TRUE(viewer.Keyboard('0')); }), "");
    EXPECT_TRUE(SameRows(before, viewer.stationMap, stationMapCapacity));

    viewer.stationMapCount = 11;
    EXPECT_EQ(Printed([&] { EXPECT_TRUE(viewer.Keyboard('0')); }), "\nTracking of object 1 mapped to station 11.");
    EXPECT_EQ(viewer.stationMap[10].objectId, 1);
    EXPECT_EQ(viewer.stationMap[9].objectId, 0);
}

TEST_F(ViewerTest, UnboundKeysFallToTheFrameworkWhichIgnoresThem) {
    StationMapEntry before[stationMapCapacity];
    std::memcpy(before, viewer.stationMap, sizeof before);
    for (unsigned char key : {'4', '5', '6', '7', '8', '9', '\r', 'n', 'N'}) {
        EXPECT_FALSE(viewer.Keyboard(key)) << "key " << int(key);
    }
    EXPECT_TRUE(SameRows(before, viewer.stationMap, stationMapCapacity));
    EXPECT_EQ(viewer.frames, 0);
    EXPECT_TRUE(viewer.Keyboard('v')) << "framework keys still work";
    EXPECT_EQ(viewer.viewType, ViewType::FreeView);
}

TEST_F(ViewerTest, SpaceTogglesTheViewpointRowAndTheIdleCallback) {
    verboseLevel = 1;
    EXPECT_EQ(Printed([&] { EXPECT_TRUE(viewer.Keyboard(' ')); }), "\nToggled ON  tracking of object 1 on station 1.");
    EXPECT_TRUE(viewer.stationMap[0].tracking);
    EXPECT_EQ(viewer.frames, 1) << "one immediate frame";
    EXPECT_EQ(glut_probe::InstalledIdle(), viewer.redisplay);

    EXPECT_EQ(Printed([&] { viewer.Keyboard(' '); }), "\nToggled OFF tracking of object 1 on station 1.");
    EXPECT_FALSE(viewer.stationMap[0].tracking);
    EXPECT_EQ(viewer.frames, 2);
    EXPECT_EQ(glut_probe::InstalledIdle(), nullptr);
}

TEST_F(ViewerTest, SpaceTogglesOnlyTheFirstRowBoundToTheSelection) {
    verboseLevel = 1;
    viewer.stationMap[2].objectId = 2;
    viewer.stationMap[3].objectId = 2;
    viewer.selectedObject = viewer.Object(0);
    EXPECT_EQ(Printed([&] { viewer.Keyboard(' '); }), "\nToggled ON  tracking of object 2 on station 3.");
    EXPECT_TRUE(viewer.stationMap[2].tracking);
    EXPECT_FALSE(viewer.stationMap[3].tracking);
    EXPECT_FALSE(viewer.stationMap[0].tracking);
}

TEST_F(ViewerTest, SpaceForABoxNoRowIsBoundToDoesNothing) {
    verboseLevel = 1;
    viewer.selectedObject = viewer.Object(1);
    int idleChanges = glut_probe::IdleChanges();
    EXPECT_EQ(Printed([&] { EXPECT_TRUE(viewer.Keyboard(' ')); }), "");
    EXPECT_FALSE(viewer.AnyTracking());
    EXPECT_EQ(viewer.frames, 0);
    EXPECT_EQ(glut_probe::IdleChanges(), idleChanges);
}

}  // namespace
