#include "GallerySheet.h"

#include "scene/Colour.h"
#include "scene/CompositeShapes.h"
#include "scene/PrimitiveShapes.h"
#include "scene/SceneObject.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace gallery {
namespace {

// How one prototype is shown: its caption, its colour, the radius of a
// sphere that holds it, and the camera's direction (azimuth from +x toward
// +y, elevation above the floor, degrees). The shapes face +x; the cassette
// faces -y.
struct Exhibit {
    const char* caption;
    std::unique_ptr<Shape> shape;
    const Colour* colour;
    float radius;
    float azimuth, elevation;
};

const float FieldOfView = 30;

std::unique_ptr<Shape> Speaker() {
    auto speaker = std::make_unique<SpeakerShape>(Vector3(0.4f, 1.0f, 1.2f), 25, 4, 40);
    speaker->rearAngle = 1.0f;
    return speaker;
}

std::vector<Exhibit> Exhibits() {
    std::vector<Exhibit> exhibits;
    exhibits.push_back({"head", std::make_unique<HeadShape>(Vector3(1.4f, 1.0f, 1.8f), 6, 8, 1), &Tan, 2.3f, 55, 15});
    exhibits.push_back({"sphere", std::make_unique<SphereShape>(Vector3(0.5f, 0, 0), 14, 7, 0), &Cyan, 0.6f, 35, 25});
    exhibits.push_back({"speaker", Speaker(), &Grey, 1.1f, 50, 20});
    exhibits.push_back({"plate", std::make_unique<BoxShape>(Vector3(0.1f, 1, 1), 1, 1, 1), &Blue, 1.5f, 35, 25});
    exhibits.push_back({"grid", std::make_unique<GridShape>(Vector3(1, 1, 1), 10, 10, 10), &Black, 1.5f, 30, 35});
    exhibits.push_back({"star", std::make_unique<StarShape>(Vector3(0.5f, 0, 0), 14, 7, 0), &Red, 1.2f, 30, 20});
    exhibits.push_back({"bolt", std::make_unique<BoltShape>(Vector3(0.5f, 0, 0), 14, 7, 0), &Yellow, 1.2f, -60, 20});
    exhibits.push_back(
        {"cassette", std::make_unique<CassetteShape>(Vector3(0.5f, 2, 1), 14, 7, 0), &DarkGrey, 1.0f, -60, 25});
    return exhibits;
}

// The viewer's lighting: one directional light fixed relative to the eye,
// from upper right behind it, and a shiny material whose diffuse colour
// follows the current colour.
void SetUpState() {
    glClearColor(0.6f, 0.6f, 0.6f, 1);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_NORMALIZE);
    const float lightAmbient[] = {0.1f, 0.1f, 0.1f, 1};
    const float white[] = {1, 1, 1, 0};
    const float modelAmbient[] = {0.2f, 0.2f, 0.2f, 1};
    const float noAmbient[] = {0, 0, 0, 1};
    const float lightPosition[] = {4, 2, 10, 0};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_LIGHT0);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);
    glEnable(GL_LIGHTING);
    glMaterialfv(GL_FRONT, GL_AMBIENT, noAmbient);
    glMaterialf(GL_FRONT, GL_SHININESS, 40);
    glMaterialfv(GL_FRONT, GL_SPECULAR, white);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
}

void LookAt(const Exhibit& exhibit) {
    const double toRadians = 3.14159265358979323846 / 180;
    const double distance = exhibit.radius / std::sin(FieldOfView / 2 * toRadians);
    const double a = exhibit.azimuth * toRadians;
    const double e = exhibit.elevation * toRadians;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FieldOfView, 1, distance - 2 * exhibit.radius, distance + 2 * exhibit.radius);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(distance * std::cos(e) * std::cos(a), distance * std::cos(e) * std::sin(a), distance * std::sin(e), 0, 0,
              0, 0, 0, 1);
}

void DrawCaption(const char* caption, int left, int bottom) {
    auto* text = reinterpret_cast<const unsigned char*>(caption);
    const int width = glutBitmapLength(GLUT_BITMAP_HELVETICA_12, text);
    glViewport(0, 0, SheetWidth, SheetHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, SheetWidth, 0, SheetHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glColor3f(0, 0, 0);
    glRasterPos2i(left + (TileSize - width) / 2, bottom + 8);
    glutBitmapString(GLUT_BITMAP_HELVETICA_12, text);
    glEnable(GL_LIGHTING);
}

void DrawExhibit(const Exhibit& exhibit, int column, int row) {
    const int left = column * TileSize;
    const int bottom = (Rows - 1 - row) * (TileSize + CaptionHeight);
    glViewport(left, bottom + CaptionHeight, TileSize, TileSize);
    LookAt(exhibit);
    exhibit.shape->CompileList(false);
    SceneObject object(exhibit.shape.get(), Vector3(1, 1, 1), *exhibit.colour);
    object.DrawObject(GL_RENDER, nullptr);
    DrawCaption(exhibit.caption, left, bottom);
}

std::vector<std::uint8_t> ReadBackBuffer() {
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(SheetWidth) * SheetHeight * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, SheetWidth, SheetHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<std::uint8_t> topDown(bottomUp.size());
    const std::size_t rowBytes = static_cast<std::size_t>(SheetWidth) * 3;
    for (int row = 0; row < SheetHeight; ++row)
        std::memcpy(&topDown[row * rowBytes], &bottomUp[(SheetHeight - 1 - row) * rowBytes], rowBytes);
    return topDown;
}

}  // namespace

std::vector<std::uint8_t> RenderSheet() {
    SetUpState();
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const std::vector<Exhibit> exhibits = Exhibits();
    for (std::size_t i = 0; i < exhibits.size(); ++i)
        DrawExhibit(exhibits[i], static_cast<int>(i) % Columns, static_cast<int>(i) / Columns);
    glFinish();
    return ReadBackBuffer();
}

}  // namespace gallery
