#pragma once

#include <string>
#include <vector>

#include "plot/StationTrack.h"

// A recording as the plots and statistics see it: every selected station's track.
struct TrackRecording {
    std::string name;                  // the file's, or "standard input"
    std::string startTime;             // when the recording started, "" when it does not say
    std::string host;                  // where it was made, "" when it does not say
    std::vector<StationTrack> tracks;  // by instrument, bin and station
};

// Different interval lengths kept over all tracks, at most; see StationTrack.
constexpr std::size_t intervalLengthLimit = 200000;

// Columns a track keeps when only its statistics are wanted: the fewest.
constexpr int statisticsColumnCapacity = 2;

// Reads the recording at `path` (either version; plain, gzip, or "-" for
// standard input) write by write into a track per selected station that was
// written, each with `columnCapacity` columns. False, with `error` as the
// reader gives it ("NAME:LINE: what is wrong"), or naming the limit above. A
// file cut short is read up to its last whole write, and `warning` says where
// it stops.
bool ReadTrackRecording(const std::string& path, const TrackSelection& selection, int columnCapacity,
                        TrackRecording& recording, std::string& error, std::string& warning);
