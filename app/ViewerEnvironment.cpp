#include "app/ViewerApp.h"

#include "scene/Colour.h"
#include "scene/PrimitiveShapes.h"
#include "scene/SceneObject.h"

#include <GL/gl.h>

#include <cstdio>
#include <new>

namespace {

struct BoxPlacement {
    const Colour* colour;
    float x, y;
    int trackingId;
};

// Three boxes standing on the floor around the origin, six units out.
const BoxPlacement Boxes[] = {
    {&Blue, 0, 6, 2},
    {&Red, 0, -6, 3},
    {&Green, 6, 0, 4},
};

}  // namespace

void ViewerApp::BuildEnvironment() {
    // Deleting the shape deletes its display list.
    gridShape.reset();
    gridShape.reset(new (std::nothrow) GridShape(Vector3(2, 2, 2), 20, 20, 20));
    // Without a window there is no GL context to compile into.
    if (gridShape && windowCreated) gridShape->CompileList(false);
    SceneObject* floor = &builtObjects.emplace_back(gridShape.get(), Vector3(10, 10, 5), Grey);
    fixtures.Append(floor);
    std::printf("\n\tBuilding default environment ...");
    if (!boxShape) {
        boxShape = std::make_unique<Shape>(Vector3(1, 1, 1), 1, 1, 1);
        if (windowCreated) boxShape->CompileList(false);
    }
    for (const BoxPlacement& placement : Boxes) {
        SceneObject& object = builtObjects.emplace_back(boxShape.get(), Vector3(1, 1, 1), *placement.colour);
        object.pose = &builtPoses.emplace_back(Pose{placement.x, placement.y, 1, 0, 0, 0});
        object.trackingId = placement.trackingId;
        objects.Append(&object);
    }
}
