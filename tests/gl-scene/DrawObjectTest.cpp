// Display lists and the drawing of scene objects, seen through GL's feedback
// and selection modes. Matrices are the identity, so feedback coordinates are
// object coordinates.
#include "GlProbe.h"

#include "scene/Colour.h"
#include "scene/PrimitiveShapes.h"
#include "scene/SceneObject.h"
#include "tests/support/GlTestEnvironment.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using Point = std::array<double, 3>;

// Emits one point at `size`.
class PointShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override {
        glBegin(GL_POINTS);
        glVertex3f(size.x, size.y, size.z);
        glEnd();
    }
};

// Rotation by `a` about axis `k` (0 x, 1 y, 2 z), then a shift.
Point Turn(Point p, int k, double a, Point shift = {0, 0, 0}) {
    const int i = (k + 1) % 3, j = (k + 2) % 3;
    Point q = p;
    q[i] = p[i] * std::cos(a) - p[j] * std::sin(a);
    q[j] = p[i] * std::sin(a) + p[j] * std::cos(a);
    return {q[0] + shift[0], q[1] + shift[1], q[2] + shift[2]};
}

bool Near(const feedback::Vertex& v, const Point& p) {
    return std::fabs(v.x - p[0]) < 1e-4 && std::fabs(v.y - p[1]) < 1e-4 && std::fabs(v.z - p[2]) < 1e-4;
}

class DrawObject : public ::testing::Test {
protected:
    void SetUp() override { gltest::ResetState(); }
};

TEST_F(DrawObject, CompileListDrawsOnlyWhenAskedAndTheListKeepsTheGeometry) {
    BoxShape box({0.5f, 0.5f, 0.5f}, 0, 0, 0);
    EXPECT_TRUE(feedback::Capture([&] { box.CompileList(false); }).empty());
    const auto called = feedback::Capture([&] { glCallList(box.displayList); });
    EXPECT_GE(called.size(), 24u);
    EXPECT_EQ(feedback::Capture([&] { box.CompileList(true); }).size(), called.size());
    EXPECT_EQ(feedback::Capture([&] { glCallList(box.displayList); }).size(), called.size());

    auto* doomed = new BoxShape({0.5f, 0.5f, 0.5f}, 0, 0, 0);
    doomed->CompileList(false);
    const unsigned list = doomed->displayList;
    delete doomed;
    EXPECT_FALSE(glIsList(list));
}

TEST_F(DrawObject, AShapeWithoutAListIsCompiledWithExecutionOnItsFirstDraw) {
    BoxShape box({0.5f, 0.5f, 0.5f}, 0, 0, 0);
    SceneObject object(&box, {1, 1, 1}, Green);
    const auto first = feedback::Capture([&] { object.DrawObject(GL_RENDER, nullptr); });
    EXPECT_GE(first.size(), 24u);
    const unsigned list = box.displayList;
    EXPECT_TRUE(glIsList(list));
    EXPECT_EQ(feedback::Capture([&] { object.DrawObject(GL_RENDER, nullptr); }).size(), first.size());
    EXPECT_EQ(box.displayList, list);
}

TEST_F(DrawObject, PoseRotationsOffsetAndScaleApplyInOrder) {
    PointShape point({0.3f, 0.4f, 0.5f}, 0, 0, 0);
    SceneObject object(&point, {0.5f, 0.25f, 0.4f}, Red);
    object.offset.Set(0.05f, 0.02f, -0.03f);
    const Point placed = {0.05 + 0.15, 0.02 + 0.1, -0.03 + 0.2};
    const auto fixed = feedback::Capture([&] { object.DrawObject(GL_RENDER, nullptr); });
    ASSERT_EQ(fixed.size(), 1u);
    EXPECT_TRUE(Near(fixed[0], placed));

    object.SetPose(0.1f, -0.2f, 0.05f, 0.5f, 0.3f, 0.7f);
    const auto posed = feedback::Capture([&] { object.DrawObject(GL_RENDER, nullptr); });
    ASSERT_EQ(posed.size(), 1u);
    EXPECT_TRUE(Near(posed[0], Turn(Turn(Turn(placed, 0, 0.7), 1, 0.3), 2, 0.5, {0.1, -0.2, 0.05})));
    delete object.pose;
}

