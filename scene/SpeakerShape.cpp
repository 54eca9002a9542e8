#include "scene/CompositeShapes.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

namespace {

const double Pi = 3.14159265358979323846;

}  // namespace

void SpeakerShape::Draw() const {
    const float capRadius = size.x;
    const float slant = size.y;
    const float halfAngle = size.z;
    // The speaker's axis, local +z, points along +x.
    glRotatef(90, 0, 1, 0);
    DrawCap(capRadius);
    DrawCone(slant, halfAngle);
    // A rear angle with no sine would need an endless rear cone.
    const double rearSine = std::sin(rearAngle);
    if (rearSine == 0) return;
    // The rear cone shares the front cone's rim and closes behind it.
    const double rearSlant = std::sin(halfAngle) * slant / rearSine;
    const double apexZ = std::cos(halfAngle) * slant - std::cos(rearAngle) * rearSlant;
    glPushMatrix();
    glTranslatef(0, 0, static_cast<float>(apexZ));
    glRotatef(180, 1, 0, 0);
    DrawCone(static_cast<float>(rearSlant), static_cast<float>(Pi - rearAngle));
    glPopMatrix();
}

void SpeakerShape::DrawCap(float radius) const {
    const int segments = divisions[0];
    const int rings = divisions[1];
    if (segments < 1) return;
    const double dPhi = 2 * Pi / segments;
    // Each ring's strip starts from the ring before it; the first starts (and
    // stays) at the pole, so it has no area.
    std::vector<Vector3> normals(segments + 1, Vector3(0, 0, 1));
    std::vector<Vector3> points(segments + 1, Vector3(0, 0, radius));
    for (int j = 0; j < rings; ++j) {
        const double alpha = j * static_cast<double>(size.z) / rings;
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= segments; ++i) {
            const double phi = (i % segments) * dPhi;
            glNormal3fv(&normals[i].x);
            glVertex3fv(&points[i].x);
            const Vector3& n = normals[i].Set(static_cast<float>(std::cos(phi) * std::sin(alpha)),
                                              static_cast<float>(std::sin(phi) * std::sin(alpha)),
                                              static_cast<float>(std::cos(alpha)));
            const Vector3& p = points[i].Set(radius * n.x, radius * n.y, radius * n.z);
            glNormal3fv(&n.x);
            glVertex3fv(&p.x);
        }
        glEnd();
    }
}

void SpeakerShape::DrawCone(float slantLength, float halfAngle) const {
    const int segments = divisions[2];
    if (segments < 1) return;
    const double dPhi = 2 * Pi / segments;
    const double sinTheta = std::sin(halfAngle);
    const double cosTheta = std::cos(halfAngle);
    glBegin(GL_QUAD_STRIP);
    for (int i = 0; i <= segments; ++i) {
        const double phi = (i % segments) * dPhi;
        glNormal3f(0, 0, 1);
        glVertex3f(0, 0, 0);
        // The rim normal is perpendicular to the surface, on its open side.
        glNormal3f(static_cast<float>(-cosTheta * std::cos(phi)), static_cast<float>(-cosTheta * std::sin(phi)),
                   static_cast<float>(sinTheta));
        glVertex3f(static_cast<float>(slantLength * sinTheta * std::cos(phi)),
                   static_cast<float>(slantLength * sinTheta * std::sin(phi)),
                   static_cast<float>(slantLength * cosTheta));
    }
    glEnd();
}
