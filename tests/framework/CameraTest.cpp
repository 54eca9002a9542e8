#include "tests/framework/RecordingApp.h"

#include <cmath>

namespace {

struct Step {
    const char* what;
    MoveType moveType;
    float start[3];
    int key;
    double expected[3];
};

const double A = std::atan2(4.0, 3.0);  // azimuth of (3, 4)

const Step steps[] = {
    {"spherical up comes 10% closer", MoveType::Spherical, {3, 4, 0}, GLUT_KEY_UP, {2.7, 3.6, 0}},
    {"spherical down goes 10% away", MoveType::Spherical, {3, 4, 0}, GLUT_KEY_DOWN, {3.3, 4.4, 0}},
    {"spherical right turns +0.1 rad",
     MoveType::Spherical,
     {3, 4, 0},
     GLUT_KEY_RIGHT,
     {5 * std::cos(A + 0.1), 5 * std::sin(A + 0.1), 0}},
    {"spherical left turns -0.1 rad",
     MoveType::Spherical,
     {3, 4, 0},
     GLUT_KEY_LEFT,
     {5 * std::cos(A - 0.1), 5 * std::sin(A - 0.1), 0}},
    {"spherical page up raises 0.1 rad",
     MoveType::Spherical,
     {3, 4, 0},
     GLUT_KEY_PAGE_UP,
     {3 * std::cos(0.1), 4 * std::cos(0.1), 5 * std::sin(0.1)}},
    {"cylindrical page up raises by 1", MoveType::Cylindrical, {3, 4, 0}, GLUT_KEY_PAGE_UP, {3, 4, 1}},
    {"cylindrical up keeps the height", MoveType::Cylindrical, {3, 4, 2}, GLUT_KEY_UP, {2.7, 3.6, 2}},
    {"cartesian left is -y", MoveType::Cartesian, {-6, -10, 8}, GLUT_KEY_LEFT, {-6, -11, 8}},
    {"cartesian up is -x", MoveType::Cartesian, {-6, -10, 8}, GLUT_KEY_UP, {-7, -10, 8}},
    {"cartesian page down is -z", MoveType::Cartesian, {-6, -10, 8}, GLUT_KEY_PAGE_DOWN, {-6, -10, 7}},
    {"cartesian right is +y", MoveType::Cartesian, {-6, -10, 8}, GLUT_KEY_RIGHT, {-6, -9, 8}},
    {"spherical from the origin is dropped", MoveType::Spherical, {0, 0, 0}, GLUT_KEY_DOWN, {0, 0, 0}},
    {"cylindrical from the z axis is dropped", MoveType::Cylindrical, {0, 0, 5}, GLUT_KEY_PAGE_UP, {0, 0, 5}},
};

class CameraTest : public AppTest {
protected:
    void ExpectEye(double x, double y, double z) {
        EXPECT_NEAR(app->eye[0], x, 1e-5);
        EXPECT_NEAR(app->eye[1], y, 1e-5);
        EXPECT_NEAR(app->eye[2], z, 1e-5);
    }
};

TEST_F(CameraTest, EachArrowOrPageKeyMovesOneStepAndRedrawsAtOnce) {
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        app->moveType = step.moveType;
        SetEye(step.start[0], step.start[1], step.start[2]);
        app->calls.clear();

        EXPECT_TRUE(app->SpecialKey(step.key, 7, 9));

        ExpectEye(step.expected[0], step.expected[1], step.expected[2]);
        std::string key = std::to_string(step.key);
        EXPECT_EQ(app->calls,
                  std::vector<std::string>({"SpecialKey(" + key + ",7,9)", "MoveStep(" + key + ")", "Display"}));
        EXPECT_FALSE(app->cameraDirty);
        EXPECT_EQ(std::vector<float>(app->moveDelta, app->moveDelta + 3), std::vector<float>(3, 0.0f))
            << "steps are used up";
    }
}

TEST_F(CameraTest, PresetKeysPutTheEyeAndRedraw) {
    struct Preset {
        int key;
        float lookAtHeight;
        float expected[3];
    };
    const Preset presets[] = {
        {GLUT_KEY_F2, 1, {-0.1f, 0, 20}},    {GLUT_KEY_F3, 1, {-20, 0, 1}},       {GLUT_KEY_F3, 2.5f, {-20, 0, 2.5f}},
        {GLUT_KEY_F4, 2.5f, {0, -20, 2.5f}}, {GLUT_KEY_HOME, 2.5f, {-6, -10, 8}},
    };
    app->azimuth = 0.5f;
    for (const Preset& preset : presets) {
        SCOPED_TRACE(preset.key);
        SetEye(3, 4, 5);
        app->lookAtCentre[2] = preset.lookAtHeight;
        app->calls.clear();

        EXPECT_TRUE(app->SpecialKey(preset.key, 0, 0));

        ExpectEye(preset.expected[0], preset.expected[1], preset.expected[2]);
        EXPECT_EQ(app->Count("Display"), 1);
    }
    EXPECT_FLOAT_EQ(app->azimuth, 0.5f) << "presets move the eye only";
}

TEST_F(CameraTest, F1PrintsHelpAndKeysOutsideTheMapAreNotHandled) {
    StdoutCapture quiet;
    EXPECT_TRUE(app->SpecialKey(GLUT_KEY_F1, 0, 0));
    EXPECT_EQ(app->Count("PrintHelp(0)"), 1);

    for (int key : {GLUT_KEY_F5, GLUT_KEY_F12, GLUT_KEY_END, GLUT_KEY_INSERT, 99, 0}) {
        app->calls.clear();
        EXPECT_FALSE(app->SpecialKey(key, 0, 0)) << key;
        EXPECT_EQ(app->calls.size(), 1u) << key;
    }
    ExpectEye(-6, -10, 8);
}

TEST_F(CameraTest, FixedFrameMirrorsTheEyeOncePerFrame) {
    SetEye(150, 4, 6);
    app->SetViewType(ViewType::FixedFrame);
    EXPECT_EQ(app->Count("Display"), 0) << "choosing a view type does not redraw";
    ExpectEye(150, 4, 6);

    app->Display();
    ExpectEye(50, -4, 6);

    app->Display();
    ExpectEye(150, 4, 6);
}

TEST_F(CameraTest, ViewTypeChangeWaitsForTheNextFrame) {
    app->SetViewType(ViewType::FreeView);

    EXPECT_EQ(app->viewType, ViewType::FreeView);
    EXPECT_EQ(app->calls, std::vector<std::string>({"SetViewType(1)"}));
}

}  // namespace
