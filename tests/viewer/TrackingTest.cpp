#include "tests/viewer/ViewerHarness.h"

#include "scene/SceneObject.h"
#include "channel/StationReader.h"
#include "app/TrackerSettings.h"

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

const double SceneUnit = 0.24999999441206455;
const double Tolerance = 1e-4;

// Station records the publisher serves, in the channel's unit and radians.
const Pose Station0{10, 4, -8, 0.5f, -0.25f, 0.125f};
const Pose Station1{3, -2, 1, -1.5f, 0.75f, -0.5f};

std::string PoseArgument(int station, const Pose& p) {
    char text[160];
    std::snprintf(text, sizeof text, "%d=%g,%g,%g,%g,%g,%g", station, p.x, p.y, p.z, p.azimuth, p.elevation, p.roll);
    return text;
}

std::vector<std::string> PublisherArguments(const char* flags, const char* bins = "0") {
    return {"--bins",   bins,
            "--flags",  flags,
            "--motion", "still",
            "--pose",   PoseArgument(0, Station0),
            "--pose",   PoseArgument(1, Station1)};
}

// A record as the viewer should place it: to centimetres, shifted by the
// origin offset, then (unless kept in centimetres) to scene units.
Pose Placed(const Pose& record, double scale, bool sceneUnits = true) {
    const float* offset = trackerSettings.originOffset;
    double factor = sceneUnits ? SceneUnit : 1.0;
    return {float((record.x * scale + offset[0]) * factor),
            float((record.y * scale + offset[1]) * factor),
            float((record.z * scale + offset[2]) * factor),
            record.azimuth,
            record.elevation,
            record.roll};
}

Pose Viewpoint(const TestViewer& viewer) {
    return {viewer.eye[0], viewer.eye[1], viewer.eye[2], viewer.azimuth, viewer.elevation, viewer.roll};
}

::testing::AssertionResult SamePose(const Pose& actual, const Pose& expected) {
    const float a[6] = {actual.x, actual.y, actual.z, actual.azimuth, actual.elevation, actual.roll};
    const float e[6] = {expected.x, expected.y, expected.z, expected.azimuth, expected.elevation, expected.roll};
    for (int i = 0; i < 6; ++i) {
        if (std::abs(a[i] - e[i]) > Tolerance)
            return ::testing::AssertionFailure() << "component " << i << " is " << a[i] << ", expected " << e[i];
    }
    return ::testing::AssertionSuccess();
}

void DrawFrames(int count) {
    for (int i = 0; i < count; ++i) Viewer().Display();
}

struct UnitCase {
    const char* name;
    const char* flags;
    float scale;
    const char* label;
};

// Names the case in test listings (the default would dump its bytes).
void PrintTo(const UnitCase& unit, std::ostream* out) { *out << unit.name; }

class TrackingUnitTest : public ViewerTest, public ::testing::WithParamInterface<UnitCase> {};

// The unit the report reads from the channel decides the row's scale, and
// tracking the viewpoint converts with it.
TEST_P(TrackingUnitTest, ViewpointFollowsTheStationInSceneUnits) {
    const UnitCase& unit = GetParam();
    ASSERT_TRUE(Publish(PublisherArguments(unit.flags)));
    std::string report = ReportAgain();
    EXPECT_NE(report.find(unit.label), std::string::npos) << report;
    ASSERT_EQ(viewer.stationMapCount, 4);
    EXPECT_EQ(viewer.stationMap[0].scale, unit.scale);

    EXPECT_TRUE(viewer.Keyboard(' '));
    EXPECT_TRUE(SamePose(Viewpoint(viewer), Placed(Station0, unit.scale)));
}

INSTANTIATE_TEST_SUITE_P(Units, TrackingUnitTest,
                         ::testing::Values(UnitCase{"inches", "0x01F", 2.54f, "INCHES"},
                                           UnitCase{"centimetres", "0x11F", 1.0f, "CMETER"},
                                           UnitCase{"metres", "0x21F", 100.0f, "METERS"}),
                         [](const ::testing::TestParamInfo<UnitCase>& info) { return info.param.name; });

TEST_F(ViewerTest, TenInchesPutTheEyeAtMinusNinePointNine) {
    ASSERT_TRUE(Publish(PublisherArguments("0x01F")));
    ReportAgain();
    viewer.Keyboard(' ');
    EXPECT_NEAR(viewer.eye[0], (25.4 - 65.0) * SceneUnit, Tolerance);
    EXPECT_NEAR(viewer.eye[0], -9.9, 1e-5);
}

TEST_F(ViewerTest, ViewpointLineRewritesItselfEveryFrameWhenVerbose) {
    ASSERT_TRUE(Publish(PublisherArguments("0x01F")));
    ReportAgain();
    verboseLevel = 1;
    EXPECT_EQ(Printed([&] { viewer.Keyboard(' '); }),
              "\nToggled ON  tracking of object 1 on station 1.\rVP:  -9.9,  2.5,  4.9");
    EXPECT_EQ(Printed([] { glut_probe::RunCycles(3); }),
              "\rVP:  -9.9,  2.5,  4.9\rVP:  -9.9,  2.5,  4.9\rVP:  -9.9,  2.5,  4.9");

    verboseLevel = 0;
    EXPECT_EQ(Printed([] { glut_probe::RunCycles(3); }), "");
}

