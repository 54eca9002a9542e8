#include "app/ViewerApp.h"

#include "scene/Colour.h"
#include "scene/SceneObject.h"
#include "channel/ChannelState.h"
#include "channel/StationLayout.h"
#include "channel/StationReader.h"
#include "app/TrackerClientArray.h"
#include "app/TrackerSettings.h"
#include "app/TrackingReport.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>

unsigned ViewerApp::tickCount = 0;

namespace {

// Centimetres to scene units: slightly below a quarter.
const double SceneUnitFactor = 0.24999999441206455;

}  // namespace

ViewerApp::ViewerApp() { current = this; }

ViewerApp::~ViewerApp() {
    current = nullptr;
    fixtures.Release();
    objects.Release();
    delete trackerClients;
}

bool ViewerApp::Init(const char* title) {
    std::printf("\nIgnition ... ");
    std::printf("\n\tInit OpenGL ... ");
    GraphicsApp::Init(title);
    std::printf("\n\tCALLBACKs ... ");
    RegisterCallbacks();
    std::printf("\n\tTracking ... ");
    ReportTrackingConfiguration();
    std::printf("\n\tObjects ... ");
    BuildEnvironment();
    SetClipRange(0.1f, 500.0f);
    std::printf("\n\tKeymapping ... ");
    PrintViewerHelp();
    if (startMaximized) ToggleWindowSize();
    return true;
}

void ViewerApp::RegisterCallbacks() {
    GraphicsApp::RegisterCallbacks();
    if (verboseLevel != 0) std::printf(" Complete");
}

bool ViewerApp::ReportTrackingConfiguration() {
    return ::ReportTrackingConfiguration(stationMap, stationMapCount, trackerClients);
}

void ViewerApp::DrawScene() {
    // The banner of the previous frame leaves blending on.
    glDisable(GL_BLEND);
    for (int i = 0; i < fixtures.count; ++i) Fixture(i)->DrawObject(renderMode, nullptr);
    for (int i = 0; i < objects.count; ++i) {
        SceneObject* object = Object(i);
        object->DrawObject(renderMode, object == selectedObject ? Orange.rgba : nullptr);
    }
}

void ViewerApp::Display() {
    if (AnyTracking() && trackerClients) TrackStations();
    if (buttonDown[0] || buttonDown[1] || buttonDown[2]) {
        pickX = mouseX;
        pickY = viewport[3] - mouseY;
        if (buttonDown[0] && selectedObject) DragSelected();
    }
    GraphicsApp::Display();
    if (!idleRunning) SetIdle(false);
}

void ViewerApp::TrackStations() {
    // Once any row tracks, every row drives its target, in row order.
    for (int r = 0; r < stationMapCount; ++r) TrackRow(stationMap[r]);
}

void ViewerApp::TrackRow(StationMapEntry& row) {
    if (row.instrument < 0 || row.instrument >= trackerClients->Count()) return;
    TrackerClient& client = (*trackerClients)[row.instrument];
    bool viewpoint = row.objectId == ViewpointObject;
    SceneObject* object = viewpoint ? nullptr : FindByTrackingId(row.objectId);
    float pose[6];
    bool read = ReadStationPose(client, row.bin, row.station, pose) && LearnUnit(row, client);
    Notify(client, row.bin, read);
    if (!read || (!viewpoint && !object)) return;
    // In fixed-frame view the viewpoint stays in centimetres.
    ConvertPosition(row, pose, !viewpoint || viewType != ViewType::FixedFrame);
    if (viewpoint)
        StoreViewpoint(pose);
    else
        object->SetPose(pose[0], pose[1], pose[2], pose[3], pose[4], pose[5]);
}

// The unit is taken once, from the first read that succeeds: a server does not
// change it while it runs, and the report fixed it for the rows it read.
bool ViewerApp::LearnUnit(StationMapEntry& row, TrackerClient& client) const {
    if (row.unitKnown) return true;
    ChannelState state;
    if (!ReadChannelState(client, row.bin, state)) return false;
    station_layout::ChannelUnit unit = station_layout::UnitOfCode(station_layout::UnitCode(state.flags));
    row.scale = unit.scale;
    row.unitKnown = true;
    std::printf("\nTracker (%d,%d,%d): read at last; unit %s, scale normalized by %.2f", row.instrument, row.bin,
                row.station, unit.label, unit.scale);
    return true;
}

// Tracking that stops or goes on is said on the console, once per event.
void ViewerApp::Notify(const TrackerClient& client, int bin, bool read) {
    for (const std::string& line : trackerNotices.After(client, bin, read, ChannelNotices::Clock::now()))
        std::printf("\nTracker (%d,%d): %s", client.Instrument(), bin, line.c_str());
}

void ViewerApp::ConvertPosition(const StationMapEntry& row, float* pose, bool toSceneUnits) const {
    NormalisePosition(pose, row.scale, trackerSettings.originOffset);
    if (!toSceneUnits) return;
    for (int i = 0; i < 3; ++i) pose[i] = static_cast<float>(pose[i] * SceneUnitFactor);
}

void ViewerApp::StoreViewpoint(const float* pose) {
    eye[0] = pose[0];
    eye[1] = pose[1];
    eye[2] = pose[2];
    azimuth = pose[3];
    elevation = pose[4];
    roll = pose[5];
    if (verboseLevel != 0) std::printf("\rVP: %5.1f,%5.1f,%5.1f", eye[0], eye[1], eye[2]);
}

void ViewerApp::Tick(int) {
    if (!timingOn) return;
    const unsigned period = static_cast<unsigned>(44.1 * 10.0);
    ++tickCount;
    if (tickCount % period == 0) std::printf("\n\tTiming audio (%3.0f).", std::floor(tickCount / 44.1));
    if (current) current->Display();
}

bool ViewerApp::AnyTracking() const {
    for (int i = 0; i < stationMapCount; ++i)
        if (stationMap[i].tracking) return true;
    return false;
}

SceneObject* ViewerApp::FindByTrackingId(int n) const {
    for (int i = 0; i < objects.count; ++i)
        if (Object(i) && Object(i)->trackingId == n) return Object(i);
    return nullptr;
}

void ViewerApp::SetIdle(bool running) {
    // GLUT exists only once the window does.
    if (!windowCreated) return;
    glutIdleFunc(running ? redisplay : nullptr);
}
