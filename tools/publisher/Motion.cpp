#include "tools/publisher/Motion.h"

#include <cmath>

const MotionName motionNames[3] = {{"still", Motion::Still}, {"orbit", Motion::Orbit}, {"counter", Motion::Counter}};

namespace {

constexpr double twoPi = 6.283185307179586;

// Where each of the first four stations moves, in metres: the viewpoint's
// station drifts slowly, the three box stations circle briskly. Further
// stations repeat the pattern with a different phase.
struct Path {
    double centre[3];
    double radius;
    double period;  // seconds per turn
};

const Path paths[] = {
    {{0.41, -0.40, -0.08}, 0.03, 11.0},
    {{0.65, 0.24, -0.36}, 0.06, 4.0},
    {{0.65, -0.24, -0.36}, 0.07, 5.0},
    {{0.89, 0.0, -0.36}, 0.05, 3.0},
};

// Metres to the unit the flags word announces, so the scene looks the same
// whatever the unit.
double MetresToChannelUnit(uint32_t flags) {
    return 100.0 / station_layout::UnitOfCode(station_layout::UnitCode(flags)).scale;
}

StationRecord PathPose(int station, double seconds, bool moving, double unit) {
    const Path& path = paths[station % 4];
    double angle = moving ? twoPi * seconds / path.period + station * 0.7 : 0.0;
    double radius = moving ? path.radius : 0.0;
    StationRecord pose{};
    pose.x = static_cast<float>((path.centre[0] + radius * std::cos(angle)) * unit);
    pose.y = static_cast<float>((path.centre[1] + radius * std::sin(angle)) * unit);
    pose.z = static_cast<float>((path.centre[2] + 0.3 * radius * std::sin(2.0 * angle)) * unit);
    pose.azimuth = static_cast<float>(0.4 * std::sin(angle));
    pose.elevation = static_cast<float>(0.15 * std::sin(0.5 * angle));
    pose.roll = static_cast<float>(0.1 * std::sin(1.5 * angle));
    return pose;
}

// Every float the same: a record copied half old, half new shows at once.
// Kept below 2^24 so the count stays exact as a float.
StationRecord CounterPose(uint64_t writeCount) {
    float value = static_cast<float>(writeCount % (1u << 24));
    return StationRecord{value, value, value, value, value, value};
}

}  // namespace

StationRecord StationPose(const PublisherOptions& options, int station, uint64_t writeCount, double seconds) {
    if (options.fixedStations & (1u << station)) return options.fixedPoses[station];
    if (options.motion == Motion::Counter) return CounterPose(writeCount);
    return PathPose(station, seconds, options.motion == Motion::Orbit, MetresToChannelUnit(options.flags));
}
