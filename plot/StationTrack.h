#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tracker/StationLayout.h"

// One station's updates through a recording, in the order they were made.
struct StationTrack {
    int instrument = 0;
    int bin = 0;
    int station = 0;
    std::string description;     // the channel's
    uint32_t flags = 0;          // the channel's; the unit code is in there
    std::vector<double> seconds;  // since the recording started, never decreasing
    std::vector<StationRecord> poses;
};

// A recording as the plots and statistics see it: every station's track.
struct TrackRecording {
    std::string name;       // the file's, or "standard input"
    std::string startTime;  // when the recording started, "" when it does not say
    std::string host;       // where it was made, "" when it does not say
    std::vector<StationTrack> tracks;
};

// Which part of a recording to look at.
struct TrackSelection {
    uint32_t bins = ~0u;      // bit n: bin n
    uint32_t stations = ~0u;  // bit n: station n
    double from = 0.0;        // seconds since the start, inclusive
    double to = 1e300;        // inclusive
};

// The selected stations' tracks cut to the selected time; tracks left without
// an update are dropped.
std::vector<StationTrack> SelectTracks(const std::vector<StationTrack>& tracks, const TrackSelection& selection);

// A channel's position unit: its short name and millimetres per unit.
struct PositionUnit {
    const char* name;
    double millimetres;
};
PositionUnit UnitOfTrack(const StationTrack& track);
