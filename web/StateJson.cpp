#include "web/StateJson.h"

#include <chrono>

#include "channel/StationLayout.h"
#include "text/NumberList.h"
#include "web/JsonText.h"

namespace {

using json_text::Number;
using json_text::String;

double Micros(MonitorClock::time_point when) {
    return std::chrono::duration<double, std::micro>(when.time_since_epoch()).count();
}

double Millis(MonitorClock::duration span) { return std::chrono::duration<double, std::milli>(span).count(); }

// Rates and ages not known yet are null, as the monitor shows "-".
std::string Rate(double hz) { return hz < 0.0 ? "null" : Number(hz, 1); }

std::string Station(const ChannelWatch& channel, const StationWatch& station, MonitorClock::time_point now) {
    const StationRecord& p = station.pose;
    bool known = station.seen && station.changeKnown && !station.stampStale;
    std::string pose;
    for (float value : {p.x, p.y, p.z, p.azimuth, p.elevation, p.roll})
        pose += (pose.empty() ? "" : ",") + Number(value, 5);
    return "{\"n\":" + std::to_string(station.station) + ",\"pose\":[" + pose + "],\"active\":" +
           (station_layout::StationKnownInactive(channel.state.flags, station.station) ? "false" : "true") +
           ",\"hz\":" + Rate(channel.StationHz(station)) +
           ",\"ageMs\":" + (known ? Number(Millis(now - station.lastChange), 1) : "null") +
           ",\"written\":" + (known ? Number(Micros(station.lastChange), 0) : "null") + "}";
}

// The age of a channel is that of its newest change.
std::string ChannelAge(const ChannelWatch& channel, MonitorClock::time_point now) {
    bool any = false;
    MonitorClock::time_point newest{};
    for (const StationWatch& station : channel.stations)
        if (station.seen && station.changeKnown && !station.stampStale && (!any || station.lastChange > newest)) {
            newest = station.lastChange;
            any = true;
        }
    return any ? Number(Millis(now - newest), 1) : "null";
}

std::string Stations(const ChannelWatch& channel, MonitorClock::time_point now) {
    std::string list;
    for (const StationWatch& station : channel.stations)
        list += (list.empty() ? "" : ",") + Station(channel, station, now);
    return "[" + list + "]";
}

std::string Channel(const ChannelWatch& channel, MonitorClock::time_point now) {
    uint32_t flags = channel.state.flags;
    station_layout::ChannelUnit unit = station_layout::UnitOfCode(station_layout::UnitCode(flags));
    return "{\"bin\":" + std::to_string(channel.bin) + ",\"status\":" + String(ChannelStatus(channel, now)) +
           ",\"description\":" + String(channel.state.description) + ",\"unit\":" + String(unit.label) +
           ",\"toMetres\":" + Number(unit.scale / 100.0, 4) + ",\"flags\":" + std::to_string(flags) +
           ",\"active\":" + String(DescribeNumberList(flags & station_layout::stationActiveBits)) +
           ",\"rateHz\":" + Rate(channel.state.writeCount != 0 ? channel.writeRate.Hz() : -1.0) +
           ",\"ageMs\":" + ChannelAge(channel, now) + ",\"missed\":" + std::to_string(channel.missedWrites) +
           ",\"writerDeaths\":" + std::to_string(channel.writerDeaths) + ",\"stations\":" + Stations(channel, now) +
           "}";
}

}  // namespace

// A single read that waited too long says nothing: a server preempted
// mid-write holds its mutex for a frame or two on a busy machine.
std::string ChannelStatus(const ChannelWatch& channel, MonitorClock::time_point now) {
    if (channel.refused) return "refused";
    if (!channel.published) return "not read";
    if (channel.gone) return "gone";
    if (channel.readable || now - channel.lastRead < ChannelNotices::heldBound) return "live";
    return channel.writerDeaths > 0 ? "dead writer" : "held";
}

std::string StateJson(const ChannelMonitor& monitor, MonitorClock::time_point now) {
    std::string channels;
    for (const ChannelWatch& channel : monitor.Channels())
        if (channel.published || !channel.trouble.empty())
            channels += (channels.empty() ? "" : ",") + Channel(channel, now);
    return "{\"now\":" + Number(Micros(now), 0) + ",\"instrument\":" + std::to_string(monitor.Instrument()) +
           ",\"channels\":[" + channels + "]}";
}
