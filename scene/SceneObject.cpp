#include "scene/SceneObject.h"

#include "scene/Shape.h"

#include <cmath>

int nextObjectId = 0;

namespace {

const double DegreesPerRadian = 57.29577951308232;

float Degrees(float radians) { return static_cast<float>(radians * DegreesPerRadian); }

}  // namespace

SceneObject::SceneObject(Shape* objectShape, Vector3 objectScale, const Colour& objectColour)
    : id(nextObjectId++), scale(objectScale), colour(objectColour), shape(objectShape) {}

Pose& SceneObject::SetPose(float x, float y, float z, float azimuth, float elevation, float roll) {
    if (pose == nullptr) pose = new Pose;
    *pose = Pose{x, y, z, azimuth, elevation, roll};
    return *pose;
}

Vector3& SceneObject::Aim(Vector3& heading, const Vector3& direction) {
    if (pose == nullptr) return heading.Set(1, 0, 0);
    const double horizontal = double(direction.x) * direction.x + double(direction.y) * direction.y;
    if (horizontal == 0) {
        // Straight up or down: the azimuth is undefined, so it stays.
        pose->elevation = 1.5707964f;
    } else {
        const double dz = direction.z;
        pose->azimuth = static_cast<float>(std::atan2(direction.y, direction.x));
        pose->elevation = static_cast<float>(std::asin(-dz / std::sqrt(horizontal + dz * dz)));
    }
    const double a = pose->azimuth;
    const double e = pose->elevation;
    return heading.Set(static_cast<float>(std::cos(e) * std::cos(a)), static_cast<float>(std::cos(e) * std::sin(a)),
                       static_cast<float>(-std::sin(e)));
}

void SceneObject::DrawObject(GLenum renderMode, const float* colourOverride) const {
    if (!visible) return;
    glColor4fv(colourOverride ? colourOverride : colour.rgba);
    if (renderMode == GL_SELECT) glLoadName(pickable ? static_cast<GLuint>(id) : 0xFFFFFFFFu);
    glPushMatrix();
    ApplyPose();
    glTranslatef(offset.x, offset.y, offset.z);
    glScalef(scale.x, scale.y, scale.z);
    if (shape != nullptr) {
        if (shape->displayList != 0)
            glCallList(shape->displayList);
        else
            shape->CompileList(true);
    }
    glPopMatrix();
    DrawObjectShadow();
}

void SceneObject::ApplyPose() const {
    if (pose == nullptr) return;
    glTranslatef(pose->x, pose->y, pose->z);
    glRotatef(Degrees(pose->azimuth), 0, 0, 1);
    glRotatef(Degrees(pose->elevation), 0, 1, 0);
    glRotatef(Degrees(pose->roll), 1, 0, 0);
}

void SceneObject::DrawObjectShadow() const {
    if (!visible) return;
    glColor4fv(Shadow.rgba);
    glPushMatrix();
    if (pose != nullptr) {
        glTranslatef(pose->x, pose->y, 0);
        glRotatef(Degrees(pose->azimuth), 0, 0, 1);
    }
    // Flattened onto the ground plane z = 0.
    glTranslatef(offset.x, offset.y, 0);
    glScalef(scale.x, scale.y, 0);
    if (shape != nullptr && shadow == 1) shape->DrawFootprint();
    glPopMatrix();
}
