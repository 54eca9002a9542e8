#pragma once

#include "scene/Shape.h"

// Models built from ellipsoids, cones, triangles and extruded outlines. Parts
// drawn before a shape's first colour take the object's colour.

// A head facing +x (+y is its left): head, nose, brown cap, blue left ear and
// red right ear. `size` holds the head radii; divisions[0] and [1] give the
// ellipsoids 4n slices and 2m stacks.
class HeadShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override;
};

// A loudspeaker facing +x: dust cap, open front cone and a rear cone that
// closes it behind the common rim. size = (cap radius, cone slant length,
// cone half-angle); divisions = (cap segments, cap rings, cone segments).
class SpeakerShape : public Shape {
public:
    float rearAngle = 1.0f;  // half-angle of the rear cone, radians

    using Shape::Shape;
    void Draw() const override;
    // A spherical cap about +z spanning polar angles 0 .. size.z.
    void DrawCap(float radius) const;
    // A cone about +z with its apex at the origin, facing its open side.
    void DrawCone(float slantLength, float halfAngle) const;
};

// A red eight-pointed star: two spiked tetrahedra, the second turned half a
// turn about y.
class StarShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override;
};

// A yellow zig-zag bolt of three extruded quadrilaterals, upright in x/z.
class BoltShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override;
};

// An upright cassette 1.7 x 0.17 x 1.0 with two round through-holes and a
// white ridge along its bottom edge.
class CassetteShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override;
};

// A prism over the outline p0..p3 (counter-clockwise seen from +z) reaching
// from each point's z to z + height, as one GL_QUADS batch.
void ExtrudeQuad(Vector3 p0, Vector3 p1, Vector3 p2, Vector3 p3, float height);
