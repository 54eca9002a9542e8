#pragma once

#include "scene/Colour.h"
#include "scene/Vector3.h"

#include <GL/gl.h>

class Shape;

// Position and orientation, angles in radians. The layout is that of a
// tracker station record, so a record is copied into a pose as six floats.
struct Pose {
    float x, y, z;
    float azimuth;    // about z
    float elevation;  // about y
    float roll;       // about x
};
static_assert(sizeof(Pose) == 6 * sizeof(float), "a station record is copied into a pose as six floats");

// The id the next scene object takes.
extern int nextObjectId;

// One thing in the scene: a shared shape drawn with the object's own colour,
// scale, offset and, for movable objects, pose.
class SceneObject {
public:
    int id;
    int trackingId = 0;  // how station-map rows name the object; 1 is the viewpoint
    Vector3 scale;
    Vector3 offset;
    Colour colour;
    Shape* shape;    // shared, not owned; may be null
    int shadow = 0;  // exactly 1: a footprint shadow is drawn
    bool visible = true;
    bool pickable = true;  // false: drawn under the pick name that picking ignores
    int motionMask = 63;   // bits 3-5 permit turning by dragging
    Pose* pose = nullptr;  // null for a fixed object

    SceneObject(Shape* shape, Vector3 scale, const Colour& colour);
    // The scene keeps its objects by value, and the viewer's own kind
    // derives from it.
    virtual ~SceneObject() = default;
    SceneObject(const SceneObject&) = default;
    SceneObject& operator=(const SceneObject&) = default;
    SceneObject(SceneObject&&) = default;
    SceneObject& operator=(SceneObject&&) = default;

    // Copies the six values into the pose. An object without a pose gets one,
    // which makes it movable.
    virtual Pose& SetPose(float x, float y, float z, float azimuth, float elevation, float roll);
    // Turns the object to face `direction` (roll and position stay) and
    // writes its unit heading into `heading`.
    virtual Vector3& Aim(Vector3& heading, const Vector3& direction);

    // Draws the object, then its shadow; `colourOverride` replaces the
    // object's colour when not null.
    void DrawObject(GLenum renderMode, const float* colourOverride) const;
    // The flat footprint on the ground plane under the object.
    void DrawObjectShadow() const;

private:
    void ApplyPose() const;
};
