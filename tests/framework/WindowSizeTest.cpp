#include "tests/framework/RecordingApp.h"

#include <ostream>

namespace {

struct Geometry {
    int x, y, width, height;
    bool operator==(const Geometry& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.width << "x" << g.height << "+" << g.x << "+" << g.y;
}

Geometry WindowGeometry() {
    return {glutGet(GLUT_WINDOW_X), glutGet(GLUT_WINDOW_Y), glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)};
}

// Pumps events until the window has the wanted geometry or stops changing
// for a while; returns the geometry it ended with.
Geometry SettleAt(const Geometry& wanted) {
    Geometry last = WindowGeometry();
    int unchanged = 0;
    PumpUntil([&] {
        Geometry now = WindowGeometry();
        unchanged = now == last ? unchanged + 1 : 0;
        last = now;
        return now == wanted || unchanged > 50;
    });
    return last;
}

// The window starts away from the screen corner, as a user would have moved it.
class WindowSizeTest : public AppTest {
protected:
    void BeforeInit(RecordingApp& newApp) override {
        GraphicsApp::fullScreen = false;
        newApp.SetWindowPosition(100, 60);
    }

    // GLUT delivers the reshape some events after the geometry changed.
    bool ReshapedTo(const Geometry& size) {
        return PumpUntil([&] { return app->viewport[2] == size.width && app->viewport[3] == size.height; });
    }
};

TEST_F(WindowSizeTest, PositionGivenBeforeInitPlacesTheWindow) {
    EXPECT_EQ(SettleAt({100, 60, 640, 480}), Geometry({100, 60, 640, 480}));
}

TEST_F(WindowSizeTest, PositionGivenAfterInitMovesTheWindowAtOnce) {
    app->SetWindowPosition(200, 150);

    EXPECT_EQ(app->viewport[0], 200);
    EXPECT_EQ(app->viewport[1], 150);
    EXPECT_EQ(SettleAt({200, 150, 640, 480}), Geometry({200, 150, 640, 480}));
}

TEST_F(WindowSizeTest, FirstPressFillsTheScreenAndTheSecondRestoresTheWindow) {
    app->RegisterCallbacks();
    const Geometry before = SettleAt({100, 60, 640, 480});
    const Geometry screen = {0, 0, glutGet(GLUT_SCREEN_WIDTH), glutGet(GLUT_SCREEN_HEIGHT)};

    ASSERT_TRUE(app->Keyboard('w'));
    EXPECT_EQ(SettleAt(screen), screen) << "full screen covers the whole screen";
    EXPECT_TRUE(ReshapedTo(screen)) << "the new size reaches Reshape";

    ASSERT_TRUE(app->Keyboard('W'));
    EXPECT_EQ(SettleAt(before), before);
    EXPECT_TRUE(ReshapedTo(before));
    EXPECT_FALSE(GraphicsApp::fullScreen);
}

}  // namespace
