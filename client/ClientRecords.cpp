#include "client/ClientRecords.h"

#include <algorithm>
#include <bitset>
#include <cstring>

static_assert(sizeof(lumivex_pose) == sizeof(StationRecord), "a pose is a station record");
static_assert(LUMIVEX_STATIONS == station_layout::stationCount, "every station of a channel");
static_assert(LUMIVEX_DESCRIPTION_CAPACITY == station_layout::maxDescriptionLength + 1,
              "the longest description a published region holds, and its NUL");

lumivex_state StateRecord(const ChannelState& state) {
    lumivex_state record{};
    record.write_count = state.writeCount;
    record.stamp_us = state.timestampMicros;
    record.flags = state.flags;
    std::memcpy(record.stations, state.records, sizeof record.stations);
    return record;
}

lumivex_channel_info InfoRecord(ChannelId id, const ChannelState& state) {
    using namespace station_layout;
    lumivex_channel_info info{};
    info.instrument = id.instrument;
    info.bin = id.bin;
    info.flags = state.flags;
    info.active_stations = state.flags & stationActiveBits;
    info.active_count = static_cast<int32_t>(std::bitset<4>(info.active_stations).count());
    info.unit = static_cast<int32_t>(std::min(UnitCode(state.flags), unitMetres));
    ChannelUnit unit = UnitOfCode(UnitCode(state.flags));
    info.unit_scale = unit.scale;
    std::strncpy(info.unit_label, unit.label, sizeof info.unit_label - 1);
    std::size_t length = std::min(state.description.size(), sizeof info.description - 1);
    std::memcpy(info.description, state.description.data(), length);
    return info;
}
