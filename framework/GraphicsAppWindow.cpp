#include "framework/GraphicsApp.h"

#include <GL/freeglut.h>

#include <cstdio>
#include <cstdlib>

bool GraphicsApp::fullScreen = false;
int GraphicsApp::savedGeometry[4] = {100, 100, 100, 100};

namespace {

const char* const DefaultTitle = "Orvex Lumivex";

// freeglut ends the process when it cannot open the display or the display
// has no OpenGL, so the display is checked first; GLUT is started once per
// process, with no arguments of the viewer's, which keeps its switches away
// from GLUT.
platform::DisplayState StartGlut() {
    if (glutGet(GLUT_INIT_STATE)) return platform::DisplayState::Usable;
    platform::DisplayState state = platform::CheckDisplay();
    if (state != platform::DisplayState::Usable) return state;
    int argc = 1;
    char program[] = "lumivex";
    char* argv[] = {program, nullptr};
    glutInit(&argc, argv);
    return state;
}

void ReportNoWindow(platform::DisplayState state) {
    const char* display = std::getenv("DISPLAY");
    const char* format = state == platform::DisplayState::NotOpened
                             ? "\nNo X display could be opened (DISPLAY=%s): the graphics window was not created."
                             : "\nThe X display %s has no OpenGL (GLX): the graphics window was not created.";
    std::printf(format, display ? display : "");
}

}  // namespace

bool GraphicsApp::OpenWindow(const char* title) {
    platform::DisplayState state = StartGlut();
    if (state != platform::DisplayState::Usable) {
        ReportNoWindow(state);
        return false;
    }
    glutInitWindowPosition(viewport[0], viewport[1]);
    glutInitWindowSize(viewport[2], viewport[3]);
    // The depth test needs a depth buffer, which an X visual need not have
    // unless it is asked for.
    glutInitDisplayMode(displayMode | GLUT_DEPTH);
    return glutCreateWindow(title) != 0;
}

void GraphicsApp::ComputeZUpMatrix() {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(-90, 1, 0, 0);
    glRotatef(90, 0, 0, 1);
    glGetDoublev(GL_MODELVIEW_MATRIX, zUpMatrix);
    glPopMatrix();
}

void GraphicsApp::SetLights() {
    static const float ambient[] = {0.1f, 0.1f, 0.1f, 1.0f};
    static const float diffuse[] = {1.0f, 1.0f, 1.0f, 0.0f};
    static const float specular[] = {1.0f, 1.0f, 1.0f, 0.0f};
    static const float position[] = {4.0f, 2.0f, 10.0f, 0.0f};
    static const float modelAmbient[] = {0.2f, 0.2f, 0.2f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    // Given once, under the identity: the light stays fixed to the viewer.
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    glLightModelf(GL_LIGHT_MODEL_LOCAL_VIEWER, 0.0f);
    glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 0.0f);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);
    glEnable(GL_LIGHTING);
}

void GraphicsApp::SetMaterials() {
    static const float ambient[] = {0.0f, 0.0f, 0.0f, 1.0f};
    static const float specular[] = {1.0f, 1.0f, 1.0f, 0.0f};
    static const float diffuse[] = {1.0f, 0.0f, 0.0f, 0.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialf(GL_FRONT, GL_SHININESS, 40.0f);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

bool GraphicsApp::Init(const char* title) {
    std::printf("\n\t\tWindow ... ");
    if (!title) title = DefaultTitle;
    if (!OpenWindow(title)) return false;
    std::printf("\n\t\tZ-Up Matrix ... ");
    ComputeZUpMatrix();
    std::printf("\n\t\tDisplay Lists ... ");
    BuildShapes();
    std::printf("\n\t\tZedBuffer ... ");
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glClearDepth(1.0);
    std::printf("\n\t\tBackGround ... ");
    glClearColor(0.6f, 0.6f, 0.6f, 0.0f);
    std::printf("\n\t\tLights ... ");
    SetLights();
    std::printf("\n\t\tMaterials ... ");
    SetMaterials();
    std::printf("\n\t\tProjection ... ");
    UpdateProjection();
    windowCreated = true;
    glutShowWindow();
    windowHandle = platform::FindWindowByTitle(title);
    return windowCreated;
}

void GraphicsApp::ToggleWindowSize() {
    if (!windowCreated) return;
    if (!fullScreen) {
        savedGeometry[0] = glutGet(GLUT_WINDOW_X);
        savedGeometry[1] = glutGet(GLUT_WINDOW_Y);
        savedGeometry[2] = glutGet(GLUT_WINDOW_WIDTH);
        savedGeometry[3] = glutGet(GLUT_WINDOW_HEIGHT);
        // Without a window manager a full-screen request keeps the window's
        // offset; moving it to the corner first makes it cover the screen.
        glutPositionWindow(0, 0);
        glutFullScreen();
        fullScreen = true;
    } else {
        glutPositionWindow(savedGeometry[0], savedGeometry[1]);
        glutReshapeWindow(savedGeometry[2], savedGeometry[3]);
        fullScreen = false;
    }
}

void GraphicsApp::PassiveMotion(int, int) {
    if (windowHandle) platform::RaiseWindow(windowHandle);
}
