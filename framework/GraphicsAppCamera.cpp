#include "framework/GraphicsApp.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cmath>

namespace {

const double DegreesPerRadian = 57.29577951308232;
const double StepFactor = 0.1;

}  // namespace

void GraphicsApp::SetFixedFrameFrustum() {
    // The frustum of a fixed 36 x 26 rectangle in the plane x = 25, seen from the eye.
    float s = eye[0] - 25.0f;
    if (s > 0) s = 1 / s;
    glFrustum(s * (-18.0 - eye[1]), s * (18.0 - eye[1]), s * (-2.6 - eye[2]), s * (23.4 - eye[2]), 1.0, 300.0);
}

void GraphicsApp::UpdateProjection() {
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[3] == 0) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (renderMode == GL_SELECT) gluPickMatrix(pickX, pickY, 0.5, 0.5, viewport);
    if (viewType == ViewType::FixedFrame)
        SetFixedFrameFrustum();
    else
        gluPerspective(fieldOfView, static_cast<double>(viewport[2]) / viewport[3], nearClip, farClip);
    glMatrixMode(GL_MODELVIEW);
    glShadeModel(GL_SMOOTH);
}

void GraphicsApp::SetOverlayProjection() {
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, viewport[2], 0, viewport[3], -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glShadeModel(GL_FLAT);
}

void GraphicsApp::ApplyCamera() {
    UpdateCamera();
    if (viewType == ViewType::FreeView) {
        glLoadMatrixd(zUpMatrix);
        glRotatef(static_cast<float>(180 - roll * DegreesPerRadian), 1, 0, 0);
        glRotatef(static_cast<float>(-elevation * DegreesPerRadian), 0, 1, 0);
        glRotatef(static_cast<float>(-azimuth * DegreesPerRadian), 0, 0, 1);
        glTranslatef(-eye[0], -eye[1], -eye[2]);
    } else if (viewType == ViewType::FixedFrame) {
        glLoadMatrixd(zUpMatrix);
        glRotatef(180, 0, 0, 1);
        glTranslatef(-0.25f * eye[0], -0.25f * eye[1], -0.25f * eye[2]);
    } else {
        gluLookAt(eye[0], eye[1], eye[2], lookAtCentre[0], lookAtCentre[1], lookAtCentre[2], 0, 0, 1);
    }
}

namespace {

// Each move turns step counts d into a new eye; intermediates stay in double.
void MoveSpherical(float* eye, const double* d) {
    const double x = eye[0], y = eye[1], z = eye[2];
    double r = std::sqrt(x * x + y * y + z * z);
    if (!(r > 0)) return;
    double a = std::atan2(y, x) + d[1] * StepFactor;
    double e = std::atan2(z, std::sqrt(x * x + y * y)) + d[2] * StepFactor;
    double radius = (d[0] * StepFactor + 1) * r;
    eye[0] = static_cast<float>(radius * std::cos(e) * std::cos(a));
    eye[1] = static_cast<float>(radius * std::cos(e) * std::sin(a));
    eye[2] = static_cast<float>(radius * std::sin(e));
}

void MoveCylindrical(float* eye, const double* d) {
    const double x = eye[0], y = eye[1];
    double rho = std::sqrt(x * x + y * y);
    if (!(rho > 0)) return;
    double a = std::atan2(y, x) + d[1] * StepFactor;
    double radius = (d[0] * StepFactor + 1) * rho;
    eye[0] = static_cast<float>(radius * std::cos(a));
    eye[1] = static_cast<float>(radius * std::sin(a));
    eye[2] = static_cast<float>(eye[2] + d[2]);
}

void MoveCartesian(float* eye, const double* d) {
    for (int i = 0; i < 3; ++i) eye[i] = static_cast<float>(eye[i] + d[i]);
}

}  // namespace

void GraphicsApp::UpdateCamera() {
    if (!cameraDirty) return;
    using Move = void (*)(float*, const double*);
    // Indexed by move type.
    static const Move moves[] = {MoveSpherical, MoveCylindrical, MoveCartesian};
    const double d[3] = {moveDelta[0], moveDelta[1], moveDelta[2]};
    moves[static_cast<int>(moveType)](eye, d);
    moveDelta[0] = moveDelta[1] = moveDelta[2] = 0;
    cameraDirty = false;
}

void GraphicsApp::RenderView() {
    glPushMatrix();
    ApplyCamera();
    DrawScene();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelviewMatrix);
    glGetDoublev(GL_PROJECTION_MATRIX, projectionMatrix);
    glPopMatrix();
}

void GraphicsApp::Display() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (viewType == ViewType::FixedFrame) {
        eye[0] = 200 - eye[0];
        eye[1] = -eye[1];
        UpdateProjection();
    }
    RenderView();
    DrawOverlay();
    glutSwapBuffers();
}

bool GraphicsApp::MoveStep(int specialKey) {
    struct Step {
        int key;
        int axis;
        float change;
    };
    static const Step steps[] = {
        {GLUT_KEY_LEFT, 1, -1}, {GLUT_KEY_UP, 0, -1},     {GLUT_KEY_RIGHT, 1, 1},
        {GLUT_KEY_DOWN, 0, 1},  {GLUT_KEY_PAGE_UP, 2, 1}, {GLUT_KEY_PAGE_DOWN, 2, -1},
    };
    for (const Step& step : steps)
        if (step.key == specialKey) moveDelta[step.axis] += step.change;
    cameraDirty = true;
    if (current) current->Display();
    return true;
}

bool GraphicsApp::SpecialKey(int key, int, int) {
    switch (key) {
        case GLUT_KEY_F1:
            PrintHelp(0);
            return true;
        case GLUT_KEY_F2:
            SetEye(-0.1f, 0, 20);
            return true;
        case GLUT_KEY_F3:
            SetEye(-20, 0, lookAtCentre[2]);
            return true;
        case GLUT_KEY_F4:
            SetEye(0, -20, lookAtCentre[2]);
            return true;
        case GLUT_KEY_HOME:
            SetEye(-6, -10, 8);
            return true;
        default:
            break;
    }
    if (key < GLUT_KEY_LEFT || key > GLUT_KEY_PAGE_DOWN) return false;
    return MoveStep(key);
}

void GraphicsApp::SetEye(float x, float y, float z) {
    eye[0] = x;
    eye[1] = y;
    eye[2] = z;
    Display();
}

void GraphicsApp::SetViewType(ViewType type) {
    viewType = type;
    UpdateProjection();
}

void GraphicsApp::RenderFromPose(float x, float y, float z, float azimuthAngle, float elevationAngle, float rollAngle) {
    ViewType previousViewType = viewType;
    eye[0] = x;
    eye[1] = y;
    eye[2] = z;
    azimuth = azimuthAngle;
    elevation = elevationAngle;
    roll = rollAngle;
    viewType = ViewType::FreeView;
    GraphicsApp::Display();
    viewType = previousViewType;
}
