#include "scene/CompositeShapes.h"

#include "scene/Colour.h"

#include <GL/gl.h>

namespace {

// One ellipsoid of the head: its colour (null: keep the current one), its
// centre and its radii, both in units of the head radii.
struct HeadPart {
    const Colour* colour;
    float centre[3];
    float radii[3];
};

const HeadPart HeadParts[] = {
    {nullptr, {0, 0, 0}, {1, 1, 1}},                // head
    {nullptr, {1, 0, 0}, {0.25f, 0.25f, 0.25f}},    // nose
    {&Brown, {-0.15f, 0, 0.15f}, {0.9f, 1, 0.9f}},  // cap
    {&Blue, {0, 1, 0}, {0.25f, 0.25f, 0.25f}},      // left ear
    {&Red, {0, -1, 0}, {0.25f, 0.25f, 0.25f}},      // right ear
};

// A tetrahedron Q0..Q3 and one spike tip P0..P3 over each of its faces.
const Vector3 StarPoints[8] = {
    {0.0002f, 0.5773f, 0.2041f},    {0.4997f, -0.2886f, 0.2041f}, {-0.5f, -0.2886f, 0.2041f},
    {0.0002f, -0.0001f, -0.6123f},  {1.8001f, 1.0385f, -0.7344f}, {-1.7993f, 1.0393f, -0.735f},
    {-0.0001f, -2.0782f, -0.7344f}, {-0.0001f, 0, 2.2041f},
};

// Each spike: three tetrahedron corners k0, k1, k2 and its tip t.
const int StarSpikes[4][4] = {{0, 1, 3, 4}, {0, 3, 2, 5}, {3, 1, 2, 6}, {2, 1, 0, 7}};

// The four triangles of a spike as indices into (k0, k1, k2, t).
const int SpikeTriangles[4][3] = {{0, 2, 1}, {2, 3, 1}, {0, 3, 2}, {0, 1, 3}};

const float BoltOutlines[3][4][2] = {
    {{0.1957f, 0.6637f}, {-0.1356f, 0.6637f}, {-0.1796f, -0.1256f}, {0.0062f, 0.1095f}},
    {{0.2477f, 0.1761f}, {0.0062f, 0.1095f}, {-0.1796f, -0.1256f}, {-0.0039f, -0.0474f}},
    {{0.2477f, 0.1761f}, {0.0062f, 0.1095f}, {-0.0039f, -0.0474f}, {-0.2441f, -0.7345f}},
};

void DrawTriangle(const Vector3& a, const Vector3& b, const Vector3& c) {
    const Vector3 normal = (b - a).Cross(c - a);
    glNormal3fv(&normal.x);
    glVertex3fv(&a.x);
    glVertex3fv(&b.x);
    glVertex3fv(&c.x);
}

void DrawSpikes() {
    for (const auto& spike : StarSpikes)
        for (const auto& triangle : SpikeTriangles)
            DrawTriangle(StarPoints[spike[triangle[0]]], StarPoints[spike[triangle[1]]],
                         StarPoints[spike[triangle[2]]]);
}

void VertexRaised(const Vector3& p, float height) { glVertex3f(p.x, p.y, p.z + height); }

}  // namespace

void HeadShape::Draw() const {
    const int n = divisions[0];
    const int m = divisions[1];
    for (const HeadPart& part : HeadParts) {
        if (part.colour) glColor4fv(part.colour->rgba);
        glPushMatrix();
        glTranslatef(part.centre[0] * size.x, part.centre[1] * size.y, part.centre[2] * size.z);
        DrawEllipsoid({part.radii[0] * size.x, part.radii[1] * size.y, part.radii[2] * size.z}, n, m);
        glPopMatrix();
    }
}

void StarShape::Draw() const {
    glPushMatrix();
    glScalef(0.5f, 0.5f, 0.5f);
    glColor4fv(Red.rgba);
    for (int pass = 0; pass < 2; ++pass) {
        glBegin(GL_TRIANGLES);
        DrawSpikes();
        glEnd();
        glRotatef(180, 0, 1, 0);
    }
    glPopMatrix();
}

void BoltShape::Draw() const {
    const float z = -0.125f;
    glPushMatrix();
    glScalef(1.5f, 1.5f, 1.5f);
    // The outlines stand upright; the thickness lies along the scene's y.
    glRotatef(90, 1, 0, 0);
    glColor4fv(Yellow.rgba);
    for (const auto& o : BoltOutlines)
        ExtrudeQuad({o[0][0], o[0][1], z}, {o[1][0], o[1][1], z}, {o[2][0], o[2][1], z}, {o[3][0], o[3][1], z}, 0.25f);
    glPopMatrix();
}

void ExtrudeQuad(Vector3 p0, Vector3 p1, Vector3 p2, Vector3 p3, float height) {
    const Vector3 p[4] = {p0, p1, p2, p3};
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    for (const Vector3& point : p) VertexRaised(point, height);
    glNormal3f(0, 0, -1);
    for (int i = 3; i >= 0; --i) glVertex3fv(&p[i].x);
    for (int i = 0; i < 4; ++i) {
        const Vector3& a = p[i];
        const Vector3& b = p[(i + 1) % 4];
        glNormal3f((b.y - a.y) * height, -(b.x - a.x) * height, 0);
        glVertex3fv(&a.x);
        glVertex3fv(&b.x);
        VertexRaised(b, height);
        VertexRaised(a, height);
    }
    glEnd();
}
