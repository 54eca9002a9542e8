#include "tests/viewer/ViewerHarness.h"

#include "scene/SceneObject.h"
#include "scene/Shape.h"
#include "app/TrackerClientArray.h"
#include "app/TrackerSettings.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

StartUpRecord startUp;
StationMapEntry startMap[stationMapCapacity];
int startMapCount = 0;
const TrackerSettings defaultSettings;

// The window is mapped asynchronously; its first expose brings the first frame.
int CyclesUntilFirstFrame(TestViewer& viewer) {
    int cycles = 0;
    while (viewer.frames == 0 && cycles < 5000) {
        glut_probe::RunCycle();
        ++cycles;
    }
    return cycles;
}

TestViewer* Start() {
    // No server is running under this prefix: the report finds nothing.
    std::string prefix = "lvxviewer" + std::to_string(getpid()) + "_start_";
    setenv("LUMIVEX_SHM_PREFIX", prefix.c_str(), 1);
    TestViewer* viewer = new TestViewer;
    {
        StdoutCapture capture;
        viewer->Init("Lumivex viewer tests");
        startUp.output = capture.Text();
    }
    std::fputs(startUp.output.c_str(), stdout);
    startUp.idleAfterInit = glut_probe::InstalledIdle();
    startUp.firstFrameCycles = CyclesUntilFirstFrame(*viewer);
    startUp.idleAfterFirstFrame = glut_probe::InstalledIdle();
    startMapCount = viewer->stationMapCount;
    for (int i = 0; i < stationMapCapacity; ++i) startMap[i] = viewer->stationMap[i];
    return viewer;
}

void ResetCamera(TestViewer& viewer) {
    // The framework's start-up camera: eye (-6, -10, 8), looking at the centre.
    const float startEye[3] = {-6, -10, 8};
    viewer.viewType = ViewType::LookAtCentre;
    viewer.moveType = MoveType::Spherical;
    for (int i = 0; i < 3; ++i) {
        viewer.eye[i] = startEye[i];
        viewer.moveDelta[i] = 0;
    }
    viewer.azimuth = 0;
    viewer.elevation = 1.7278759f;
    viewer.roll = 0;
    viewer.cameraDirty = false;
    viewer.UpdateProjection();
}

void ResetInput(TestViewer& viewer) {
    viewer.selectedObject = nullptr;
    viewer.pickedName = 0;
    viewer.rotateDrag = 0;
    viewer.dragParameter = 0;
    for (int i = 0; i < 3; ++i) {
        viewer.buttonDown[i] = false;
        viewer.dragVector[i] = 0;
    }
    viewer.mouseX = viewer.mouseY = viewer.pickX = viewer.pickY = 0;
}

void ResetObjects(TestViewer& viewer) {
    // Tests that append objects remove them again; this guards the next test.
    if (viewer.objects.count > 3) viewer.objects.Resize(3);
    for (int i = 0; i < viewer.objects.count; ++i) {
        SceneObject* object = viewer.Object(i);
        Pose pose = DefaultBoxPose(i);
        object->SetPose(pose.x, pose.y, pose.z, pose.azimuth, pose.elevation, pose.roll);
        object->pickable = true;
        object->visible = true;
    }
}

void ResetTracking(TestViewer& viewer) {
    viewer.stationMapCount = startMapCount;
    for (int i = 0; i < stationMapCapacity; ++i) viewer.stationMap[i] = startMap[i];
    // A fresh client attaches under the current prefix, from channel 0.
    delete viewer.trackerClients;
    viewer.trackerClients = TrackerClientArray::Create(1);
}

}  // namespace

TestViewer& Viewer() {
    static TestViewer* viewer = Start();
    return *viewer;
}

const StartUpRecord& StartUp() {
    Viewer();
    return startUp;
}

Pose DefaultBoxPose(int i) {
    static const Pose poses[] = {{0, 6, 1, 0, 0, 0}, {0, -6, 1, 0, 0, 0}, {6, 0, 1, 0, 0, 0}};
    return poses[i];
}

void ResetViewer() {
    TestViewer& viewer = Viewer();
    verboseLevel = 0;
    trackerSettings = defaultSettings;
    viewer.timingOn = false;
    viewer.bannerOn = true;
    ResetInput(viewer);
    ResetObjects(viewer);
    ResetTracking(viewer);
    ResetCamera(viewer);
    // One frame with nothing to do leaves the idle callback removed; then
    // whatever GLUT still has pending is handled.
    viewer.idleRunning = false;
    viewer.Display();
    glut_probe::RunCycles(3);
    viewer.frames = 0;
}

ScreenPoint ScreenPointOf(float x, float y, float z) {
    const TestViewer& viewer = Viewer();
    double winX = 0, winY = 0, winZ = 0;
    gluProject(x, y, z, viewer.modelviewMatrix, viewer.projectionMatrix, viewer.viewport, &winX, &winY, &winZ);
    return {static_cast<int>(std::lround(winX)), viewer.viewport[3] - static_cast<int>(std::lround(winY))};
}

std::string ReportAgain() {
    TestViewer& viewer = Viewer();
    delete viewer.trackerClients;
    viewer.trackerClients = nullptr;
    StdoutCapture capture;
    viewer.ReportTrackingConfiguration();
    return capture.Text();
}

void ViewerTest::SetUp() {
    SharedMemoryTest::SetUp();
    ResetViewer();
}

void ViewerTest::TearDown() {
    publisher.reset();
    ResetViewer();
    SharedMemoryTest::TearDown();
}

bool ViewerTest::Publish(const std::vector<std::string>& arguments) {
    std::vector<std::string> once = arguments;
    once.push_back("--once");
    if (Publisher::Run(once) != 0) return false;
    publisher = std::make_unique<Publisher>(arguments);
    return true;
}
