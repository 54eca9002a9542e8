#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "tracker/ChannelState.h"

// A recording of tracker channels, as lumivex-monitor writes it and the
// publisher replays it:
//
//   # lumivex recording
//   # channel 0 1 flags 0x0000021F description Simulated tracker
//   time_s,instrument,bin,station,x,y,z,azimuth,elevation,roll
//   0.000000,0,1,0,1.5,0.25,1.8,0.5,0,-0.125
//
// Lines starting with '#' are comments; "# channel I B flags 0xHEX description
// TEXT" declares a channel, TEXT running to the end of the line. After the
// header line, each row sets one station's record of a declared channel at a
// time (seconds since the recording started, never decreasing). Positions are
// in the channel's unit, angles in radians. A trailing CR is ignored.

struct RecordedChannel {
    int instrument;
    int bin;
    uint32_t flags;
    std::string description;
};

struct RecordedRow {
    double seconds;
    int instrument;
    int bin;
    int station;
    StationRecord record;
};

struct Recording {
    std::vector<RecordedChannel> channels;
    std::vector<RecordedRow> rows;
};

// The header line that starts the rows.
extern const char* const recordingHeader;

// Reads a whole recording. False on the first malformed line, with `error`
// naming it ("line 12: ...") and `recording` left as it was.
bool ParseRecording(std::istream& input, Recording& recording, std::string& error);
