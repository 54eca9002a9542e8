#pragma once

#include "plot/StationTrack.h"

// How well one station was tracked. Figures that need more updates than the
// track has are NaN.
struct TrackStatistics {
    long samples = 0;
    double rateHz;                 // updates per second, first to last
    double intervalP50Ms;          // between consecutive updates
    double intervalP99Ms;
    double intervalMaxMs;
    long dropouts = 0;             // intervals longer than twice the median
    double range[3];               // max - min of x, y, z, in the channel's unit, of the finite positions
    double jitter;                 // RMS distance from the moving average, in the channel's unit,
                                   // over the windows without a dropout or a position that is not finite
    double jitterMm;
};

// Updates in the moving average that jitter is measured against, centred on
// the update it judges.
constexpr int jitterWindow = 5;

TrackStatistics ComputeStatistics(const StationTrack& track);
