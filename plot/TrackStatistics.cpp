#include "plot/TrackStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();
constexpr double dropoutFactor = 2.0;

std::vector<double> IntervalsMs(const std::vector<double>& seconds) {
    std::vector<double> intervals;
    for (std::size_t i = 1; i < seconds.size(); ++i) intervals.push_back((seconds[i] - seconds[i - 1]) * 1000.0);
    return intervals;
}

// Nearest rank: the smallest value with at least `fraction` of all at or below it.
double Percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return none;
    std::size_t rank = static_cast<std::size_t>(std::ceil(fraction * sorted.size()));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

// Whether the interval before each update is a dropout; the first update has none.
std::vector<bool> DropoutsBefore(const std::vector<double>& seconds, double limitMs) {
    std::vector<bool> dropouts(seconds.size(), false);
    for (std::size_t i = 1; i < seconds.size(); ++i) dropouts[i] = (seconds[i] - seconds[i - 1]) * 1000.0 > limitMs;
    return dropouts;
}

std::vector<bool> AddIntervals(const StationTrack& track, TrackStatistics& statistics) {
    std::vector<double> intervals = IntervalsMs(track.seconds);
    std::sort(intervals.begin(), intervals.end());
    statistics.intervalP50Ms = Percentile(intervals, 0.5);
    statistics.intervalP99Ms = Percentile(intervals, 0.99);
    statistics.intervalMaxMs = intervals.empty() ? none : intervals.back();
    std::vector<bool> dropouts = DropoutsBefore(track.seconds, dropoutFactor * statistics.intervalP50Ms);
    statistics.dropouts = std::count(dropouts.begin(), dropouts.end(), true);
    double span = track.seconds.back() - track.seconds.front();
    statistics.rateHz = span > 0.0 ? (track.seconds.size() - 1) / span : none;
    return dropouts;
}

double Axis(const StationRecord& pose, int axis) { return axis == 0 ? pose.x : axis == 1 ? pose.y : pose.z; }

bool FinitePosition(const StationRecord& pose) {
    return std::isfinite(pose.x) && std::isfinite(pose.y) && std::isfinite(pose.z);
}

void AddRanges(const StationTrack& track, TrackStatistics& statistics) {
    for (int axis = 0; axis < 3; ++axis) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (const StationRecord& pose : track.poses)
            if (FinitePosition(pose)) low = std::min(low, Axis(pose, axis)), high = std::max(high, Axis(pose, axis));
        statistics.range[axis] = low <= high ? high - low : none;
    }
}

// Whether the window centred on update `i` may judge jitter: no dropout
// inside it, and no position the server could not give.
bool Judges(const StationTrack& track, const std::vector<bool>& dropouts, std::size_t i) {
    const std::size_t half = jitterWindow / 2;
    for (std::size_t j = i - half; j <= i + half; ++j)
        if (!FinitePosition(track.poses[j]) || (j > i - half && dropouts[j])) return false;
    return true;
}

// Squared distance of update `i` from the mean of the window centred on it.
double SquaredDeviation(const std::vector<StationRecord>& poses, std::size_t i) {
    const std::size_t half = jitterWindow / 2;
    double squared = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        double sum = 0.0;
        for (std::size_t j = i - half; j <= i + half; ++j) sum += Axis(poses[j], axis);
        double deviation = Axis(poses[i], axis) - sum / jitterWindow;
        squared += deviation * deviation;
    }
    return squared;
}

// A window across a dropout would count the movement during the dropout as
// jitter; such windows are left out.
void AddJitter(const StationTrack& track, const std::vector<bool>& dropouts, TrackStatistics& statistics) {
    const std::size_t half = jitterWindow / 2;
    double sum = 0.0;
    long windows = 0;
    for (std::size_t i = half; i + half < track.poses.size(); ++i) {
        if (!Judges(track, dropouts, i)) continue;
        sum += SquaredDeviation(track.poses, i);
        ++windows;
    }
    if (windows == 0) return;
    statistics.jitter = std::sqrt(sum / windows);
    statistics.jitterMm = statistics.jitter * UnitOfTrack(track).millimetres;
}

}  // namespace

TrackStatistics ComputeStatistics(const StationTrack& track) {
    TrackStatistics statistics{};
    statistics.samples = static_cast<long>(track.seconds.size());
    statistics.rateHz = statistics.intervalP50Ms = statistics.intervalP99Ms = statistics.intervalMaxMs = none;
    statistics.jitter = statistics.jitterMm = none;
    std::fill(std::begin(statistics.range), std::end(statistics.range), none);
    if (track.seconds.empty()) return statistics;
    std::vector<bool> dropouts = AddIntervals(track, statistics);
    AddRanges(track, statistics);
    AddJitter(track, dropouts, statistics);
    return statistics;
}
