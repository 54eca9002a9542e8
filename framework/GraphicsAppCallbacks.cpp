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

void GraphicsApp::MouseCallback(int button, int state, int x, int y) {
    if (!current) return;
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
