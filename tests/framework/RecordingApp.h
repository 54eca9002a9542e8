#pragma once

#include "framework/GraphicsApp.h"
#include "tests/support/StdoutCapture.h"

#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// An application that records every virtual operation it receives (as
// "Name(arguments)") and then runs the framework's own version.
class RecordingApp : public GraphicsApp {
public:
    RecordingApp() { current = this; }

    std::vector<std::string> calls;
    std::function<void()> scene;       // drawn inside the camera transform
    std::function<void()> beforeSwap;  // runs after the overlay, just before the swap

    int Count(const std::string& call) const {
        int n = 0;
        for (const std::string& c : calls) n += c == call;
        return n;
    }

    void DrawScene() override {
        if (scene) scene();
    }
    void DrawOverlay() override {
        GraphicsApp::DrawOverlay();
        if (beforeSwap) beforeSwap();
    }
    void Display() override {
        Record("Display");
        GraphicsApp::Display();
    }
    void MouseDown(int x, int y, bool middleButton) override {
        Record("MouseDown", {x, y, middleButton});
        GraphicsApp::MouseDown(x, y, middleButton);
    }
    void MouseUp(int button) override { Record("MouseUp", {button}); }
    void MouseMotion(int x, int y) override {
        Record("MouseMotion", {x, y});
        GraphicsApp::MouseMotion(x, y);
    }
    void ToggleTracking() override { Record("ToggleTracking"); }
    bool ToggleTiming() override {
        Record("ToggleTiming");
        return GraphicsApp::ToggleTiming();
    }
    bool PrintHelp(int level) override {
        Record("PrintHelp", {level});
        return GraphicsApp::PrintHelp(level);
    }
    bool Keyboard(unsigned char key) override {
        Record("Keyboard", {key});
        return GraphicsApp::Keyboard(key);
    }
    bool MoveStep(int key) override {
        Record("MoveStep", {key});
        return GraphicsApp::MoveStep(key);
    }
    void PassiveMotion(int x, int y) override {
        Record("PassiveMotion", {x, y});
        GraphicsApp::PassiveMotion(x, y);
    }
    void Reshape(int width, int height) override {
        Record("Reshape", {width, height});
        GraphicsApp::Reshape(width, height);
    }
    void Entry(int state) override { Record("Entry", {state}); }
    void SetViewType(ViewType type) override {
        Record("SetViewType", {static_cast<int>(type)});
        GraphicsApp::SetViewType(type);
    }
    void SetEye(float x, float y, float z) override {
        Record("SetEye");
        GraphicsApp::SetEye(x, y, z);
    }
    bool SpecialKey(int key, int x, int y) override {
        Record("SpecialKey", {key, x, y});
        return GraphicsApp::SpecialKey(key, x, y);
    }

private:
    void Record(const char* name, std::initializer_list<int> arguments = {}) {
        std::string call = name;
        if (arguments.size()) {
            const char* separator = "(";
            for (int argument : arguments) call += separator + std::to_string(argument), separator = ",";
            call += ")";
        }
        calls.push_back(call);
    }
};

// Windows are found by title on a display other test processes may share.
inline std::string UniqueTitle(const char* what = "Lumivex framework test") {
    return std::string(what) + " " + std::to_string(getpid());
}

// Processes GLUT events until `done` holds, for at most about three seconds:
// the X server maps and configures windows asynchronously.
template <class Done>
bool PumpUntil(Done done) {
    for (int round = 0; round < 300; ++round) {
        glutMainLoopEvent();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// A recording application with an open window, destroyed after the test.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(Open()); }

    void TearDown() override {
        app.reset();
        if (window) glutDestroyWindow(window);
        glutMainLoopEvent();
    }

    // Runs before Init; a test may place or size the window here.
    virtual void BeforeInit(RecordingApp&) {}

    void Open() {
        app = std::make_unique<RecordingApp>();
        BeforeInit(*app);
        {
            StdoutCapture quiet;
            ASSERT_TRUE(app->Init(UniqueTitle().c_str()));
        }
        window = glutGetWindow();
        // GLUT refuses to process events for a window without a display callback.
        glutDisplayFunc([] {});
        ASSERT_TRUE(PumpUntil([] { return glutGet(GLUT_WINDOW_WIDTH) > 0; }));
        app->calls.clear();
    }

    void SetEye(float x, float y, float z) {
        app->eye[0] = x;
        app->eye[1] = y;
        app->eye[2] = z;
    }

    std::unique_ptr<RecordingApp> app;
    int window = 0;
};
