#pragma once

#include "channel/StationLayout.h"

// A channel of a tracking server: an instrument and one of its bins, each
// 0..highest, with the one key that numbers every channel of every
// instrument (instrument * count + bin), and the range of stations.
struct ChannelId {
    static constexpr int count = 16;  // instruments, and bins of an instrument
    static constexpr int highest = count - 1;
    static constexpr int keys = count * count;
    static constexpr int highestStation = station_layout::stationCount - 1;

    int instrument = 0;
    int bin = 0;

    static constexpr bool InRange(int number) { return number >= 0 && number <= highest; }
    static constexpr ChannelId OfKey(int key) { return {key / count, key % count}; }
    constexpr int Key() const { return instrument * count + bin; }
};
