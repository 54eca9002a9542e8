#include "scene/Colour.h"
#include "scene/SceneObject.h"
#include "scene/Shape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// An object whose pose SetPose attaches; the caller deletes it.
SceneObject Movable() {
    SceneObject object(nullptr, {1, 1, 1}, Grey);
    object.SetPose(1, 2, 3, 0.25f, 0.5f, 0.75f);
    return object;
}

TEST(SceneObject, IdsCountUpAndOtherFieldsStartAtTheirDefaults) {
    nextObjectId = 0;
    Shape shape({1, 1, 1}, 14.9f, -1.7f, 0.2f);
    EXPECT_EQ(std::vector<int>(shape.divisions, shape.divisions + 3), (std::vector<int>{14, -1, 0}));
    SceneObject first(&shape, {2, 3, 4}, Red);
    SceneObject second(nullptr, {1, 1, 1}, Red), third(nullptr, {1, 1, 1}, Red), fourth(nullptr, {1, 1, 1}, Red);
    EXPECT_EQ(std::vector<int>({first.id, second.id, third.id, fourth.id, nextObjectId}),
              (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(first.shape, &shape);
    EXPECT_EQ(first.scale.y, 3);
    EXPECT_EQ(first.trackingId + first.shadow + first.offset.x + first.offset.y + first.offset.z, 0);
    EXPECT_TRUE(first.visible && first.pickable);
    EXPECT_EQ(first.motionMask, 63);
    EXPECT_EQ(first.pose, nullptr);
}

TEST(SceneObject, ColourCopiesPointAtThemselves) {
    SceneObject object(nullptr, {1, 1, 1}, Orange);
    EXPECT_EQ(object.colour.rgba, &object.colour.r);
    object.colour.r = 0.25f;
    EXPECT_EQ(object.colour.rgba[0], 0.25f);
    EXPECT_EQ(Orange.rgba, &Orange.r);
    EXPECT_EQ(Orange.r, 1.0f);

    Colour assigned(0, 0, 0, 0);
    EXPECT_EQ(&(assigned = Shadow), &assigned);
    EXPECT_EQ(assigned.rgba, &assigned.r);
    EXPECT_EQ(std::memcmp(assigned.rgba, Shadow.rgba, 4 * sizeof(float)), 0);
    const Colour copied(assigned);
    EXPECT_EQ(copied.rgba, &copied.r);
}

TEST(SceneObject, SetPoseCopiesSixFloatsInFieldOrderLikeAStationRecord) {
    SceneObject object = Movable();
    Pose& pose = object.SetPose(-1, -2, -3, 0.1f, 0.2f, 0.3f);
    EXPECT_EQ(&pose, object.pose);
    const float record[6] = {-1, -2, -3, 0.1f, 0.2f, 0.3f};
    EXPECT_EQ(std::memcmp(&pose, record, sizeof record), 0);
    delete object.pose;
}

TEST(SceneObject, AimWithoutAPoseReportsPlusXAndChangesNothing) {
    SceneObject object(nullptr, {1, 1, 1}, Grey);
    Vector3 heading(9, 9, 9);
    EXPECT_EQ(&object.Aim(heading, {0, 1, 0}), &heading);
    EXPECT_EQ(heading.x, 1);
    EXPECT_EQ(object.pose, nullptr);
}

TEST(SceneObject, AimTurnsTowardTheDirectionAndKeepsRollAndPosition) {
    const struct {
        Vector3 direction;
        float azimuth, elevation;
    } cases[] = {
        {{1, 1, 0}, 0.78539816f, 0},     {{2, 0, -2}, 0, 0.78539816f}, {{-3, 0, 4}, 3.14159265f, -0.92729522f},
        {{0, 0, 5}, 0.25f, 1.5707964f},  // straight up or down: azimuth kept
        {{0, 0, -5}, 0.25f, 1.5707964f},
    };
    for (const auto& c : cases) {
        SceneObject object = Movable();
        Vector3 heading;
        object.Aim(heading, c.direction);
        EXPECT_NEAR(object.pose->azimuth, c.azimuth, 1e-6);
        EXPECT_EQ(object.pose->elevation, c.elevation);
        const float e = c.elevation, a = c.azimuth;
        EXPECT_NEAR(heading.x, std::cos(e) * std::cos(a), 1e-6);
        EXPECT_NEAR(heading.y, std::cos(e) * std::sin(a), 1e-6);
        EXPECT_NEAR(heading.z, -std::sin(e), 1e-6);
        EXPECT_EQ(object.pose->roll, 0.75f);
        EXPECT_EQ(object.pose->x + object.pose->y + object.pose->z, 6);
        delete object.pose;
    }
}

}  // namespace
