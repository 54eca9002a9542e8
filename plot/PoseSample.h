#pragma once

#include <cmath>
#include <cstdint>

// One write of one station as the figures and statistics take it: the
// position in metres, converted with the unit of that very write (a server
// may change its unit during a recording), the angles in degrees.
struct PoseSample {
    double seconds = 0.0;
    double position[3] = {0.0, 0.0, 0.0};  // x, y, z
    double angles[3] = {0.0, 0.0, 0.0};    // azimuth, elevation, roll
    bool active = true;
    std::uint32_t writeCount = 0;  // the server's write counter; 0: not recorded
    bool afterRemoval = false;     // the server removed the channel since the station's write before
};

inline bool FinitePose(const PoseSample& sample) {
    for (int axis = 0; axis < 3; ++axis)
        if (!std::isfinite(sample.position[axis]) || !std::isfinite(sample.angles[axis])) return false;
    return true;
}
