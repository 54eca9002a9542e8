#pragma once

#include "app/ViewerApp.h"
#include "scene/SceneObject.h"
#include "scene/Shape.h"
#include "tests/support/StdoutCapture.h"
#include "tests/support/GlutIdleProbe.h"
#include "tests/tracker/TrackerTestSupport.h"

#include <memory>
#include <string>
#include <vector>

// The viewer under test: the real ViewerApp, counting the frames it draws and
// remembering the framework's grid list, which its environment replaces.
class TestViewer : public ViewerApp {
public:
    void Display() override {
        ++frames;
        ViewerApp::Display();
    }
    // Runs after the framework built its shapes and before the environment.
    void RegisterCallbacks() override {
        frameworkGridList = gridShape ? gridShape->displayList : 0;
        ViewerApp::RegisterCallbacks();
    }

    const Shape* Grid() const { return gridShape.get(); }

    int frames = 0;
    unsigned frameworkGridList = 0;
};

// What happened while the viewer started.
struct StartUpRecord {
    std::string output;  // everything Init printed
    glut_probe::Callback idleAfterInit = nullptr;
    glut_probe::Callback idleAfterFirstFrame = nullptr;
    int firstFrameCycles = 0;  // main-loop cycles until the window's first frame
};

// One viewer per process: GLUT starts once, and object ids come from a
// process-wide counter. Created and initialised on first use.
TestViewer& Viewer();
const StartUpRecord& StartUp();

// Puts the viewer back into its state right after start-up: selection, drag,
// poses, flags, station map, camera, options, fresh tracker clients (so they
// attach under the current name prefix) and no idle callback.
void ResetViewer();

// Default pose of box i (0 blue, 1 red, 2 green).
Pose DefaultBoxPose(int i);

// Where a world point shows in the last frame, in GLUT window coordinates
// (origin top left), computed with GLU from the matrices the viewer captured.
struct ScreenPoint {
    int x, y;
};
ScreenPoint ScreenPointOf(float x, float y, float z);

// What `action` prints.
template <typename Action>
std::string Printed(Action&& action) {
    StdoutCapture capture;
    action();
    return capture.Text();
}

// Drops the tracker clients and reports the tracking configuration again, so
// rows take their unit scale from the channels published now. Its output.
std::string ReportAgain();

// Every test gets its own name prefix (cleared before and after) and a viewer
// in its start-up state.
class ViewerTest : public SharedMemoryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a publisher once, so its records are in place, then keeps one
    // running with the same arguments. False when the first run fails.
    bool Publish(const std::vector<std::string>& arguments);

    TestViewer& viewer = Viewer();
    std::unique_ptr<Publisher> publisher;
};
