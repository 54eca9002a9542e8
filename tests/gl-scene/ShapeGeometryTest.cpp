// The geometry each shape emits, as recorded at the GL entry points.
#include "GlProbe.h"

#include "scene/Colour.h"
#include "scene/CompositeShapes.h"
#include "scene/PrimitiveShapes.h"
#include "tests/support/GlTestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>

using recorder::Named;
using recorder::Record;

namespace {

void ExpectVec(const Vector3& v, float x, float y, float z, float tolerance = 1e-6f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

std::vector<recorder::Primitive> PrimitivesOf(const Shape& shape) {
    return recorder::Primitives(Record([&] { shape.Draw(); }));
}

// The modes and vertex counts of the primitives, in order.
std::vector<std::pair<GLenum, std::size_t>> Batches(const std::vector<recorder::Primitive>& primitives) {
    std::vector<std::pair<GLenum, std::size_t>> batches;
    for (const auto& p : primitives) batches.emplace_back(p.mode, p.vertices.size());
    return batches;
}

std::vector<std::pair<GLenum, std::size_t>> Repeat(GLenum mode, std::size_t vertices, int times) {
    return std::vector<std::pair<GLenum, std::size_t>>(times, {mode, vertices});
}

void ExpectColours(const std::vector<recorder::Call>& calls, std::vector<const Colour*> expected) {
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t i = 0; i < calls.size(); ++i)
        ExpectVec({calls[i].args[0], calls[i].args[1], calls[i].args[2]}, expected[i]->r, expected[i]->g,
                  expected[i]->b, 0);
}

class ShapeGeometry : public ::testing::Test {
protected:
    void SetUp() override { gltest::ResetState(); }
};

TEST_F(ShapeGeometry, BaseShapeIsABoxOfSideTwoThenUnlitRedGreenBlueAxes) {
    Shape shape({1, 1, 1}, 0, 0, 0);
    const auto calls = Record([&] { shape.Draw(); });
    const auto primitives = recorder::Primitives(calls);
    auto expected = Repeat(GL_QUADS, 4, 6);
    expected.emplace_back(GL_LINES, 6);
    ASSERT_EQ(Batches(primitives), expected);
    for (int face = 0; face < 6; ++face)
        for (const auto& v : primitives[face].vertices)
            EXPECT_EQ(v.position.x * v.normal.x + v.position.y * v.normal.y + v.position.z * v.normal.z, 1);
    ExpectVec(primitives[0].vertices[1].position, -1, -1, 1);
    ExpectVec(primitives[6].vertices[1].position, 1.5f, 0, 0);
    ExpectVec(primitives[6].vertices[3].position, 0, 1.5f, 0);
    ExpectVec(primitives[6].vertices[5].position, 0, 0, 1.5f);
    ExpectColours(Named(calls, "Color3fv"), {&Red, &Green, &Blue});
    const auto switches = Named(calls, "Disable");
    ASSERT_EQ(switches.size(), 1u);
    EXPECT_EQ(calls.end()[-2].name, "End");
    EXPECT_EQ(calls.back().name, "Enable");  // lighting back on after the lines
    EXPECT_EQ(recorder::ExpectWindingsFollowNormals(primitives), 6);
}

TEST_F(ShapeGeometry, BoxFacesFollowTheModeAndComputeMissingNormals) {
    const Vector3 corners[8] = {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1},
                                {1, -1, -1},  {1, -1, 1},  {1, 1, 1},  {1, 1, -1}};
    const std::pair<int, GLenum> modes[] = {{GL_LINE, GL_LINE_LOOP}, {2, GL_LINE_LOOP}, {GL_QUADS, GL_QUADS},
                                            {GL_POINT, GL_POINTS},   {0, GL_POINTS},    {GL_FILL, GL_QUADS}};
    for (const auto& [mode, primitive] : modes) {
        const auto faces =
            recorder::Primitives(Record([&, mode = mode] { Shape::DrawBoxFaces(corners, nullptr, mode); }));
        EXPECT_EQ(Batches(faces), Repeat(primitive, 4, 6)) << mode;
        ExpectVec(faces[0].vertices[0].normal, -4, 0, 0);
    }
}

