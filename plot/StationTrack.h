#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recording/IntervalCounts.h"
#include "plot/JitterSums.h"
#include "plot/PoseSample.h"
#include "plot/TrackColumns.h"

// Which station a track follows.
struct StationName {
    int instrument = 0;
    int bin = 0;
    int station = 0;
    std::string description;  // the channel's, at the station's first write
};

// One station through a recording, reduced write by write to what its figure
// and statistics need: memory does not grow with the number of writes, only
// with the number of different intervals between them.
class StationTrack {
public:
    StationTrack(StationName name, int columnCapacity);

    void Add(const PoseSample& sample);
    // The channel's description changed to `description` (a renamed channel).
    void Rename(const std::string& description);

    const StationName& Name() const { return name; }
    // The channel's description at the station's last write when the channel
    // was renamed since its first, else empty.
    const std::string& LastDescription() const { return lastDescription; }
    long Writes() const { return writes; }
    long InactiveWrites() const { return inactive; }
    long NonFiniteWrites() const { return nonFinite; }
    // Writes of the server between two of the recording, from its write
    // counter: its steps beyond one, unless the step is a restart (it goes
    // back, jumps by more writes than microseconds passed, or the channel was
    // removed in between), which counts none.
    std::uint64_t MissedWrites() const { return missed; }
    double FirstSeconds() const { return first.seconds; }
    double LastSeconds() const { return last.seconds; }
    // Of each axis's finite values, in metres; NaN without one.
    double Lowest(int axis) const;
    double Highest(int axis) const;
    double Mean(int axis) const;

    const IntervalCounts& Intervals() const { return intervals; }
    const JitterSums& Jitter() const { return jitter; }
    const TrackColumns& Columns() const { return columns; }
    // Intervals longer than this (twice the median) in which the server wrote
    // nothing are dropouts; the figure shades them as silence.
    std::uint64_t DropoutLimitMicros() const;
    // Different interval lengths kept, which is what the track's memory grows
    // with (the jitter's sums are kept per length too, so at most as many).
    std::size_t Lengths() const { return intervals.Lengths(); }

private:
    struct CounterStep {
        std::uint64_t missed = 0;
        bool restarted = false;
    };
    CounterStep Step(const PoseSample& sample, std::uint64_t intervalMicros) const;
    void AddPosition(const PoseSample& sample);
    double Unwrapped(int angle, double degrees);

    StationName name;
    std::string lastDescription;
    long writes = 0;
    long inactive = 0;
    long nonFinite = 0;
    std::uint64_t missed = 0;
    PoseSample first;
    PoseSample last;
    long finitePositions[3] = {0, 0, 0};  // per axis
    double low[3], high[3], sum[3];
    double unwrapped[3];  // the angles' traces so far, in degrees
    IntervalCounts intervals;
    JitterSums jitter;
    TrackColumns columns;
};

// Which part of a recording to look at.
struct TrackSelection {
    uint32_t bins = ~0u;      // bit n: bin n
    uint32_t stations = ~0u;  // bit n: station n
    double from = 0.0;        // seconds since the start, inclusive
    double to = 1e300;        // inclusive
};

bool Selects(const TrackSelection& selection, int bin, int station, double seconds);
