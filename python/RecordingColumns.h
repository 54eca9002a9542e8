#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "channel/ChannelId.h"
#include "recording/RecordedData.h"

// One channel of a recording as columns, an entry per write of its server,
// with gaps left as they are: the write counter shows the writes the
// recorder missed.
struct ChannelColumns {
    ChannelId id;
    std::vector<int> stations;  // the recorded stations, in the order of `poses`
    std::vector<double> seconds;
    std::vector<uint32_t> counters;
    std::vector<uint32_t> stamps;
    std::vector<uint32_t> flags;
    std::vector<float> poses;  // per write, per station: x, y, z, azimuth, elevation, roll
    // Where the description changes: the index of the write it first holds,
    // and the text.
    std::vector<std::size_t> descriptionFrom;
    std::vector<std::string> descriptions;
    // The time of the write beside which the recording says that the server
    // removed the channel, or that its server died holding its mutex.
    std::vector<double> gone;
    std::vector<double> died;
};

// A whole recording in memory, channel by channel in the order of their
// first writes.
struct RecordingColumns {
    RecordingInfo info;
    std::vector<ChannelColumns> channels;
    std::string warning;  // where a file cut short stops being read; empty otherwise
};

// Reads the recording at `path` (either version; plain or gzip) with the
// recording reader; false with the reader's message in `error`.
bool ReadRecordingColumns(const std::string& path, RecordingColumns& recording, std::string& error);
