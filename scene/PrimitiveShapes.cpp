#include "scene/PrimitiveShapes.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace {

// One quad strip per row; drawn with the line polygon mode they outline the
// cells of [-x, x] x [-y, y].
void DrawCellStrips(float x, float y, int nx, int ny) {
    const float dx = 2 * x / nx;
    const float dy = 2 * y / ny;
    for (int i = 0; i < ny; ++i) {
        glBegin(GL_QUAD_STRIP);
        for (int j = 0; j <= nx; ++j) {
            glVertex3f(j * dx - x, (i + 1) * dy - y, 0);
            glVertex3f(j * dx - x, i * dy - y, 0);
        }
        glEnd();
    }
}

// The centre lines sit just above the grid so that they win the depth test.
void DrawCentreLines(float x, float y) {
    glColor3f(0.1f, 0.1f, 0.1f);
    glLineWidth(3);
    glBegin(GL_LINES);
    glVertex3f(x, 0, 0.01f);
    glVertex3f(-x, 0, 0.01f);
    glVertex3f(0, y, 0.01f);
    glVertex3f(0, -y, 0.01f);
    glEnd();
    glLineWidth(1);
}

}  // namespace

void BoxShape::Draw() const { DrawBox(GL_QUADS); }

void GridShape::Draw() const {
    if (divisions[0] < 1 || divisions[1] < 1) return;
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glDisable(GL_LIGHTING);
    glNormal3f(0, 0, 1);
    DrawCellStrips(size.x, size.y, divisions[0], divisions[1]);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    DrawCentreLines(size.x, size.y);
    glEnable(GL_LIGHTING);
}

void SphereShape::Draw() const {
    GLUquadric* quadric = gluNewQuadric();
    if (quadric == nullptr) return;
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluSphere(quadric, size.x, divisions[0], divisions[1]);
    gluDeleteQuadric(quadric);
}
