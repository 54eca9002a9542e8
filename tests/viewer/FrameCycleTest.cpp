#include "tests/viewer/ViewerHarness.h"

#include <GL/freeglut.h>

namespace {

const int ManyCycles = 200;

TEST_F(ViewerTest, TheFirstFrameRemovesTheIdleCallbackThatStartUpInstalled) {
    EXPECT_EQ(StartUp().idleAfterInit, viewer.redisplay);
    EXPECT_NE(StartUp().idleAfterInit, nullptr);
    EXPECT_EQ(StartUp().idleAfterFirstFrame, nullptr);
}

TEST_F(ViewerTest, AnIdleViewerDrawsNothingUntilAskedToRedisplay) {
    glut_probe::RunCycles(ManyCycles);
    EXPECT_EQ(viewer.frames, 0);

    glutPostRedisplay();
    glut_probe::RunCycles(ManyCycles);
    EXPECT_EQ(viewer.frames, 1);
}

TEST_F(ViewerTest, APressKeepsFramesComingUntilTheRelease) {
    // A press on empty background selects nothing but still animates.
    viewer.MouseDown(2, 2, false);
    EXPECT_EQ(glut_probe::InstalledIdle(), viewer.redisplay);
    glut_probe::RunCycles(ManyCycles);
    EXPECT_EQ(viewer.frames, ManyCycles);

    viewer.MouseUp(0);
    glut_probe::RunCycles(ManyCycles);
    EXPECT_EQ(viewer.frames, ManyCycles + 1) << "one more frame removes the idle callback";
    EXPECT_EQ(glut_probe::InstalledIdle(), nullptr);
}

TEST_F(ViewerTest, ReleasingWhileTrackingKeepsTheIdleCallback) {
    viewer.Keyboard(' ');
    viewer.MouseDown(2, 2, false);
    viewer.MouseUp(0);
    glut_probe::RunCycles(ManyCycles);
    EXPECT_GE(viewer.frames, ManyCycles);
    EXPECT_EQ(glut_probe::InstalledIdle(), viewer.redisplay);
}

TEST_F(ViewerTest, TickWithoutTimingDoesNothing) {
    ViewerApp::tickCount = 0;
    EXPECT_EQ(Printed([&] {
                  for (int i = 0; i < 1000; ++i) viewer.Tick(i);
              }),
              "");
    EXPECT_EQ(ViewerApp::tickCount, 0u);
    EXPECT_EQ(viewer.frames, 0);
}

TEST_F(ViewerTest, TickWithTimingDrawsEveryCallAndReportsEvery441) {
    ViewerApp::tickCount = 0;
    ASSERT_TRUE(viewer.ToggleTiming());
    auto ticks = [&](int n) {
        return Printed([&] {
            for (int i = 0; i < n; ++i) viewer.Tick(0);
        });
    };
    EXPECT_EQ(ticks(440), "");
    EXPECT_EQ(ticks(1), "\n\tTiming audio ( 10).");
    EXPECT_EQ(viewer.frames, 441);
    EXPECT_EQ(ticks(441), "\n\tTiming audio ( 20).");
    EXPECT_EQ(viewer.frames, 882);
}

}  // namespace
