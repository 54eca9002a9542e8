#include "framework/GraphicsApp.h"

#include <GL/freeglut.h>

#include <cctype>
#include <cstdlib>

GraphicsApp* GraphicsApp::current = nullptr;

GraphicsApp::GraphicsApp() : bannerText("Lumivex motion-tracking viewer - (c) 2026 the Orvex Lumivex developers") {}

GraphicsApp::~GraphicsApp() {
    current = nullptr;
    ReleaseShapes();
}

void GraphicsApp::DrawScene() {}

void GraphicsApp::DrawOverlay() {
    if (bannerOn) DrawBanner();
}

void GraphicsApp::MouseUp(int) {}

void GraphicsApp::MouseMotion(int x, int y) {
    mouseX = x;
    mouseY = y;
    pickX = x;
    pickY = viewport[3] - y;
}

void GraphicsApp::Tick(int) {}

void GraphicsApp::ToggleTracking() {}

bool GraphicsApp::ToggleTiming() {
    timingOn = !timingOn;
    return timingOn;
}

bool GraphicsApp::Command(int) { return false; }

void GraphicsApp::SetWindowPosition(int x, int y) {
    viewport[0] = x;
    viewport[1] = y;
    if (windowCreated) glutPositionWindow(x, y);
}

void GraphicsApp::Reshape(int width, int height) {
    viewport[2] = width;
    viewport[3] = height;
    glViewport(0, 0, width, height);
    UpdateProjection();
    Display();
}

void GraphicsApp::Entry(int) {}

bool GraphicsApp::Keyboard(unsigned char key) {
    using Action = void (*)(GraphicsApp&, unsigned char);
    struct Binding {
        unsigned char key;
        Action action;
    };
    // Letters match in either case; only Z tells the two apart.
    static const Binding keyMap[] = {
        {27, [](GraphicsApp& app, unsigned char) { app.Quit(); }},
        {' ', [](GraphicsApp& app, unsigned char) { app.ToggleTracking(); }},
        {'A', [](GraphicsApp& app, unsigned char) { app.SetViewType(ViewType::LookAtCentre); }},
        {'V', [](GraphicsApp& app, unsigned char) { app.SetViewType(ViewType::FreeView); }},
        {'F', [](GraphicsApp& app, unsigned char) { app.SetViewType(ViewType::FixedFrame); }},
        {'S', [](GraphicsApp& app, unsigned char) { app.moveType = MoveType::Spherical; }},
        {'C', [](GraphicsApp& app, unsigned char) { app.moveType = MoveType::Cylindrical; }},
        {'X', [](GraphicsApp& app, unsigned char) { app.moveType = MoveType::Cartesian; }},
        {'Z',
         [](GraphicsApp& app, unsigned char k) { app.MoveStep(k == 'Z' ? GLUT_KEY_PAGE_UP : GLUT_KEY_PAGE_DOWN); }},
        {'B',
         [](GraphicsApp& app, unsigned char) {
             app.bannerOn = !app.bannerOn;
             if (app.redisplay) app.redisplay();
         }},
        {'H', [](GraphicsApp& app, unsigned char) { app.PrintHelp(0); }},
        {'T', [](GraphicsApp& app, unsigned char) { app.ToggleTiming(); }},
        {'W', [](GraphicsApp& app, unsigned char) { app.ToggleWindowSize(); }},
    };
    unsigned char upper = static_cast<unsigned char>(std::toupper(key));
    for (const Binding& binding : keyMap) {
        if (binding.key != upper) continue;
        binding.action(*this, key);
        return true;
    }
    return false;
}

bool GraphicsApp::Run() {
    if (!windowCreated) return false;
    glutMainLoop();
    return true;
}

void GraphicsApp::Quit() {
    current = nullptr;
    ReleaseShapes();
    std::exit(1);
}

bool GraphicsApp::SetClipRange(float nearDistance, float farDistance) {
    if (nearDistance < 1e-6f || farDistance < nearDistance) return false;
    nearClip = nearDistance;
    farClip = farDistance;
    return true;
}

void GraphicsApp::ShowWindow() {
    if (windowCreated) glutShowWindow();
}
