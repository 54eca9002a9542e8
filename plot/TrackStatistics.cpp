#include "plot/TrackStatistics.h"

#include <limits>

namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();

void AddIntervals(const StationTrack& track, TrackStatistics& statistics) {
    const IntervalCounts& intervals = track.Intervals();
    if (intervals.Count() == 0) return;
    statistics.intervalP50Ms = intervals.Percentile(0.5) / 1000.0;
    statistics.intervalP99Ms = intervals.Percentile(0.99) / 1000.0;
    statistics.intervalMaxMs = intervals.Longest() / 1000.0;
    statistics.dropouts = static_cast<long>(intervals.SilencesAbove(track.DropoutLimitMicros()));
    double span = track.LastSeconds() - track.FirstSeconds();
    if (span > 0.0) statistics.rateHz = (track.Writes() - 1) / span;
}

}  // namespace

TrackStatistics ComputeStatistics(const StationTrack& track) {
    TrackStatistics statistics{};
    statistics.samples = track.Writes();
    statistics.rateHz = statistics.intervalP50Ms = statistics.intervalP99Ms = statistics.intervalMaxMs = none;
    statistics.missed = static_cast<long>(track.MissedWrites());
    statistics.inactiveFraction =
        track.Writes() > 0 ? static_cast<double>(track.InactiveWrites()) / track.Writes() : none;
    statistics.nonFiniteFraction =
        track.Writes() > 0 ? static_cast<double>(track.NonFiniteWrites()) / track.Writes() : none;
    for (int axis = 0; axis < 3; ++axis) statistics.rangeM[axis] = track.Highest(axis) - track.Lowest(axis);
    AddIntervals(track, statistics);
    JitterSums::Jitter jitter = track.Jitter().Within(track.DropoutLimitMicros());
    statistics.jitterMm = jitter.millimetres;
    statistics.jitterDeg = jitter.degrees;
    return statistics;
}
