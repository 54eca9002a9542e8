#include "framework/GraphicsApp.h"

#include "scene/CompositeShapes.h"
#include "scene/PrimitiveShapes.h"

#include <new>

namespace {

std::unique_ptr<Shape> MakeSpeaker(Vector3 size, float d0, float d1, float d2) {
    std::unique_ptr<SpeakerShape> speaker(new (std::nothrow) SpeakerShape(size, d0, d1, d2));
    if (speaker) speaker->rearAngle = 1.0f;
    return speaker;
}

template <class ShapeClass>
std::unique_ptr<Shape> Make(Vector3 size, float d0, float d1, float d2) {
    return std::unique_ptr<Shape>(new (std::nothrow) ShapeClass(size, d0, d1, d2));
}

}  // namespace

void GraphicsApp::BuildShapes() {
    struct Prototype {
        std::unique_ptr<Shape> GraphicsApp::*field;
        std::unique_ptr<Shape> (*make)(Vector3, float, float, float);
        Vector3 size;
        float divisions[3];
    };
    // In the order they are built.
    static const Prototype prototypes[] = {
        {&GraphicsApp::gridShape, Make<GridShape>, {1.0f, 1.0f, 1.0f}, {10, 10, 10}},
        {&GraphicsApp::headShape, Make<HeadShape>, {1.4f, 1.0f, 1.8f}, {6, 8, 1}},
        {&GraphicsApp::sphereShape, Make<SphereShape>, {0.5f, 0, 0}, {14, 7, 0}},
        {&GraphicsApp::speakerShape, MakeSpeaker, {0.4f, 1.0f, 1.2f}, {25, 4, 40}},
        {&GraphicsApp::plateShape, Make<BoxShape>, {0.1f, 1.0f, 1.0f}, {1, 1, 1}},
        {&GraphicsApp::boltShape, Make<BoltShape>, {0.5f, 0, 0}, {14, 7, 0}},
        {&GraphicsApp::starShape, Make<StarShape>, {0.5f, 0, 0}, {14, 7, 0}},
        {&GraphicsApp::cassetteShape, Make<CassetteShape>, {0.5f, 2.0f, 1.0f}, {14, 7, 0}},
    };
    ReleaseShapes();
    for (const Prototype& p : prototypes) {
        std::unique_ptr<Shape>& shape = this->*p.field;
        shape = p.make(p.size, p.divisions[0], p.divisions[1], p.divisions[2]);
        if (shape) shape->CompileList(false);
    }
}

// In this order, so that the display lists freed are those the next shapes
// built are given again.
void GraphicsApp::ReleaseShapes() {
    std::unique_ptr<Shape>* fields[] = {&headShape, &sphereShape, &speakerShape, &plateShape,
                                        &gridShape, &starShape,   &boltShape,    &cassetteShape};
    // Deleting a shape deletes its display list.
    for (std::unique_ptr<Shape>* field : fields) field->reset();
}
