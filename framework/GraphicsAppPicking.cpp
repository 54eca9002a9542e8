#include "framework/GraphicsApp.h"

#include <GL/glu.h>

#include <cmath>

namespace {

const int SelectBufferSize = 512;
const unsigned NoName = 0xFFFFFFFFu;

double Dot(const Vector3& a, const Vector3& b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }

}  // namespace

void GraphicsApp::MouseDown(int x, int y, bool) {
    mouseX = x;
    mouseY = y;
    pickX = x;
    pickY = viewport[3] - y;
    GLuint buffer[SelectBufferSize];
    glSelectBuffer(SelectBufferSize, buffer);
    renderMode = GL_SELECT;
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(NoName);
    UpdateProjection();
    RenderView();
    glFlush();
    renderMode = GL_RENDER;
    int hitCount = glRenderMode(GL_RENDER);
    pickedName = ChooseHit(hitCount, buffer);
    UpdateProjection();
}

int GraphicsApp::ChooseHit(int hitCount, const unsigned* buffer) {
    if (hitCount <= 0) return 0;
    unsigned best = 0, bestDepth = NoName;
    unsigned at = 0;
    for (int hit = 0; hit < hitCount && at < SelectBufferSize; ++hit) {
        unsigned names = buffer[at];
        // A record cut off by the end of the buffer has no top name to read;
        // compared by room left, so that no name count can wrap the end.
        unsigned room = SelectBufferSize - at;
        if (room < 3 || names > room - 3) break;
        unsigned end = at + 3 + names;
        unsigned topName = names ? buffer[end - 1] : NoName;
        if (buffer[at + 1] < bestDepth && topName != NoName) {
            best = topName;
            bestDepth = buffer[at + 1];
        }
        at = end;
    }
    int name = static_cast<int>(best);
    return name >= 0 ? name : 0;
}

bool GraphicsApp::ScreenToPlane(const Vector3& normal, const Vector3& pointOnPlane, Vector3& out) {
    double farPoint[3];
    // Matrices that cannot be inverted (none captured yet, or a look-at
    // straight down its up axis) give no ray at all.
    if (!gluUnProject(pickX, pickY, 1.0, modelviewMatrix, projectionMatrix, viewport, &farPoint[0], &farPoint[1],
                      &farPoint[2]))
        return false;
    Vector3 origin(eye[0], eye[1], eye[2]);
    Vector3 direction(static_cast<float>(farPoint[0] - origin.x), static_cast<float>(farPoint[1] - origin.y),
                      static_cast<float>(farPoint[2] - origin.z));
    return IntersectRayPlane(normal, Dot(normal, pointOnPlane), origin, direction, out);
}

bool GraphicsApp::IntersectRayPlane(const Vector3& normal, double planeConstant, const Vector3& origin,
                                    const Vector3& direction, Vector3& out) {
    double denominator = Dot(normal, direction);
    if (std::fabs(denominator) < 1e-8) return false;
    double t = (planeConstant - Dot(normal, origin)) / denominator;
    out.Set(static_cast<float>(origin.x + t * direction.x), static_cast<float>(origin.y + t * direction.y),
            static_cast<float>(origin.z + t * direction.z));
    return true;
}
