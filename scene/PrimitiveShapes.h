#pragma once

#include "scene/Shape.h"

// The solid box of half-extents `size`, without axis lines.
class BoxShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override;
};

// A wire grid of divisions[0] x divisions[1] cells over [-x, x] x [-y, y] at
// z = 0, in the object's colour, with two thick dark centre lines.
class GridShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override;
};

// A GLU sphere of radius size.x with divisions[0] slices and divisions[1]
// stacks.
class SphereShape : public Shape {
public:
    using Shape::Shape;
    void Draw() const override;
};
