#pragma once

#include "platform/Window.h"
#include "scene/Vector3.h"

#include <GL/gl.h>

class Shape;
class SceneObject;

// Base of a single-window OpenGL program driven by GLUT. GLUT callbacks carry
// no context, so every event goes through a static trampoline to the virtual
// operations of `current`, the one live application.
class GraphicsApp {
public:
    GraphicsApp();
    virtual ~GraphicsApp();

    // Virtual operations in slot order; derived classes override by slot.
    virtual bool Init(const char* title);
    virtual void DrawScene();
    virtual void DrawOverlay();
    virtual void RegisterCallbacks();
    virtual void Display();
    virtual void MouseDown(int x, int y, bool middleButton);
    virtual void MouseUp(int button);
    virtual void MouseMotion(int x, int y);
    virtual void Tick(int value);
    virtual void ToggleTracking();
    virtual bool ToggleTiming();
    virtual bool PrintHelp(int level);
    virtual bool Keyboard(unsigned char key);
    virtual bool MoveStep(int specialKey);
    virtual bool Command(int code);
    virtual void SetWindowPosition(int x, int y);
    virtual void PassiveMotion(int x, int y);
    virtual void Reshape(int width, int height);
    virtual void Entry(int state);
    virtual void SetViewType(int type);
    virtual void RenderFromPose(float x, float y, float z, float azimuthAngle, float elevationAngle, float rollAngle);
    virtual void SetEye(float x, float y, float z);
    virtual bool SpecialKey(int key, int x, int y);

    bool Run();
    [[noreturn]] void Quit();
    bool SetClipRange(float nearDistance, float farDistance);
    // Shows the window, when there is one.
    void ShowWindow();

    void ToggleWindowSize();

    void UpdateProjection();
    void SetOverlayProjection();
    void ApplyCamera();
    void UpdateCamera();
    void RenderView();

    static int ChooseHit(int hitCount, const unsigned* buffer);
    bool ScreenToPlane(const Vector3& normal, const Vector3& pointOnPlane, Vector3& out);
    static bool IntersectRayPlane(const Vector3& normal, double planeConstant, const Vector3& origin,
                                  const Vector3& direction, Vector3& out);

    void DrawText(int x, int y, const char* text);
    void DrawBanner();

    void BuildShapes();
    void ReleaseShapes();

    static GraphicsApp* current;

    // GLUT trampolines: each forwards one event to `current`.
    static void ReshapeCallback(int width, int height);
    static void KeyboardCallback(unsigned char key, int x, int y);
    static void SpecialCallback(int key, int x, int y);
    static void MouseCallback(int button, int state, int x, int y);
    static void MotionCallback(int x, int y);
    static void PassiveMotionCallback(int x, int y);
    static void EntryCallback(int state);
    static void DisplayCallback();

    int viewport[4] = {0, 0, 640, 480};
    platform::WindowHandle windowHandle = 0;
    double zUpMatrix[16] = {};
    double modelviewMatrix[16] = {};
    double projectionMatrix[16] = {};
    double fieldOfView = 35.0;
    unsigned displayMode = 2;  // GLUT_RGB | GLUT_DOUBLE
    GLenum renderMode = GL_RENDER;
    int viewType = 0;
    int moveType = 0;
    int pickX = 0, pickY = 0;
    int mouseX = 0, mouseY = 0;
    bool timingOn = false;
    // eye, azimuth, elevation and roll have a tracker pose's layout: a
    // station record is copied onto them as six floats.
    float eye[3] = {-6, -10, 8};
    float azimuth = 0;
    float elevation = 1.7278759f;
    float roll = 0;
    float lookAtCentre[3] = {0, 0, 1};
    float moveDelta[3] = {0, 0, 0};
    bool cameraDirty = false;
    bool windowCreated = false;
    bool bannerOn = true;
    float nearClip = 0.1f;
    float farClip = 200.1f;
    void (*redisplay)() = nullptr;
    Shape* headShape = nullptr;
    Shape* sphereShape = nullptr;
    Shape* speakerShape = nullptr;
    Shape* plateShape = nullptr;
    Shape* gridShape = nullptr;
    Shape* starShape = nullptr;
    Shape* boltShape = nullptr;
    Shape* cassetteShape = nullptr;
    const char* bannerText;
    int pickedName = 0;
    SceneObject* selectedObject = nullptr;
    double dragParameter = 0;
    float dragVector[3] = {0, 0, 0};
    float dragPlaneNormal[3] = {0, 0, 1};

    // Window-size toggle, shared by all instances.
    static bool fullScreen;
    static int savedGeometry[4];

private:
    bool OpenWindow(const char* title);
    void ComputeZUpMatrix();
    void SetLights();
    void SetMaterials();
    void SetFixedFrameFrustum();
};
