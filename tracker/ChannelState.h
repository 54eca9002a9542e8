#pragma once

#include <cstdint>
#include <string>

#include "tracker/StationLayout.h"

// Everything a channel holds, as a server writes it and as a reader copies it
// out under the mutex. Besides the flags word, the header carries our
// publisher's liveness convention: a write counter and the low 32 bits of a
// monotonic clock in microseconds at the write. Other servers may leave both 0.
struct ChannelState {
    uint32_t writeCount = 0;
    uint32_t flags = 0;
    uint32_t timestampMicros = 0;
    StationRecord records[station_layout::stationCount] = {};
    std::string description;
};

namespace station_layout {

constexpr std::size_t writeCountOffset = 0;
constexpr std::size_t timestampOffset = 8;
// Room our servers give a region: the description and its NUL fit behind the records.
constexpr std::size_t publishedRegionSize = 4096;
constexpr std::size_t maxDescriptionLength = publishedRegionSize - descriptionOffset - 1;

}  // namespace station_layout