TEST_F(ShapeGeometry, GridIsOneQuadStripPerRowAndCentreLinesAboveIt) {
    GridShape grid({1, 1, 1}, 10, 10, 10);
    const auto primitives = PrimitivesOf(grid);
    auto expected = Repeat(GL_QUAD_STRIP, 22, 10);
    expected.emplace_back(GL_LINES, 4);
    ASSERT_EQ(Batches(primitives), expected);
    ExpectVec(primitives[3].vertices[0].position, -1, -0.2f, 0);
    ExpectVec(primitives[3].vertices[3].position, -0.8f, -0.4f, 0);
    ExpectVec(primitives[10].vertices[0].position, 1, 0, 0.01f);
    ExpectVec(primitives[10].vertices[3].position, 0, -1, 0.01f);
    EXPECT_EQ(recorder::ExpectWindingsFollowNormals(primitives), 100);

    GridShape floor({2, 2, 0}, 20, 20, 0);
    ExpectVec(PrimitivesOf(floor)[0].vertices[3].position, -1.8f, -2, 0);
    for (const auto& empty : {GridShape({1, 1, 1}, 0, 10, 0), GridShape({1, 1, 1}, 10, 0.5f, 0)})
        EXPECT_TRUE(Record([&] { empty.Draw(); }).empty());
}

TEST_F(ShapeGeometry, StarIsThirtyTwoRedTrianglesInTwoBatches) {
    StarShape star({0.5f, 0, 0}, 14, 7, 0);
    const auto calls = Record([&] { star.Draw(); });
    const auto primitives = recorder::Primitives(calls);
    ASSERT_EQ(Batches(primitives), Repeat(GL_TRIANGLES, 48, 2));
    const auto& first = primitives[0].vertices;
    ExpectVec(first[0].position, 0.0002f, 0.5773f, 0.2041f, 0);    // Q0
    ExpectVec(first[1].position, 0.0002f, -0.0001f, -0.6123f, 0);  // Q3
    ExpectVec(first[2].position, 0.4997f, -0.2886f, 0.2041f, 0);   // Q1
    ExpectVec(first[0].normal, -0.7069f, -0.4078f, 0.2884f, 1e-4f);
    ExpectColours(Named(calls, "Color4fv"), {&Red});
    EXPECT_EQ(recorder::ExpectWindingsFollowNormals(primitives), 32);
}

TEST_F(ShapeGeometry, ExtrusionsAndTheBoltHaveScaledSideNormals) {
    const auto square = recorder::Primitives(Record([] {
        ExtrudeQuad({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, 2);
    }));
    ASSERT_EQ(Batches(square), Repeat(GL_QUADS, 24, 1));
    const float normals[6][3] = {{0, 0, 1}, {0, 0, -1}, {0, -2, 0}, {2, 0, 0}, {0, 2, 0}, {-2, 0, 0}};
    for (int quad = 0; quad < 6; ++quad)
        ExpectVec(square[0].vertices[4 * quad].normal, normals[quad][0], normals[quad][1], normals[quad][2], 0);
    ExpectVec(square[0].vertices[0].position, 0, 0, 2, 0);
    ExpectVec(square[0].vertices[4].position, 0, 1, 0, 0);  // the bottom starts at p3
    EXPECT_EQ(recorder::ExpectWindingsFollowNormals(square), 6);

    BoltShape bolt({0.5f, 0, 0}, 14, 7, 0);
    const auto calls = Record([&] { bolt.Draw(); });
    const auto primitives = recorder::Primitives(calls);
    ASSERT_EQ(Batches(primitives), Repeat(GL_QUADS, 24, 3));
    ExpectVec(primitives[0].vertices[8].normal, 0, 0.082825f, 0);
    ExpectColours(Named(calls, "Color4fv"), {&Yellow});
    EXPECT_EQ(recorder::ExpectWindingsFollowNormals(primitives), 18);
}

TEST_F(ShapeGeometry, SpeakerIsFourCapStripsAndTwoCones) {
    SpeakerShape speaker({0.4f, 1.0f, 1.2f}, 25, 4, 40);
    const auto primitives = PrimitivesOf(speaker);
    auto expected = Repeat(GL_QUAD_STRIP, 52, 4);
    expected.insert(expected.end(), 2, {GL_QUAD_STRIP, 82});
    ASSERT_EQ(Batches(primitives), expected);
    for (const auto& v : primitives[0].vertices) ExpectVec(v.position, 0, 0, 0.4f);
    EXPECT_NEAR(primitives[3].vertices[1].position.z, 0.4f * std::cos(0.9f), 1e-6);    // last ring at 0.9 rad
    ExpectVec(primitives[4].vertices[1].position, std::sin(1.2f), 0, std::cos(1.2f));  // the shared rim
    // All but the first cap strip, which lies on the pole, have area.
    EXPECT_EQ(recorder::ExpectWindingsFollowNormals(primitives), 3 * 25 + 2 * 40);

    SpeakerShape square({0.4f, 1.0f, 1.2f}, 25, 4, 4);
    const auto cone = recorder::Primitives(Record([&] { square.DrawCone(1, 3.14159265f / 2); }));
    ASSERT_EQ(Batches(cone), Repeat(GL_QUAD_STRIP, 10, 1));
    const float rim[5][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 0}};
    for (int i = 0; i < 5; ++i) {
        ExpectVec(cone[0].vertices[2 * i].position, 0, 0, 0, 0);
        ExpectVec(cone[0].vertices[2 * i + 1].position, rim[i][0], rim[i][1], 0);
        ExpectVec(cone[0].vertices[2 * i + 1].normal, 0, 0, 1);
    }
}

