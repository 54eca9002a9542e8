#pragma once

#include <cstdint>
#include <string>

#include "channel/StationLayout.h"

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

// The write sequence, in bytes the layout leaves to the server (780..1316).
// It lets a reader that may not lock the mutex (another user, with read
// access only) copy a consistent image without writing a byte: our servers
// make the word odd before they change anything and even again after, always
// under the mutex; a reader reads it, copies, reads it again, and keeps the
// copy only when both reads agree on an even value. The mark, stored last
// with the first content, says that the server keeps the word; a region
// without it can only be read under the mutex. The writer's process id is
// there for messages only.
constexpr std::size_t sequenceMarkOffset = 780;
constexpr std::size_t sequenceOffset = 784;
constexpr std::size_t writerProcessOffset = 788;
constexpr uint32_t sequenceMark = 0x5358564Cu;  // bytes "LVXS"

}  // namespace station_layout
