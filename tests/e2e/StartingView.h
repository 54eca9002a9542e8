#pragma once

#include <cmath>

#include "tests/e2e/Screenshot.h"

namespace e2e {

struct Point3 {
    double x, y, z;
};

// Where a world point appears in the 640 x 480 window as the viewer first
// shows it: eye (-6, -10, 8) looking at (0, 0, 1) with z up, 35 degrees of
// vertical field of view. The same perspective that gluLookAt and
// gluPerspective build, worked out here independently.
Pixel WindowPixel(const Point3& world);

// The point `radius` away from `centre` on the horizontal plane through it,
// in the direction `angle` (radians, counter-clockwise from +x seen from
// above).
Point3 AroundCentre(const Point3& centre, double radius, double angle);

// The horizontal direction from the eye towards the red box (the camera's
// x-y offset to it is (6, 4)): a point that lies this way from the box's
// centre is seen behind it, through its top face.
inline const double AwayFromEye = std::atan2(4.0, 6.0);

// A press whose ray meets the plane of a box's centre more than about 0.866
// from it turns the box. 1.6 that way away from the eye still crosses the top
// face (up to about 2.3 would), so the press hits the box.
const double TurnGrip = 1.6;

// Well-known places of the starting scene. The boxes are cubes of
// half-extent 1 whose centres stand at z = 1.
const Point3 RedBoxCentre{0, -6, 1};
// A place on the floor well away from every box, wherever a test drags the
// red box to.
const Point3 OpenFloor{-3, 1, 0};

}  // namespace e2e
