#include "platform/Window.h"
#include "tests/framework/RecordingApp.h"

#include <cstdlib>

namespace {

// Init with the given title; the window is destroyed with the test.
class InitTest : public ::testing::Test {
protected:
    std::string InitCapturingOutput(const char* title) {
        StdoutCapture capture;
        initResult = app->Init(title);
        window = glutGetWindow();
        if (window) glutDisplayFunc([] {});
        return capture.Text();
    }

    void TearDown() override {
        app.reset();
        if (window) glutDestroyWindow(window);
        glutMainLoopEvent();
    }

    // The window is looked up on another connection, so wait until the
    // server has it.
    platform::WindowHandle FindWindow(const char* title) {
        platform::WindowHandle found = 0;
        PumpUntil([&] { return (found = platform::FindWindowByTitle(title)) != 0; });
        return found;
    }

    std::unique_ptr<RecordingApp> app = std::make_unique<RecordingApp>();
    bool initResult = false;
    int window = 0;
};

TEST_F(InitTest, PrintsTheEightProgressStepsInOrder) {
    std::string output = InitCapturingOutput(nullptr);

    EXPECT_TRUE(initResult);
    EXPECT_EQ(output,
              "\n\t\tWindow ... "
              "\n\t\tZ-Up Matrix ... "
              "\n\t\tDisplay Lists ... "
              "\n\t\tZedBuffer ... "
              "\n\t\tBackGround ... "
              "\n\t\tLights ... "
              "\n\t\tMaterials ... "
              "\n\t\tProjection ... ");
}

TEST_F(InitTest, NullTitleGivesTheDefaultTitleAndFindsTheWindow) {
    InitCapturingOutput(nullptr);

    ASSERT_TRUE(app->windowCreated);
    EXPECT_NE(app->windowHandle, 0u);
    EXPECT_EQ(FindWindow("Orvex Lumivex"), app->windowHandle);
}

TEST_F(InitTest, GivenTitleNamesTheWindow) {
    const std::string title = UniqueTitle("Lumivex title check");
    InitCapturingOutput(title.c_str());

    ASSERT_TRUE(app->windowCreated);
    EXPECT_NE(app->windowHandle, 0u);
    EXPECT_EQ(FindWindow(title.c_str()), app->windowHandle);
    EXPECT_EQ(platform::FindWindowByTitle("Orvex Lumivex"), 0u);
}

TEST_F(InitTest, SetsTheFixedOpenGlState) {
    InitCapturingOutput(nullptr);

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GT(depthBits, 0) << "depth testing needs a depth buffer";
    float light[4] = {};
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    EXPECT_FLOAT_EQ(light[0], 4.0f);
    EXPECT_FLOAT_EQ(light[2], 10.0f);
    EXPECT_FLOAT_EQ(light[3], 0.0f) << "a directional light";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Without a display GLUT would end the process; the framework must instead
// report that no window exists, and Run must not enter the main loop.
TEST(InitWithoutDisplayTest, ReturnsFalseAndRunReturnsAtOnce) {
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            GraphicsApp app;
            GraphicsApp::current = &app;
            bool created = app.Init(nullptr);
            app.RegisterCallbacks();
            app.ToggleWindowSize();
            bool ran = app.Run();
            std::exit(!created && !ran && !app.windowCreated ? 7 : 1);
        },
        ::testing::ExitedWithCode(7), "");
}

// The window raised on pointer motion is looked up by title, so it may
// belong to another program and be closed by it at any time.
TEST(PassiveMotionTest, WindowClosedByItsOwnerDoesNotEndTheProgram) {
    EXPECT_EXIT(
        {
            StdoutCapture quiet;
            RecordingApp app;
            app.Init(UniqueTitle().c_str());
            glutDisplayFunc([] {});
            const std::string otherTitle = UniqueTitle("another program's window");
            int other = glutCreateWindow(otherTitle.c_str());
            glutDisplayFunc([] {});
            platform::WindowHandle otherHandle = 0;
            PumpUntil([&] { return (otherHandle = platform::FindWindowByTitle(otherTitle.c_str())) != 0; });
            glutDestroyWindow(other);
            PumpUntil([&] { return platform::FindWindowByTitle(otherTitle.c_str()) == 0; });
            app.windowHandle = otherHandle;
            app.PassiveMotion(1, 1);
            std::exit(otherHandle ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
