#include "plot/StationTrack.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();
// Write counters are 32 bits and wrap; one that goes back (a server that
// started again) says nothing about missed writes.
constexpr std::uint32_t restartedCounter = 1u << 31;

// Recordings keep whole microseconds, so the difference of two times is
// rounded to the nearest, not cut, against the error of the doubles; a longer interval than this (some
// 290,000 years) is as good as endless.
std::uint64_t IntervalMicros(double from, double to) {
    return static_cast<std::uint64_t>(std::llround(std::min((to - from) * 1e6, 9e18)));
}

bool Selected(uint32_t mask, int number) { return number >= 0 && number < 32 && (mask >> number & 1u) != 0; }

}  // namespace

StationTrack::StationTrack(StationName name, int columnCapacity) : name(std::move(name)), columns(columnCapacity) {
    std::fill(std::begin(low), std::end(low), std::numeric_limits<double>::infinity());
    std::fill(std::begin(high), std::end(high), -std::numeric_limits<double>::infinity());
    std::fill(std::begin(sum), std::end(sum), 0.0);
    std::fill(std::begin(unwrapped), std::end(unwrapped), none);
}

// More writes than microseconds passed is no server's pace: such a jump, like
// a counter that goes back, is a counter that started again; so is any step
// across the channel's removal.
StationTrack::CounterStep StationTrack::Step(const PoseSample& sample, std::uint64_t intervalMicros) const {
    if (writes > 0 && sample.afterRemoval) return {0, true};
    if (writes == 0 || sample.writeCount == 0 || last.writeCount == 0) return {};
    const std::uint32_t step = sample.writeCount - last.writeCount;
    if (step >= restartedCounter || (step > 1 && step - 1u > intervalMicros)) return {0, true};
    return {step > 1 ? step - 1u : 0u, false};
}

void StationTrack::Add(const PoseSample& sample) {
    std::uint64_t interval = JitterSums::barrier;
    if (writes > 0) interval = IntervalMicros(last.seconds, sample.seconds);
    const CounterStep step = Step(sample, interval);
    if (writes > 0) intervals.Add(interval, step.missed > 0);
    const bool finite = FinitePose(sample);
    const std::uint8_t states =
        (sample.active ? 0 : inactiveState) | (finite ? 0 : nonFiniteState) | (step.missed > 0 ? missedState : 0);
    const double values[seriesCount] = {sample.position[0],
                                        sample.position[1],
                                        sample.position[2],
                                        Unwrapped(0, sample.angles[0]),
                                        Unwrapped(1, sample.angles[1]),
                                        Unwrapped(2, sample.angles[2]),
                                        writes > 0 ? interval / 1000.0 : none};
    columns.Add(sample.seconds, values, states);
    jitter.Add(sample, step.missed > 0 || step.restarted ? JitterSums::barrier : interval);
    AddPosition(sample);
    if (writes == 0) first = sample;
    last = sample;
    ++writes;
    missed += step.missed;
    inactive += !sample.active;
    nonFinite += !finite;
}

// The trace of an angle goes on across ±180°: each finite value is taken
// the shortest way from the one before.
double StationTrack::Unwrapped(int angle, double degrees) {
    if (!std::isfinite(degrees)) return degrees;
    double& turned = unwrapped[angle];
    const double turn = degrees - turned;  // remainder() is costly, and rarely needed
    turned = !std::isfinite(turned)     ? degrees
             : std::fabs(turn) <= 180.0 ? degrees
                                        : turned + std::remainder(turn, 360.0);
    return turned;
}

void StationTrack::Rename(const std::string& description) {
    lastDescription = description == name.description ? std::string() : description;
}

// Each axis over its own finite values: one axis lost does not hide the others.
void StationTrack::AddPosition(const PoseSample& sample) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!std::isfinite(sample.position[axis])) continue;
        ++finitePositions[axis];
        low[axis] = std::min(low[axis], sample.position[axis]);
        high[axis] = std::max(high[axis], sample.position[axis]);
        sum[axis] += sample.position[axis];
    }
}

double StationTrack::Lowest(int axis) const { return finitePositions[axis] > 0 ? low[axis] : none; }
double StationTrack::Highest(int axis) const { return finitePositions[axis] > 0 ? high[axis] : none; }
double StationTrack::Mean(int axis) const {
    return finitePositions[axis] > 0 ? sum[axis] / finitePositions[axis] : none;
}

std::uint64_t StationTrack::DropoutLimitMicros() const {
    if (intervals.Count() == 0) return JitterSums::barrier;
    return 2 * intervals.Percentile(0.5);
}

bool Selects(const TrackSelection& selection, int bin, int station, double seconds) {
    return Selected(selection.bins, bin) && Selected(selection.stations, station) && seconds >= selection.from &&
           seconds <= selection.to;
}