TEST_F(ShapeGeometry, SpeakerWithoutSegmentsOrRearSineEmitsNoBrokenGeometry) {
    SpeakerShape flatRear({0.4f, 1.0f, 1.2f}, 25, 4, 40);
    flatRear.rearAngle = 0;
    EXPECT_EQ(PrimitivesOf(flatRear).size(), 5u);  // no rear cone of endless length
    SpeakerShape empty({0.4f, 1.0f, 1.2f}, 0, 4, 0);
    EXPECT_TRUE(PrimitivesOf(empty).empty());
}

TEST_F(ShapeGeometry, CassetteIsFacesWallsSidesAndAWhiteRidge) {
    CassetteShape cassette({0.5f, 2, 1}, 14, 7, 0);
    const auto calls = Record([&] { cassette.Draw(); });
    const auto primitives = recorder::Primitives(calls);
    auto expected = Repeat(GL_QUAD_STRIP, 18, 12);
    expected.insert(expected.end(), {{GL_QUADS, 16}, {GL_QUADS, 24}});
    ASSERT_EQ(Batches(primitives), expected);
    for (int i = 0; i < 8; ++i)
        for (const auto& v : primitives[i].vertices) {
            ExpectVec(v.normal, 0, 0, i < 4 ? -1 : 1, 0);
            EXPECT_EQ(v.position.z, i < 4 ? -0.085f : 0.085f);
        }
    for (int i = 8; i < 12; ++i)
        for (const auto& v : primitives[i].vertices)  // horizontal, toward the axis of the hole
            ExpectVec(v.normal, -0.35f - v.position.x, -v.position.y, 0);
    ExpectVec(primitives[8].vertices[0].position, -0.225f, 0, -0.085f, 0);
    ExpectVec(primitives[8].vertices[0].normal, -0.125f, 0, 0);
    ExpectVec(primitives[8].vertices[8].position, -0.35f, 0.125f, -0.085f, 0);
    ExpectVec(primitives[8].vertices[16].position, -0.475f, 0, -0.085f, 0);
    ExpectColours(Named(calls, "Color4fv"), {&White});
    EXPECT_EQ(recorder::ExpectWindingsFollowNormals(primitives), 12 * 8 + 4 + 6);
}

TEST_F(ShapeGeometry, HeadPlacesNoseCapAndEarsAndWindsItsSpheres) {
    HeadShape head({1.4f, 1.0f, 1.8f}, 6, 8, 1);
    const auto calls = Record([&] { head.Draw(); });
    const auto moves = Named(calls, "Translatef");
    const auto scales = Named(calls, "Scalef");
    ASSERT_EQ(moves.size(), 5u);
    ASSERT_EQ(scales.size(), 5u);
    const float at[5][3] = {{0, 0, 0}, {1.4f, 0, 0}, {-0.21f, 0, 0.27f}, {0, 1, 0}, {0, -1, 0}};
    const float q[3] = {0.35f, 0.25f, 0.45f};
    const float radii[5][3] = {
        {1.4f, 1, 1.8f}, {q[0], q[1], q[2]}, {1.26f, 1, 1.62f}, {q[0], q[1], q[2]}, {q[0], q[1], q[2]}};
    for (int i = 0; i < 5; ++i) {
        ExpectVec({moves[i].args[0], moves[i].args[1], moves[i].args[2]}, at[i][0], at[i][1], at[i][2]);
        ExpectVec({scales[i].args[0], scales[i].args[1], scales[i].args[2]}, radii[i][0], radii[i][1], radii[i][2]);
    }
    ExpectColours(Named(calls, "Color4fv"), {&Brown, &Blue, &Red});
    // GLU draws the ellipsoids through the same entry points: 24 slices, 16 stacks.
    EXPECT_GT(recorder::ExpectWindingsFollowNormals(recorder::Primitives(calls)), 5 * 24 * 14);
}

}  // namespace
