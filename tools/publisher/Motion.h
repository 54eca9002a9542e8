#pragma once

#include <cstdint>

#include "tools/publisher/PublisherOptions.h"

// The motions by the names --motion takes.
struct MotionName {
    const char* name;
    Motion motion;
};
extern const MotionName motionNames[3];

// The pose the publisher writes for `station` on write number `writeCount`,
// `seconds` after it started, in the unit of the flags word.
StationRecord StationPose(const PublisherOptions& options, int station, uint64_t writeCount, double seconds);