TEST_F(DrawObject, ShadowIsTheFootprintFlatOnTheGroundTurnedOnlyByAzimuth) {
    BoxShape box({0.2f, 0.1f, 0.3f}, 0, 0, 0);
    SceneObject object(&box, {0.5f, 2, 3}, Red);
    object.offset.Set(0.1f, 0.05f, 0.3f);
    object.shadow = 1;
    object.SetPose(0.3f, 0.2f, 5, 0.6f, 0.4f, 0.2f);
    std::vector<Point> corners;
    for (double x : {-0.2, 0.2})
        for (double y : {-0.1, 0.1}) corners.push_back(Turn({x * 0.5 + 0.1, y * 2 + 0.05, 0}, 2, 0.6, {0.3, 0.2, 0}));
    const auto shadow = feedback::Capture([&] { object.DrawObjectShadow(); });
    std::array<bool, 4> seen{};
    for (const auto& v : shadow) {
        EXPECT_FLOAT_EQ(v.r, Shadow.r);
        EXPECT_FLOAT_EQ(v.a, Shadow.a);
        bool matched = false;
        for (std::size_t c = 0; c < 4; ++c)
            if (Near(v, corners[c])) matched = seen[c] = true;
        EXPECT_TRUE(matched) << v.x << ", " << v.y << ", " << v.z;
    }
    EXPECT_EQ(seen, (std::array<bool, 4>{true, true, true, true}));
    object.shadow = 2;
    EXPECT_TRUE(feedback::Capture([&] { object.DrawObjectShadow(); }).empty());
    delete object.pose;

    SphereShape sphere({0.5f, 0, 0}, 14, 7, 0);
    for (const auto& v : feedback::Capture([&] { sphere.DrawFootprint(); }))
        EXPECT_TRUE(std::fabs(std::fabs(v.x) - 0.5f) < 1e-5 && std::fabs(std::fabs(v.y) - 0.5f) < 1e-5);
}

TEST_F(DrawObject, OverrideColourReplacesTheObjectsOwn) {
    BoxShape box({0.5f, 0.5f, 0.5f}, 0, 0, 0);
    SceneObject object(&box, {1, 1, 1}, Green);
    for (const Colour* expected : {&Orange, &Green}) {
        const auto drawn =
            feedback::Capture([&] { object.DrawObject(GL_RENDER, expected == &Orange ? Orange.rgba : nullptr); });
        ASSERT_FALSE(drawn.empty());
        for (const auto& v : drawn) EXPECT_TRUE(v.r == expected->r && v.g == expected->g && v.b == expected->b);
    }
}

// The names of the hits when `object` is drawn in selection mode.
std::vector<GLuint> PickNames(const SceneObject& object) {
    GLuint buffer[64] = {};
    glSelectBuffer(64, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(7);
    object.DrawObject(GL_SELECT, nullptr);
    std::vector<GLuint> names;
    for (GLint hits = glRenderMode(GL_RENDER), i = 0; hits > 0; --hits, i += 3 + buffer[i])
        names.insert(names.end(), &buffer[i + 3], &buffer[i + 3 + buffer[i]]);
    return names;
}

TEST_F(DrawObject, SelectionNamesFollowPickableAndInvisibleObjectsDrawNothing) {
    BoxShape box({0.2f, 0.2f, 0.2f}, 0, 0, 0);
    SceneObject object(&box, {1, 1, 1}, Green);
    object.shadow = 1;
    EXPECT_EQ(PickNames(object), std::vector<GLuint>{static_cast<GLuint>(object.id)});
    object.pickable = false;
    EXPECT_EQ(PickNames(object), std::vector<GLuint>{0xFFFFFFFFu});
    object.visible = false;
    EXPECT_TRUE(PickNames(object).empty());
    EXPECT_TRUE(feedback::Capture([&] { object.DrawObject(GL_RENDER, nullptr); }).empty());
    EXPECT_TRUE(feedback::Capture([&] { object.DrawObjectShadow(); }).empty());

    SceneObject shapeless(nullptr, {1, 1, 1}, Green);
    shapeless.shadow = 1;
    EXPECT_TRUE(feedback::Capture([&] { shapeless.DrawObject(GL_RENDER, nullptr); }).empty());
}

}  // namespace
