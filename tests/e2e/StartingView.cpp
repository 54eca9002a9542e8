#include "tests/e2e/StartingView.h"

#include <cmath>

namespace e2e {
namespace {

const Point3 Eye{-6, -10, 8};
const Point3 Centre{0, 0, 1};
const Point3 Up{0, 0, 1};
const double FieldOfViewDegrees = 35.0;
const double Pi = 3.14159265358979323846;

Point3 Minus(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point3 Cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Point3 Unit(const Point3& a) {
    double length = std::sqrt(Dot(a, a));
    return {a.x / length, a.y / length, a.z / length};
}

}  // namespace

Pixel WindowPixel(const Point3& world) {
    const Point3 forward = Unit(Minus(Centre, Eye));
    const Point3 side = Unit(Cross(forward, Up));
    const Point3 up = Cross(side, forward);
    const Point3 d = Minus(world, Eye);
    const double depth = Dot(d, forward);
    const double focal = 1.0 / std::tan(FieldOfViewDegrees * Pi / 360.0);
    const double aspect = double(Screenshot::Width) / Screenshot::Height;
    const double ndcX = focal / aspect * Dot(d, side) / depth;
    const double ndcY = focal * Dot(d, up) / depth;
    return {static_cast<int>(std::lround((ndcX + 1) / 2 * Screenshot::Width)),
            static_cast<int>(std::lround(Screenshot::Height - (ndcY + 1) / 2 * Screenshot::Height))};
}

Point3 AroundCentre(const Point3& centre, double radius, double angle) {
    return {centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle), centre.z};
}

}  // namespace e2e
