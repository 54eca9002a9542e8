#pragma once

#include <cstdint>
#include <string>

#include "channel/StationLayout.h"

// Everything a channel holds, as a server writes it and as a reader copies it
// out under the mutex (the header's words are described with the layout).
struct ChannelState {
    uint32_t writeCount = 0;
    uint32_t flags = 0;
    uint32_t timestampMicros = 0;
    StationRecord records[station_layout::stationCount] = {};
    std::string description;
};
