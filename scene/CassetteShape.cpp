#include "scene/CompositeShapes.h"

#include "scene/Colour.h"

#include <GL/gl.h>

namespace {

const float HalfThickness = 0.085f;
const float HoleCentreX = -0.35f;
const float HoleRadius = 0.125f;

// The quarter x <= 0, y >= 0 of a face as pairs of an outer boundary point
// and a point on the left hole's rim, the latter as the unit direction from
// the hole's centre at the angles 0, 0.4, 0.785, 1.18, pi/2, 1.96, 2.36,
// 2.75 and pi radians.
struct QuarterPair {
    float outerX, outerY;
    float cosAlpha, sinAlpha;
};

const QuarterPair Quarter[9] = {
    {0, 0, 1, 0},
    {0, 0.25f, 0.921060979f, 0.389418334f},
    {0, 0.5f, 0.707388222f, 0.706825197f},
    {-0.2125f, 0.5f, 0.380924881f, 0.924605966f},
    {-0.425f, 0.5f, 0, 1},
    {-0.566666663f, 0.5f, -0.379451811f, 0.925211489f},
    {-0.85f, 0.5f, -0.709792495f, 0.704410851f},
    {-0.85f, 0.25f, -0.924302399f, 0.381660998f},
    {-0.85f, 0, -1, 0},
};

// A face quarter is the quarter above mirrored by these signs. Mirroring in
// one axis only reverses the winding, so those images take each pair in the
// other order.
struct QuarterImage {
    float signX, signY;
    bool mirrored;
};

const QuarterImage QuarterImages[4] = {{1, 1, false}, {-1, -1, false}, {-1, 1, true}, {1, -1, true}};

// The back face takes the pairs as (outer, hole); the front face, seen from
// the other side, the other way round.
struct Face {
    float z;
    float normalZ;
    bool reversed;
};

const Face Faces[2] = {{-HalfThickness, -1, false}, {HalfThickness, 1, true}};

// The half wall of the quarter's hole, turned to give all four half walls.
const float WallTurns[4][4] = {{0, 0, 0, 1}, {180, 0, 0, 1}, {180, 0, 1, 0}, {180, 1, 0, 0}};

struct SideQuad {
    Vector3 normal;
    Vector3 corners[4];
};

const SideQuad OuterSides[4] = {
    {{-1, 0, 0}, {{-0.85f, 0.5f, 0.085f}, {-0.85f, 0.5f, -0.085f}, {-0.85f, -0.5f, -0.085f}, {-0.85f, -0.5f, 0.085f}}},
    {{1, 0, 0}, {{0.85f, 0.5f, -0.085f}, {0.85f, 0.5f, 0.085f}, {0.85f, -0.5f, 0.085f}, {0.85f, -0.5f, -0.085f}}},
    {{0, 1, 0}, {{-0.85f, 0.5f, -0.085f}, {-0.85f, 0.5f, 0.085f}, {0.85f, 0.5f, 0.085f}, {0.85f, 0.5f, -0.085f}}},
    {{0, -1, 0}, {{-0.85f, -0.5f, 0.085f}, {-0.85f, -0.5f, -0.085f}, {0.85f, -0.5f, -0.085f}, {0.85f, -0.5f, 0.085f}}},
};

float HoleX(const QuarterPair& pair) { return HoleCentreX + HoleRadius * pair.cosAlpha; }
float HoleY(const QuarterPair& pair) { return HoleRadius * pair.sinAlpha; }

void DrawFaceQuarter(const Face& face, const QuarterImage& image) {
    const bool holeFirst = face.reversed != image.mirrored;
    glBegin(GL_QUAD_STRIP);
    glNormal3f(0, 0, face.normalZ);
    for (const QuarterPair& pair : Quarter) {
        const float outer[3] = {image.signX * pair.outerX, image.signY * pair.outerY, face.z};
        const float hole[3] = {image.signX * HoleX(pair), image.signY * HoleY(pair), face.z};
        glVertex3fv(holeFirst ? hole : outer);
        glVertex3fv(holeFirst ? outer : hole);
    }
    glEnd();
}

void DrawHalfWall() {
    glBegin(GL_QUAD_STRIP);
    for (const QuarterPair& pair : Quarter) {
        const float x = HoleX(pair);
        const float y = HoleY(pair);
        // Toward the hole's axis: the wall faces into the hole.
        glNormal3f(HoleCentreX - x, -y, 0);
        glVertex3f(x, y, -HalfThickness);
        glVertex3f(x, y, HalfThickness);
    }
    glEnd();
}

void DrawOuterSides() {
    glBegin(GL_QUADS);
    for (const SideQuad& side : OuterSides) {
        glNormal3fv(&side.normal.x);
        for (const Vector3& corner : side.corners) glVertex3fv(&corner.x);
    }
    glEnd();
}

// The ridge, 1.19 x 0.2 and 1.4 times the slab's thickness, stands proud of
// both faces along the slab's bottom edge; the small shift keeps its outer
// face off the slab's side.
void DrawRidge() {
    glPushMatrix();
    glTranslatef(0, -0.001f, 0);
    glColor4fv(White.rgba);
    ExtrudeQuad({0.595f, -0.5f, -0.119f}, {0.595f, -0.3f, -0.119f}, {-0.595f, -0.3f, -0.119f},
                {-0.595f, -0.5f, -0.119f}, 0.238f);
    glPopMatrix();
}

}  // namespace

void CassetteShape::Draw() const {
    glPushMatrix();
    // The slab stands upright: its local y becomes the scene's z.
    glRotatef(90, 1, 0, 0);
    for (const Face& face : Faces)
        for (const QuarterImage& image : QuarterImages) DrawFaceQuarter(face, image);
    for (const auto& turn : WallTurns) {
        glPushMatrix();
        glRotatef(turn[0], turn[1], turn[2], turn[3]);
        DrawHalfWall();
        glPopMatrix();
    }
    DrawOuterSides();
    DrawRidge();
    glPopMatrix();
}
