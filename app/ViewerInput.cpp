#include "app/ViewerApp.h"

#include "scene/SceneObject.h"
#include "app/TrackerSettings.h"

#include <cmath>
#include <cstdio>

namespace {

const int RotationBits = 0x38;

float Length(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace

bool ViewerApp::Keyboard(unsigned char key) {
    struct Binding {
        unsigned char key;
        int row;
    };
    // '0' binds the eleventh row, shown as station 11.
    static const Binding numberKeys[] = {{'1', 0}, {'2', 1}, {'3', 2}, {'0', 10}};
    for (const Binding& binding : numberKeys) {
        if (binding.key != key) continue;
        MapStation(binding.row);
        return true;
    }
    return GraphicsApp::Keyboard(key);
}

int ViewerApp::CurrentObjectNumber() const { return selectedObject ? selectedObject->trackingId : ViewpointObject; }

void ViewerApp::MapStation(int row) {
    if (row < 0 || row >= stationMapCount) return;
    stationMap[row].objectId = CurrentObjectNumber();
    if (verboseLevel != 0)
        std::printf("\nTracking of object %d mapped to station %d.", stationMap[row].objectId, row + 1);
}

int ViewerApp::FindRowByObject(int objectId) const {
    for (int i = 0; i < stationMapCount; ++i)
        if (stationMap[i].objectId == objectId) return i;
    return -1;
}

void ViewerApp::ToggleTracking() {
    int number = CurrentObjectNumber();
    int row = FindRowByObject(number);
    if (row == -1) return;
    stationMap[row].tracking = !stationMap[row].tracking;
    if (verboseLevel != 0)
        std::printf("\nToggled %s tracking of object %d on station %d.", stationMap[row].tracking ? "ON " : "OFF",
                    number, row + 1);
    idleRunning = AnyTracking();
    if (idleRunning) SetIdle(true);
    if (redisplay) redisplay();
}

void ViewerApp::PrintViewerHelp() {
    static const char* const lines[] = {
        "\n\t\tSpacebar\tToggle tracking for selected.",
        "\n\t\tEnter   \tToggle banner.",
        "\n\t\tN-Key   \tNext object to select.",
        "\n\t\tNumber-Key \tMap (number) sensor to current object.",
        "\n\t\tC-Key   \tLookAt Center.",
        "\n\t\tV-Key   \tFree View (use with tracking only).",
        "\n\t\tF-Key   \tFixed Frame (use with tracking only).",
        "\n\t\tW-Key   \tToggle Window size.",
        "\n\t\tH-Key   \tPrint this help to console window.",
        "\n\tIf no object is selected, \n\t  then the view is the current object.",
        "\n",
    };
    for (const char* line : lines) std::printf("%s", line);
}

void ViewerApp::MouseDown(int x, int y, bool) {
    buttonDown[0] = true;
    GraphicsApp::MouseDown(x, y, false);
    if (pickedName != 0) {
        SceneObject* picked = nullptr;
        for (int i = 0; i < objects.count && !picked; ++i)
            if (Object(i)->id == pickedName) picked = Object(i);
        std::printf("\nPicked: %d", pickedName);
        if (picked) selectedObject = picked;
    } else {
        std::printf(" DESELCTED");
        pickedName = 0;
        selectedObject = nullptr;
    }
    if (selectedObject) ArmDrag();
    idleRunning = true;
    SetIdle(true);
}

void ViewerApp::ArmDrag() {
    const Pose& pose = *selectedObject->pose;
    Vector3 centre(pose.x, pose.y, pose.z), hit;
    if (!PointerOnDragPlane(pose, hit)) {
        selectedObject = nullptr;
        return;
    }
    Vector3 offset = hit - centre;
    dragVector[0] = offset.x;
    dragVector[1] = offset.y;
    dragVector[2] = offset.z;
    rotateDrag = 0;
    if (!(selectedObject->motionMask & RotationBits)) return;
    // A press farther from the centre than half the scale vector turns.
    const Vector3& scale = selectedObject->scale;
    float length = Length(dragVector);
    float scaleLength = std::sqrt(scale.x * scale.x + scale.y * scale.y + scale.z * scale.z);
    rotateDrag = scaleLength < 2 * length ? 1 : 0;
    if (rotateDrag) ArmTurn(length);
}

void ViewerApp::ArmTurn(float length) {
    const Pose& pose = *selectedObject->pose;
    dragParameter = pose.azimuth;
    if (length != 0)
        for (float& component : dragVector) component /= length;
    Vector3 heading, direction(std::cos(pose.elevation) * std::cos(pose.azimuth),
                               std::cos(pose.elevation) * std::sin(pose.azimuth), -std::sin(pose.elevation));
    selectedObject->Aim(heading, direction);
    pickedName = selectedObject->id;
    std::printf("<--");
}

// Where the ray from the eye through the pointer meets the drag plane through
// the pose's position.
bool ViewerApp::PointerOnDragPlane(const Pose& pose, Vector3& out) {
    Vector3 normal(dragPlaneNormal[0], dragPlaneNormal[1], dragPlaneNormal[2]);
    return ScreenToPlane(normal, Vector3(pose.x, pose.y, pose.z), out);
}

void ViewerApp::MouseUp(int button) {
    if (button == 0) buttonDown[0] = false;
    if (button == 1) {
        buttonDown[1] = false;
        if (pickedName == 0) selectedObject = nullptr;
    }
    if (button == 2) buttonDown[2] = false;
    if (!AnyTracking()) idleRunning = false;
}

void ViewerApp::DragSelected() {
    Pose q = *selectedObject->pose;
    Vector3 w;
    if (!PointerOnDragPlane(q, w)) return;
    if (rotateDrag == 0) {
        selectedObject->SetPose(w.x - dragVector[0], w.y - dragVector[1], w.z - dragVector[2], q.azimuth, q.elevation,
                                q.roll);
        return;
    }
    float d[3] = {w.x - q.x, w.y - q.y, w.z - q.z};
    float length = Length(d);
    if (!(length > 1e-8f)) return;
    for (float& component : d) component /= length;
    float c = d[0] * dragVector[0] + d[1] * dragVector[1] + d[2] * dragVector[2];
    if (c > 1 || c < -1) return;
    float angle = std::acos(c);
    // Counter-clockwise seen from +z is positive.
    if (dragVector[0] * d[1] - dragVector[1] * d[0] < 0) angle = -angle;
    selectedObject->SetPose(q.x, q.y, q.z, static_cast<float>(dragParameter + angle), q.elevation, q.roll);
}
