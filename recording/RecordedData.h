#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "channel/ChannelState.h"

// What a recording holds, as its reader hands it out and its writer takes it.
// The text format itself is described in recording/RecordingSyntax.h.

// The metadata block of a version 2 recording; a version 1 file leaves all
// but `version` empty or 0.
struct RecordingInfo {
    int version = 2;
    std::string start;  // when the recorder started, wall-clock, ISO 8601 UTC ("2026-12-08T01:12:14.123Z")
    std::string host;
    std::string prefix;     // LUMIVEX_SHM_PREFIX of the recorder
    int instrument = -1;    // the recorded instrument; -1 when not known
    uint32_t bins = 0;      // bit b: bin b was selected
    uint32_t stations = 0;  // bit k: station k is in every write
    std::string program;    // "lumivex-monitor 0.3.0"
};

// A channel's flags word and description from one moment of the recording on.
struct RecordedChannel {
    int instrument = 0;
    int bin = 0;
    uint32_t flags = 0;
    std::string description;
};

struct RecordedStation {
    int station = 0;
    StationRecord record{};
};

// One write of the server: the records of the recorded stations as it left
// them, with the channel's flags and description at that moment.
struct RecordedWrite {
    double seconds = 0.0;      // since the first write of the recording
    uint32_t writeCount = 0;   // the server's write counter (0: not kept, or a version 1 file)
    uint32_t stampMicros = 0;  // the server's time stamp (0: not kept, or a version 1 file)
    RecordedChannel channel;
    bool channelChanged = false;  // the first write of the channel, or its flags or description changed
    bool stampsBack = false;      // its stamp was earlier than the channel's write before: timed by the recorder
    std::vector<RecordedStation> stations;
};
