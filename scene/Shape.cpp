#include "scene/Shape.h"

#include "scene/Colour.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

// Corner i of a box is (sign[i] * half-extent) on each axis.
const float BoxCornerSigns[8][3] = {
    {-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}, {1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1},
};

const int BoxFaceCorners[6][4] = {
    {0, 1, 2, 3}, {3, 2, 6, 7}, {7, 6, 5, 4}, {4, 5, 1, 0}, {5, 6, 2, 1}, {7, 4, 0, 3},
};

const Vector3 BoxFaceNormals[6] = {
    {-1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1},
};

GLenum FacePrimitive(int mode) {
    switch (mode) {
        case 0:
        case GL_POINT:
            return GL_POINTS;
        case 1:
        case 2:
        case GL_LINE:
            return GL_LINE_LOOP;
        default:
            return GL_QUADS;
    }
}

}  // namespace

Shape::Shape(Vector3 shapeSize, float d0, float d1, float d2)
    : divisions{static_cast<int>(d0), static_cast<int>(d1), static_cast<int>(d2)}, size(shapeSize) {}

Shape::~Shape() {
    if (displayList != 0) glDeleteLists(displayList, 1);
    displayList = 0;
}

void Shape::Draw() const {
    DrawBox(GL_QUADS);
    DrawAxes();
}

void Shape::CompileList(bool execute) {
    if (displayList != 0) glDeleteLists(displayList, 1);
    displayList = glGenLists(1);
    if (displayList == 0) {
        // No list name left: still draw when asked; the next draw of the
        // shape tries again to get a list.
        if (execute) DrawInOwnMatrix();
        return;
    }
    glNewList(displayList, execute ? GL_COMPILE_AND_EXECUTE : GL_COMPILE);
    DrawInOwnMatrix();
    glEndList();
}

void Shape::DrawInOwnMatrix() const {
    glPushMatrix();
    Draw();
    glPopMatrix();
}

void Shape::DrawBox(int mode) const {
    Vector3 corners[8];
    for (int i = 0; i < 8; ++i)
        corners[i].Set(BoxCornerSigns[i][0] * size.x, BoxCornerSigns[i][1] * size.y, BoxCornerSigns[i][2] * size.z);
    DrawBoxFaces(corners, BoxFaceNormals, mode);
}

void Shape::DrawBoxFaces(const Vector3* vertices, const Vector3* normals, int mode) {
    const GLenum primitive = FacePrimitive(mode);
    for (int face = 0; face < 6; ++face) {
        const int* corner = BoxFaceCorners[face];
        const Vector3& a = vertices[corner[0]];
        const Vector3 normal = normals ? normals[face] : (vertices[corner[1]] - a).Cross(vertices[corner[2]] - a);
        glBegin(primitive);
        glNormal3fv(&normal.x);
        for (int k = 0; k < 4; ++k) glVertex3fv(&vertices[corner[k]].x);
        glEnd();
    }
}

void Shape::DrawAxes() const {
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    glColor3fv(Red.rgba);
    glVertex3f(0, 0, 0);
    glVertex3f(1.5f * size.x, 0, 0);
    glColor3fv(Green.rgba);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 1.5f * size.y, 0);
    glColor3fv(Blue.rgba);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 0, 1.5f * size.z);
    glEnd();
    glEnable(GL_LIGHTING);
}

void Shape::DrawFootprint() const {
    const float w = size.x;
    const float d = size.y == 0 ? size.x : size.y;
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    // Weighting the destination by the source alpha too darkens the ground.
    glBlendFunc(GL_SRC_ALPHA, GL_SRC_ALPHA);
    glNormal3f(0, 0, 1);
    glRectf(-w, -d, w, d);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
}

void Shape::DrawEllipsoid(Vector3 radii, int n, int m) {
    glScalef(radii.x, radii.y, radii.z);
    GLUquadric* quadric = gluNewQuadric();
    if (quadric == nullptr) return;
    gluSphere(quadric, 1.0, 4 * n, 2 * m);
    gluDeleteQuadric(quadric);
}
