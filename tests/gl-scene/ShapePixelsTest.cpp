// Prototype shapes rendered lit, with depth test and back faces culled. The
// light shines from the viewer and there is no ambient light, so a face shows
// bright only when it is the near side of the shape and its normal faces the
// viewer: a reversed winding would cull it and show the black far side.
#include "scene/Colour.h"
#include "scene/CompositeShapes.h"
#include "scene/PrimitiveShapes.h"
#include "scene/SceneObject.h"
#include "tests/support/GlTestEnvironment.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

using Rgb = std::array<int, 3>;
const Rgb Background = {153, 153, 153};  // 0.6 grey

class ShapePixels : public ::testing::Test {
protected:
    void SetUp() override {
        gltest::ResetState();
        const float fromViewer[] = {0, 0, 1, 0}, none[] = {0, 0, 0, 1};
        glLightfv(GL_LIGHT0, GL_POSITION, fromViewer);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, none);
        glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
        for (GLenum on : {GL_LIGHT0, GL_COLOR_MATERIAL, GL_LIGHTING, GL_NORMALIZE, GL_DEPTH_TEST, GL_CULL_FACE})
            glEnable(on);
        glClearColor(0.6f, 0.6f, 0.6f, 1);
    }
    void TearDown() override {
        for (GLenum off : {GL_LIGHT0, GL_COLOR_MATERIAL, GL_NORMALIZE}) glDisable(off);
    }

    // Clears and draws `object` seen orthographically from the direction
    // `from`, z up unless looking along z.
    static void Render(const SceneObject& object, Vector3 from) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2.8, 2.8, -2.1, 2.1, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        const bool vertical = from.x == 0 && from.y == 0;
        gluLookAt(from.x, from.y, from.z, 0, 0, 0, 0, vertical, !vertical);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        object.DrawObject(GL_RENDER, nullptr);
    }

    // The back-buffer pixel where world point `p` lands.
    static Rgb At(Vector3 p) {
        GLdouble model[16], projection[16], wx, wy, wz;
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_TRUE(gluProject(p.x, p.y, p.z, model, projection, viewport, &wx, &wy, &wz));
        unsigned char rgb[3] = {};
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(static_cast<GLint>(wx), static_cast<GLint>(wy), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
        return {rgb[0], rgb[1], rgb[2]};
    }
};

// Brightly lit in the pure colour `colour` of the palette.
void ExpectLit(const Rgb& rgb, const Colour& colour, const char* where) {
    const float level = rgb[0] + rgb[1] + rgb[2];
    EXPECT_GT(level, 150 * (colour.r + colour.g + colour.b)) << where;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(rgb[c] == 0, colour.rgba[c] == 0) << where << " channel " << c;
}

TEST_F(ShapePixels, PlateShowsEachFaceTurnedToTheViewer) {
    BoxShape plate({0.1f, 1, 1}, 1, 1, 1);
    const SceneObject object(&plate, {1, 1, 1}, Blue);
    for (const Vector3& from : {Vector3(5, 0, 0), {-5, 0, 0}, {0, 5, 0}, {0, -5, 0}, {0, 0, 5}, {0, 0, -5}}) {
        Render(object, from);
        ExpectLit(At({0, 0, 0}), Blue, "plate");
    }
}

TEST_F(ShapePixels, HeadFromTheFrontShowsNoseEarsAndCap) {
    HeadShape head({1.4f, 1.0f, 1.8f}, 6, 8, 1);
    Render(SceneObject(&head, {1, 1, 1}, Green), {5, 0, 0});
    ExpectLit(At({1.75f, 0, 0}), Green, "nose");
    ExpectLit(At({0, 1.15f, 0}), Blue, "left ear");
    ExpectLit(At({0, -1.15f, 0}), Red, "right ear");
    const Rgb cap = At({0, 0, 1.85f});
    EXPECT_TRUE(cap[0] > cap[1] && cap[1] > cap[2]) << "brown cap";
    EXPECT_EQ(At({0, 1.6f, 1.6f}), Background);
}

TEST_F(ShapePixels, SpeakerShowsCapAndConeFromTheFrontAndRearConeFromBehind) {
    SpeakerShape speaker({0.4f, 1.0f, 1.2f}, 25, 4, 40);
    const SceneObject object(&speaker, {1, 1, 1}, Red);
    Render(object, {5, 0, 0});
    ExpectLit(At({0.4f, 0, 0}), Red, "cap");
    ExpectLit(At({0.3f, 0.7f, 0}), Red, "inside of the cone");
    EXPECT_EQ(At({0, 0, 1.2f}), Background);
    Render(object, {-5, 0, 0});
    ExpectLit(At({0, 0.7f, 0}), Red, "rear cone");
}

TEST_F(ShapePixels, StarBoltAndCassetteShowTheirFacesAndOwnColours) {
    StarShape star({0.5f, 0, 0}, 14, 7, 0);
    Render(SceneObject(&star, {1, 1, 1}, Blue), {0, 0, 5});
    const Rgb top = At({0, 0, 0});
    EXPECT_TRUE(top[0] > 0 && top[1] == 0 && top[2] == 0) << "red star";

    BoltShape bolt({0.5f, 0, 0}, 14, 7, 0);
    CassetteShape cassette({0.5f, 2, 1}, 14, 7, 0);
    for (const Vector3& from : {Vector3(0, -5, 0), Vector3(0, 5, 0)}) {
        Render(SceneObject(&bolt, {1, 1, 1}, Blue), from);
        ExpectLit(At({0.03f, 0, 0.5f}), Yellow, "bolt");
        Render(SceneObject(&cassette, {1, 1, 1}, Blue), from);
        EXPECT_EQ(At({-0.35f, 0, 0}), Background) << "left hole";
        EXPECT_EQ(At({0.35f, 0, 0}), Background) << "right hole";
        ExpectLit(At({0, 0, 0.3f}), Blue, "cassette face");
        ExpectLit(At({0, 0, -0.4f}), White, "ridge");
    }
}

TEST_F(ShapePixels, ShadowDarkensTheFloorUnderAnObjectOnlyWhenAsked) {
    GridShape grid({1, 1, 1}, 10, 10, 0);
    SphereShape sphere({0.5f, 0, 0}, 14, 7, 0);
    SceneObject ball(&sphere, {1, 1, 1}, Red);
    ball.SetPose(1.0f, 0, 1, 0, 0, 0);
    for (int shadow : {1, 2}) {
        ball.shadow = shadow;
        Render(SceneObject(&grid, {2, 2, 1}, Blue), {0, 0, 5});
        ball.DrawObject(GL_RENDER, nullptr);
        ExpectLit(At({1, 0, 1}), Red, "ball");
        // From above the ball hides the middle of its square footprint; a
        // corner of the square lies in a floor cell beside it.
        const Rgb ground = At({1.45f, 0.3f, 0});
        EXPECT_EQ(ground[0] < Background[0] - 30, shadow == 1) << "shadow " << shadow << ": " << ground[0];
    }
    delete ball.pose;
}

}  // namespace