TEST_F(ViewerTest, FixedFrameViewKeepsTheViewpointInCentimetres) {
    ASSERT_TRUE(Publish(PublisherArguments("0x01F")));
    ReportAgain();
    viewer.SetViewType(ViewType::FixedFrame);
    verboseLevel = 1;
    EXPECT_EQ(Printed([&] { viewer.Keyboard(' '); }),
              "\nToggled ON  tracking of object 1 on station 1.\rVP: -39.6, 10.2, 19.7");
    // The frame then mirrors the sample once: x to 200 - x, y to -y.
    Pose centimetres = Placed(Station0, 2.54, false);
    for (int frame = 0; frame < 3; ++frame) {
        glut_probe::RunCycles(1);
        EXPECT_NEAR(viewer.eye[0], 200 - centimetres.x, Tolerance) << "frame " << frame;
        EXPECT_NEAR(viewer.eye[1], -centimetres.y, Tolerance) << "frame " << frame;
        EXPECT_NEAR(viewer.eye[2], centimetres.z, Tolerance) << "frame " << frame;
    }
}

TEST_F(ViewerTest, OriginOffsetShiftsEveryTrackedPosition) {
    trackerSettings.originOffset[0] = 10;
    trackerSettings.originOffset[1] = -20;
    trackerSettings.originOffset[2] = 5;
    ASSERT_TRUE(Publish(PublisherArguments("0x11F")));
    ReportAgain();
    viewer.Keyboard(' ');
    EXPECT_TRUE(SamePose(Viewpoint(viewer), {5, -4, -0.75f, Station0.azimuth, Station0.elevation, Station0.roll}));
}

// Tracking one box's row reads every row: the viewpoint of row 0 follows too,
// while boxes bound to no row stay put. Boxes stay in scene units in every view.
TEST_F(ViewerTest, TrackingABoxReadsEveryRow) {
    ASSERT_TRUE(Publish(PublisherArguments("0x21F")));
    SceneObject* red = viewer.Object(1);
    viewer.selectedObject = red;
    viewer.Keyboard('2');
    viewer.Keyboard(' ');
    ASSERT_FALSE(viewer.stationMap[0].tracking);
    ASSERT_TRUE(viewer.stationMap[1].tracking);

    EXPECT_TRUE(SamePose(*red->pose, Placed(Station1, 100)));
    EXPECT_TRUE(SamePose(Viewpoint(viewer), Placed(Station0, 100)));
    EXPECT_TRUE(SamePose(*viewer.Object(0)->pose, DefaultBoxPose(0)));
    EXPECT_TRUE(SamePose(*viewer.Object(2)->pose, DefaultBoxPose(2)));

    viewer.SetViewType(ViewType::FixedFrame);
    glut_probe::RunCycles(2);
    EXPECT_TRUE(SamePose(*red->pose, Placed(Station1, 100)));
}

TEST_F(ViewerTest, WhenTwoRowsDriveOneTargetTheLaterRowWins) {
    ASSERT_TRUE(Publish(PublisherArguments("0x21F")));
    viewer.stationMap[1].station = 1;
    viewer.stationMap[1].objectId = 1;
    viewer.Keyboard(' ');
    EXPECT_TRUE(SamePose(Viewpoint(viewer), Placed(Station1, 100)));
}

// A row bound to no existing object attaches and locks its channel, releases
// it again, and moves nothing.
TEST_F(ViewerTest, RowBoundToAMissingObjectChangesNothing) {
    ASSERT_TRUE(Publish(PublisherArguments("0x21F")));
    for (int row = 0; row < viewer.stationMapCount; ++row) viewer.stationMap[row].objectId = 7;
    viewer.stationMap[0].tracking = true;
    TrackerClient& client = (*viewer.trackerClients)[0];
    ASSERT_FALSE(client.IsChannelOpen(0));

    DrawFrames(5);
    EXPECT_TRUE(client.IsChannelOpen(0));
    EXPECT_FALSE(client.IsLocked());
    EXPECT_EQ(viewer.eye[0], -6);
    EXPECT_EQ(viewer.eye[1], -10);
    EXPECT_EQ(viewer.eye[2], 8);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(SamePose(*viewer.Object(i)->pose, DefaultBoxPose(i))) << "box " << i;
    // The channel is free: a reader of its own gets the record.
    TrackerClient reader;
    float record[6] = {};
    EXPECT_TRUE(ReadStationPose(reader, 0, 0, record));
}

// A row whose channel the server does not publish is skipped; the rows after
// it are still read.
TEST_F(ViewerTest, RowWithAMissingChannelIsSkippedAndItsTargetStays) {
    ASSERT_TRUE(Publish(PublisherArguments("0x21F", "0")));
    viewer.stationMap[0] = {0, 1, 0, 2, true, 100.0f};
    viewer.stationMap[1] = {0, 0, 0, 1, false, 100.0f};
    DrawFrames(3);
    EXPECT_TRUE(SamePose(*viewer.Object(0)->pose, DefaultBoxPose(0)));
    EXPECT_TRUE(SamePose(Viewpoint(viewer), Placed(Station0, 100)));
}

TEST_F(ViewerTest, WithoutAServerTrackingLeavesEverythingInPlace) {
    viewer.Keyboard(' ');
    glut_probe::RunCycles(5);
    EXPECT_TRUE(SamePose(Viewpoint(viewer), {-6, -10, 8, 0, 1.7278759f, 0}));
    EXPECT_FALSE((*viewer.trackerClients)[0].IsLocked());
}

}  // namespace
