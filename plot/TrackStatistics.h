#pragma once

#include "plot/StationTrack.h"

// How well one station was tracked. Figures that need more writes than the
// track has are NaN.
struct TrackStatistics {
    long samples = 0;      // writes of the station
    double rateHz;         // writes per second, first to last
    double intervalP50Ms;  // between consecutive writes, nearest rank
    double intervalP99Ms;
    double intervalMaxMs;
    long dropouts = 0;         // intervals over twice the median in which the server wrote nothing
    long missed = 0;           // writes of the server the recorder did not see
    double inactiveFraction;   // of the writes, those with the station's active bit clear
    double nonFiniteFraction;  // of the writes, those with a value that is not finite
    double rangeM[3];          // max - min of x, y, z, of the finite positions
    double jitterMm;           // RMS distance from the moving average
    double jitterDeg;          // and of the angles
};

TrackStatistics ComputeStatistics(const StationTrack& track);
