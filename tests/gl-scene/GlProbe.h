#pragma once

#include "scene/Vector3.h"

#include <GL/gl.h>

#include <functional>
#include <string>
#include <vector>

// Two ways of seeing what drawing code sends to OpenGL.
//
// The recorder: this test executable defines some GL entry points itself;
// each records its call and forwards it to the real library.
namespace recorder {

struct Call {
    std::string name;  // without the "gl" prefix, e.g. "Vertex3fv"
    std::vector<float> args;
};

struct Vertex {
    Vector3 position;
    Vector3 normal;  // the current normal when the vertex was given
};

struct Primitive {
    GLenum mode;
    std::vector<Vertex> vertices;
};

std::vector<Call> Record(const std::function<void()>& draw);
std::vector<Primitive> Primitives(const std::vector<Call>& calls);
std::vector<Call> Named(const std::vector<Call>& calls, const std::string& name);

// Checks that every polygon with area is counter-clockwise seen from the side
// its normal points to, and returns how many there were.
int ExpectWindingsFollowNormals(const std::vector<Primitive>& primitives);

}  // namespace recorder

// Feedback mode: what GL itself emits after transformation, clipping and
// culling. With identity matrices the coordinates are object coordinates.
namespace feedback {

struct Vertex {
    float x, y, z;  // normalised device coordinates
    float r, g, b, a;
};

// Every vertex of every point, line and polygon `draw` emits (GL_3D_COLOR).
std::vector<Vertex> Capture(const std::function<void()>& draw);

}  // namespace feedback
