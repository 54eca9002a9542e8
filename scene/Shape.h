#pragma once

#include "scene/Vector3.h"

// Geometry shared by many scene objects. A shape emits its geometry once into
// an OpenGL display list; every frame afterwards only calls the list.
// Geometry is in the shape's own Z-up frame, and every front face is
// counter-clockwise seen from the side its normal points to, because back
// faces are culled. Normals need not be unit length (GL_NORMALIZE is on).
class Shape {
public:
    int divisions[3];
    Vector3 size;
    unsigned displayList = 0;

    // Divisions arrive as floats and are truncated toward zero.
    Shape(Vector3 size, float d0, float d1, float d2);
    virtual ~Shape();
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;

    // Emits the geometry in immediate mode; runs only while a list is being
    // compiled. The base shape is a solid box with axis lines.
    virtual void Draw() const;

    // (Re)builds the display list; with `execute` the geometry is drawn too.
    void CompileList(bool execute);

    // The solid box of half-extents `size`.
    void DrawBox(int mode) const;
    // Six faces of a box from eight corners in the box layout; without a
    // normal table each face takes the cross product of its first edges.
    static void DrawBoxFaces(const Vector3* vertices, const Vector3* normals, int mode);
    // Red, green and blue lines 1.5 times the half-extents along +x, +y, +z.
    void DrawAxes() const;
    // The translucent rectangle a shadow is drawn with; runs every frame.
    void DrawFootprint() const;
    // A unit sphere scaled by `radii` with 4n slices and 2m stacks; the caller
    // brackets it with a matrix push and pop.
    static void DrawEllipsoid(Vector3 radii, int n, int m);

private:
    void DrawInOwnMatrix() const;
};
