#pragma once

#include <deque>
#include <memory>

#include "app/PointerArray.h"
#include "channel/ChannelNotices.h"
#include "framework/GraphicsApp.h"
#include "scene/SceneObject.h"
#include "scene/Shape.h"
#include "app/StationMapEntry.h"
#include "app/TrackingReport.h"

// The tracking viewer: binds tracker stations to the viewpoint and to the
// scene's movable objects, and moves them every frame while tracking is on.
class ViewerApp : public GraphicsApp {
public:
    // The object number by which station-map rows name the viewpoint.
    static constexpr int ViewpointObject = 1;

    ViewerApp();
    ~ViewerApp() override;

    bool Init(const char* title) override;
    void DrawScene() override;
    void RegisterCallbacks() override;
    void Display() override;
    void MouseDown(int x, int y, bool middleButton) override;
    void MouseUp(int button) override;
    void Tick(int value) override;
    void ToggleTracking() override;
    bool Keyboard(unsigned char key) override;

    bool AnyTracking() const;
    SceneObject* FindByTrackingId(int n) const;
    bool ReportTrackingConfiguration();
    void BuildEnvironment();
    void MapStation(int row);
    int FindRowByObject(int objectId) const;
    void PrintViewerHelp();
    void DragSelected();

    SceneObject* Object(int i) const { return static_cast<SceneObject*>(objects.At(i)); }
    SceneObject* Fixture(int i) const { return static_cast<SceneObject*>(fixtures.At(i)); }

    bool idleRunning = false;
    int rotateDrag = 0;
    bool buttonDown[3] = {false, false, false};
    int stationMapCount = 0;
    StationMapEntry stationMap[stationMapCapacity];
    TrackerClientArray* trackerClients = nullptr;
    PointerArray objects;
    PointerArray fixtures;

    static unsigned tickCount;

private:
    void TrackStations();
    void TrackRow(StationMapEntry& row);
    bool LearnUnit(StationMapEntry& row, TrackerClient& client) const;
    void Notify(const TrackerClient& client, int bin, bool read);
    void ConvertPosition(const StationMapEntry& row, float* pose, bool toSceneUnits) const;
    void StoreViewpoint(const float* pose);
    int CurrentObjectNumber() const;
    void SetIdle(bool running);
    void ArmDrag();
    bool PointerOnDragPlane(const Pose& pose, Vector3& out);
    void ArmTurn(float length);

    // What BuildEnvironment makes; the object lists only point into it. It
    // lives as long as the viewer: in practice until the process ends. Scene
    // objects have no virtual destructor, so the owned ones are of a final type.
    struct BuiltObject final : SceneObject {
        using SceneObject::SceneObject;
    };
    std::unique_ptr<Shape> boxShape;
    std::deque<BuiltObject> builtObjects;
    std::deque<Pose> builtPoses;
    ChannelNotices trackerNotices;
};
