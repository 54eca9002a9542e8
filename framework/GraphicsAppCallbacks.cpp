#include "framework/GraphicsApp.h"

#include <GL/freeglut.h>

// One trampoline per GLUT callback: each forwards to the current application
// and ignores the event while there is none.

void GraphicsApp::ReshapeCallback(int width, int height) {
    if (current) current->Reshape(width, height);
}

void GraphicsApp::KeyboardCallback(unsigned char key, int, int) {
    if (current) current->Keyboard(key);
}

void GraphicsApp::SpecialCallback(int key, int x, int y) {
    if (current) current->SpecialKey(key, x, y);
}

namespace {

// freeglut reports each wheel notch as a press and a release of a button
// beyond the mouse's three: 3 up, 4 down, 5 and 6 sideways. A notch is no
// press: up and down step the camera as Z and z do, sideways does nothing.
const int FirstWheelButton = 3;
const int WheelSteps[] = {GLUT_KEY_PAGE_UP, GLUT_KEY_PAGE_DOWN, 0, 0};
const int WheelButtons = sizeof WheelSteps / sizeof WheelSteps[0];

}  // namespace

void GraphicsApp::MouseCallback(int button, int state, int x, int y) {
    if (!current) return;
    int wheel = button - FirstWheelButton;
    if (wheel >= 0 && wheel < WheelButtons) {
        if (state == GLUT_DOWN && WheelSteps[wheel]) current->MoveStep(WheelSteps[wheel]);
        return;
    }
    if (state == GLUT_DOWN)
        current->MouseDown(x, y, button == GLUT_MIDDLE_BUTTON);
    else if (state == GLUT_UP)
        current->MouseUp(button);
}

void GraphicsApp::MotionCallback(int x, int y) {
    if (current) current->MouseMotion(x, y);
}

void GraphicsApp::PassiveMotionCallback(int x, int y) {
    if (current) current->PassiveMotion(x, y);
}

void GraphicsApp::EntryCallback(int state) {
    if (current) current->Entry(state);
}

void GraphicsApp::DisplayCallback() {
    if (current) current->Display();
}

void GraphicsApp::RegisterCallbacks() {
    redisplay = DisplayCallback;
    // Without a window GLUT was never started, and any GLUT call would end
    // the process; no event can arrive then anyway.
    if (!windowCreated) return;
    glutReshapeFunc(ReshapeCallback);
    glutKeyboardFunc(KeyboardCallback);
    glutSpecialFunc(SpecialCallback);
    glutMouseFunc(MouseCallback);
    glutMotionFunc(MotionCallback);
    glutPassiveMotionFunc(PassiveMotionCallback);
    glutEntryFunc(EntryCallback);
    glutIdleFunc(redisplay);
    glutDisplayFunc(redisplay);
}
