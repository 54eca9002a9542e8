#pragma once

#include "platform/Window.h"
#include "scene/Vector3.h"

#include <GL/gl.h>

#include <memory>

#include "scene/Shape.h"

class SceneObject;

// Where the camera looks from, chosen with A, V and F: at the centre from the
// eye, from a tracked pose, or the fixed frame.
enum class ViewType { LookAtCentre, FreeView, FixedFrame };
// How the arrow and page keys move the eye, chosen with S, C and X.
enum class MoveType { Spherical, Cylindrical, Cartesian };

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
    virtual void SetViewType(ViewType type);
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
    GLenum renderMode = GL_RENDER;
    ViewType viewType = ViewType::LookAtCentre;
    MoveType moveType = MoveType::Spherical;
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
    int pickedName = 0;
    SceneObject* selectedObject = nullptr;
    double dragParameter = 0;
    float dragVector[3] = {0, 0, 0};
    float dragPlaneNormal[3] = {0, 0, 1};

    // Window-size toggle, shared by all instances.
    static bool fullScreen;

protected:
    // The floor; a derived class may replace it with its own.
    std::unique_ptr<Shape> gridShape;

private:
    double fieldOfView = 35.0;
    unsigned displayMode = 2;  // GLUT_RGB | GLUT_DOUBLE
    const char* bannerText;
    std::unique_ptr<Shape> headShape;
    std::unique_ptr<Shape> sphereShape;
    std::unique_ptr<Shape> speakerShape;
    std::unique_ptr<Shape> plateShape;
    std::unique_ptr<Shape> starShape;
    std::unique_ptr<Shape> boltShape;
    std::unique_ptr<Shape> cassetteShape;
    static int savedGeometry[4];

    void ReleaseShapes();

    bool OpenWindow(const char* title);
    void ComputeZUpMatrix();
    void SetLights();
    void SetMaterials();
    void SetFixedFrameFrustum();
};
