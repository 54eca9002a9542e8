#pragma once

#include <cstdint>
#include <vector>

// What the figure traces of a station: x, y, z (m), azimuth, elevation, roll
// (degrees) and the interval since the previous write (ms).
constexpr int seriesCount = 7;
constexpr int intervalSeries = 6;

// Bits of what a write was.
constexpr std::uint8_t inactiveState = 1;   // the channel's flags say the station is not active
constexpr std::uint8_t nonFiniteState = 2;  // a value the server could not give (nan, inf)
constexpr std::uint8_t missedState = 4;     // the server wrote between it and the write before, unseen

// Time between two writes of the station.
struct Silence {
    double from = 0.0;
    double to = 0.0;
    double Length() const { return to - from; }
};

// The writes of a station that fall into one column of time.
struct TrackColumn {
    float low[seriesCount];
    float high[seriesCount];
    std::uint8_t present = 0;       // bit s: series s has a value here
    std::uint8_t brokenBefore = 0;  // bit s: a value of series s that is not finite came just before its first here
    std::uint8_t states = 0;        // of all writes here
    std::uint8_t firstStates = 0;   // of the first
    std::uint8_t lastStates = 0;    // of the last
    bool any = false;
    Silence into;    // from the station's write before this column to the first in it
    Silence inside;  // the longest between two writes in the column
    Silence missed;  // the longest across writes the recorder missed: no silence of the server
};

// One station's traces squeezed into a bounded number of columns while the
// recording is read, whatever its length: when a write falls beyond the last
// column, neighbouring columns are merged in pairs and each column covers
// twice the time. Memory stays that of `capacity` columns at most (only those
// up to the last write are kept, so a short track takes less); choose it a few
// times the pixel columns of the panel, so that resampling onto them later
// moves a write by less than a pixel.
class TrackColumns {
public:
    explicit TrackColumns(int capacity);

    // `values` in the order of the series; one that is not finite is left out
    // and breaks its trace.
    void Add(double seconds, const double (&values)[seriesCount], std::uint8_t states);

    // The columns merged onto `columns` equal columns of [from, to].
    std::vector<TrackColumn> Resample(double from, double to, int columns) const;

private:
    void Widen();

    std::size_t capacity;
    std::vector<TrackColumn> cells;  // up to the last write's
    double origin = 0.0;
    double width = 1e-4;  // seconds per cell
    bool started = false;
    double lastSeconds = 0.0;
    std::uint8_t pendingBreaks = 0;
};

// `a` followed by `b`, as one column.
TrackColumn Merge(const TrackColumn& a, const TrackColumn& b);
