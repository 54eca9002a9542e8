#include "GlProbe.h"

#include "tests/support/GlTestEnvironment.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace recorder {
namespace {

bool recording = false;
std::vector<Call> calls;

void Note(const char* name, std::vector<float> args) {
    if (recording) calls.push_back({name, std::move(args)});
}

// The real entry point, which comes after this executable in lookup order.
void* Next(const char* name) {
    void* address = dlsym(RTLD_NEXT, name);
    if (address == nullptr) std::abort();
    return address;
}

using Corners = std::vector<std::size_t>;

std::vector<Corners> PolygonCorners(GLenum mode, std::size_t n) {
    std::vector<Corners> polygons;
    const bool quads = mode == GL_QUADS, strip = mode == GL_QUAD_STRIP, fan = mode == GL_TRIANGLE_FAN;
    for (std::size_t i = 0; mode == GL_TRIANGLES && i + 2 < n; i += 3) polygons.push_back({i, i + 1, i + 2});
    for (std::size_t i = 0; quads && i + 3 < n; i += 4) polygons.push_back({i, i + 1, i + 2, i + 3});
    for (std::size_t i = 0; strip && i + 3 < n; i += 2) polygons.push_back({i, i + 1, i + 3, i + 2});
    for (std::size_t i = 1; fan && i + 1 < n; ++i) polygons.push_back({0, i, i + 1});
    return polygons;
}

// Newell's normal: the polygon's area vector, following its winding.
Vector3 AreaNormal(const std::vector<Vertex>& v, const Corners& corners) {
    Vector3 sum;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Vector3& a = v[corners[i]].position;
        const Vector3& b = v[corners[(i + 1) % corners.size()]].position;
        sum.x += (a.y - b.y) * (a.z + b.z);
        sum.y += (a.z - b.z) * (a.x + b.x);
        sum.z += (a.x - b.x) * (a.y + b.y);
    }
    return sum;
}

}  // namespace

std::vector<Call> Record(const std::function<void()>& draw) {
    calls.clear();
    recording = true;
    draw();
    recording = false;
    return calls;
}

std::vector<Primitive> Primitives(const std::vector<Call>& all) {
    std::vector<Primitive> primitives;
    Vector3 normal(0, 0, 1);
    for (const Call& call : all) {
        const std::vector<float>& a = call.args;
        if (call.name == "Begin") primitives.push_back({static_cast<GLenum>(a[0]), {}});
        if (call.name.rfind("Normal3f", 0) == 0) normal.Set(a[0], a[1], a[2]);
        if (call.name.rfind("Vertex3f", 0) == 0 && !primitives.empty())
            primitives.back().vertices.push_back({{a[0], a[1], a[2]}, normal});
    }
    return primitives;
}

std::vector<Call> Named(const std::vector<Call>& all, const std::string& name) {
    std::vector<Call> named;
    for (const Call& call : all)
        if (call.name == name) named.push_back(call);
    return named;
}

int ExpectWindingsFollowNormals(const std::vector<Primitive>& primitives) {
    int checked = 0;
    for (const Primitive& p : primitives)
        for (const Corners& corners : PolygonCorners(p.mode, p.vertices.size())) {
            const Vector3 area = AreaNormal(p.vertices, corners);
            if (std::fabs(area.x) + std::fabs(area.y) + std::fabs(area.z) < 1e-6f) continue;
            float dot = 0;
            for (std::size_t c : corners) {
                const Vector3& n = p.vertices[c].normal;
                dot += area.x * n.x + area.y * n.y + area.z * n.z;
            }
            EXPECT_GT(dot, 0) << "a polygon of a primitive of mode " << p.mode << " faces away from its normal";
            ++checked;
        }
    return checked;
}

}  // namespace recorder

// Each recorded entry point: its name, parameter list, arguments to forward
// and the values to record.
#define RECORDED(name, params, args, ...)                                                \
    extern "C" void gl##name params {                                                    \
        static auto next = reinterpret_cast<void(*) params>(recorder::Next("gl" #name)); \
        recorder::Note(#name, {__VA_ARGS__});                                            \
        next args;                                                                       \
    }

RECORDED(Begin, (GLenum mode), (mode), static_cast<float>(mode))
RECORDED(End, (), ())
RECORDED(Vertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), x, y, z)
RECORDED(Vertex3fv, (const GLfloat* v), (v), v[0], v[1], v[2])
RECORDED(Normal3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), x, y, z)
RECORDED(Normal3fv, (const GLfloat* v), (v), v[0], v[1], v[2])
RECORDED(Color3fv, (const GLfloat* v), (v), v[0], v[1], v[2])
RECORDED(Color4fv, (const GLfloat* v), (v), v[0], v[1], v[2], v[3])
RECORDED(Translatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), x, y, z)
RECORDED(Scalef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), x, y, z)
RECORDED(Enable, (GLenum capability), (capability), static_cast<float>(capability))
RECORDED(Disable, (GLenum capability), (capability), static_cast<float>(capability))

namespace feedback {

std::vector<Vertex> Capture(const std::function<void()>& draw) {
    const int floatsPerVertex = 7, size = 1 << 20;
    std::vector<GLfloat> buffer(size);
    glFeedbackBuffer(size, GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    std::vector<Vertex> vertices;
    for (GLint i = 0; i < used;) {
        const GLfloat token = buffer[i++];
        int count = token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN ? 2 : 1;
        if (token == GL_POLYGON_TOKEN) count = static_cast<int>(buffer[i++]);
        for (const GLfloat* f = &buffer[i]; count > 0; --count, f += floatsPerVertex, i += floatsPerVertex)
            vertices.push_back({f[0] / (gltest::WindowWidth / 2.0f) - 1, f[1] / (gltest::WindowHeight / 2.0f) - 1,
                                2 * f[2] - 1, f[3], f[4], f[5], f[6]});
    }
    return vertices;
}

}  // namespace feedback
