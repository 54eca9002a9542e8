#include "tests/framework/MatrixMath.h"
#include "tests/framework/RecordingApp.h"

namespace {

const unsigned NoName = 0xFFFFFFFFu;

// Hit records as OpenGL writes them: name count, minimum and maximum depth,
// then the names.
std::vector<unsigned> Records(std::initializer_list<std::vector<unsigned>> records) {
    std::vector<unsigned> buffer;
    for (const std::vector<unsigned>& r : records) {
        buffer.push_back(unsigned(r.size()) - 2);
        buffer.insert(buffer.end(), r.begin(), r.end());
    }
    return buffer;
}

TEST(ChooseHitTest, NearestNamedHitWinsAndTheFirstOfEquals) {
    struct Case {
        const char* what;
        int hitCount;
        std::vector<unsigned> buffer;
        int expected;
    };
    const Case cases[] = {
        {"no hit", 0, Records({{5, 6, 3}}), 0},
        {"overflow", -1, Records({{5, 6, 3}}), 0},
        {"nearest", 3, Records({{500, 600, 7}, {100, 200, 9}, {300, 400, 11}}), 9},
        {"first of equal depths", 2, Records({{100, 900, 7}, {100, 200, 9}}), 7},
        {"unpickable in front", 2, Records({{10, 20, NoName}, {50, 60, 4}}), 4},
        {"only unpickable", 1, Records({{10, 20, NoName}}), 0},
        {"top of the name stack", 1, Records({{10, 20, 3, 8}}), 8},
        {"record without names", 2, Records({{10, 20}, {50, 60, 4}}), 4},
        {"depth at the far end", 1, Records({{NoName - 1, NoName, 6}}), 6},
        {"name reading negative", 1, Records({{10, 20, 0x80000000u}}), 0},
        {"only hitCount records", 1, Records({{100, 200, 7}, {10, 20, 9}}), 7},
        // A corrupt name count must not wrap the record's end back into the buffer.
        {"name count wrapping to the start", 1, {0xFFFFFFFDu, 1, 2, 3}, 0},
        {"name count wrapping onto the depth", 1, {0xFFFFFFFFu, 1, 2, 3}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(GraphicsApp::ChooseHit(c.hitCount, c.buffer.data()), c.expected) << c.what;
}

TEST(ChooseHitTest, ReadsNothingBeyondTheSelectionBuffer) {
    // 128 records of four entries fill the 512 entries exactly; a nearer
    // record after them lies outside the buffer OpenGL was given.
    std::vector<unsigned> buffer;
    for (unsigned name = 1; name <= 128; ++name) buffer.insert(buffer.end(), {1, 1000, 2000, name});
    buffer.insert(buffer.end(), {1, 1, 2, 999});
    EXPECT_EQ(GraphicsApp::ChooseHit(129, buffer.data()), 1);

    // A record that starts inside but runs past the end has no name to read.
    buffer.clear();
    for (int record = 0; record < 126; ++record) buffer.insert(buffer.end(), {1, 1000, 2000, 5});
    buffer.insert(buffer.end(), {3, 1000, 2000, 6, 6, 6});
    ASSERT_EQ(buffer.size(), 510u);
    buffer.insert(buffer.end(), {1, 1, 2, 999});
    EXPECT_EQ(GraphicsApp::ChooseHit(128, buffer.data()), 5);
}

TEST(IntersectRayPlaneTest, MeetsThePlaneAlongTheRayEitherWay) {
    struct Case {
        Vector3 origin, direction;
        Vector3 expected;
    };
    const Case cases[] = {
        {{0, 0, 10}, {0, 0, -1}, {0, 0, 2}},  // straight down
        {{0, 0, 10}, {1, 2, -4}, {2, 4, 2}},  // oblique
        {{0, 0, 10}, {0, 0, 3}, {0, 0, 2}},   // plane behind the origin
        {{1, 1, 2}, {5, 0, 1}, {1, 1, 2}},    // origin on the plane
    };
    for (const Case& c : cases) {
        Vector3 out(7, 8, 9);
        ASSERT_TRUE(GraphicsApp::IntersectRayPlane({0, 0, 1}, 2.0, c.origin, c.direction, out));
        EXPECT_NEAR(out.x, c.expected.x, 1e-6);
        EXPECT_NEAR(out.y, c.expected.y, 1e-6);
        EXPECT_NEAR(out.z, c.expected.z, 1e-6);
    }
}

TEST(IntersectRayPlaneTest, RayAlongThePlaneLeavesTheResultAlone) {
    for (float rise : {0.0f, 1e-9f, -1e-9f}) {
        Vector3 out(7, 8, 9);
        EXPECT_FALSE(GraphicsApp::IntersectRayPlane({0, 0, 1}, 2.0, {0, 0, 10}, {1, 0, rise}, out)) << rise;
        EXPECT_EQ(out.x + out.y + out.z, 24.0f);
    }
    Vector3 out;
    EXPECT_TRUE(GraphicsApp::IntersectRayPlane({0, 0, 1}, 2.0, {0, 0, 10}, {1, 0, -2e-8f}, out));
}

class PickTest : public AppTest {
protected:
    // Squares straight ahead of the camera, drawn in eye coordinates, each
    // under its own name.
    void DrawSquaresAhead(std::vector<std::pair<unsigned, float>> namedDistances) {
        app->scene = [namedDistances] {
            glDisable(GL_CULL_FACE);
            glPushMatrix();
            glLoadIdentity();
            for (const auto& [name, distance] : namedDistances) {
                glLoadName(name);
                glBegin(GL_QUADS);
                glVertex3f(-1, -1, -distance);
                glVertex3f(1, -1, -distance);
                glVertex3f(1, 1, -distance);
                glVertex3f(-1, 1, -distance);
                glEnd();
            }
            glPopMatrix();
            glEnable(GL_CULL_FACE);
        };
    }
};

TEST_F(PickTest, NearestPickableObjectUnderThePointerIsPicked) {
    DrawSquaresAhead({{7, 8}, {42, 5}, {NoName, 3}});

    app->MouseDown(320, 240, false);
    EXPECT_EQ(app->pickedName, 42);
    EXPECT_EQ(app->pickY, 240);

    app->MouseDown(5, 5, false);
    EXPECT_EQ(app->pickedName, 0);

    EXPECT_EQ(app->renderMode, GLenum(GL_RENDER));
    EXPECT_EQ(app->Count("Display"), 0) << "a pick draws no frame";
    EXPECT_TRUE(
        matrix::Near(matrix::Read(GL_PROJECTION_MATRIX).data(), matrix::Perspective(35, 640.0 / 480, 0.1, 200.1)))
        << "the pick region is dropped again";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(PickTest, PointerRayMeetsTheGroundWhereTheCameraLooks) {
    // The window centre looks along the line from the eye to the look-at point.
    app->Display();
    app->pickX = 320;
    app->pickY = 240;
    Vector3 out;
    ASSERT_TRUE(app->ScreenToPlane({0, 0, 1}, {5, 5, 1}, out));
    EXPECT_NEAR(out.x, 0, 1e-3);
    EXPECT_NEAR(out.y, 0, 1e-3);
    EXPECT_NEAR(out.z, 1, 1e-3);

    // Right after a pick the matrices are those of the pick pass.
    app->MouseDown(320, 240, false);
    out = Vector3();
    ASSERT_TRUE(app->ScreenToPlane({0, 0, 1}, {5, 5, 1}, out));
    EXPECT_NEAR(out.x, 0, 1e-2);
    EXPECT_NEAR(out.y, 0, 1e-2);
    EXPECT_NEAR(out.z, 1, 1e-3);
}

TEST_F(PickTest, NoRayWithoutAnInvertibleView) {
    // Before any scene pass the captured matrices are all zero; with the eye
    // straight above the look-at point the camera has no sideways direction.
    const std::pair<const char*, bool> views[] = {{"before any scene pass", false}, {"eye above the centre", true}};
    for (const auto& [what, drawn] : views) {
        SCOPED_TRACE(what);
        SetEye(0, 0, 10);
        if (drawn) app->Display();
        app->pickX = 320;
        app->pickY = 240;
        Vector3 out(7, 8, 9);
        EXPECT_FALSE(app->ScreenToPlane({0, 0, 1}, {0, 0, 1}, out));
        EXPECT_EQ(out.x + out.y + out.z, 24.0f);
    }
}

}  // namespace
