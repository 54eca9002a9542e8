#include "tools/monitor/MonitorView.h"

#include <cstdio>

#include "tracker/ConsoleText.h"
#include "tracker/StationLayout.h"

namespace {

constexpr double degreesPerRadian = 57.29577951308232;

const char* const stationHeading =
    "  station            x          y          z    az deg    el deg  roll deg  state      rate Hz   age ms\n";

template <typename... Values>
std::string Printed(const char* format, Values... values) {
    char text[512];
    int length = std::snprintf(text, sizeof text, format, values...);
    return std::string(text, length < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(length), sizeof text - 1));
}

double Seconds(MonitorClock::duration span) { return std::chrono::duration<double>(span).count(); }

std::string FormatLabels(uint32_t flags) {
    static const struct { uint32_t bit; const char* label; } formats[] = {
        {station_layout::formatCartesian, " CART"}, {station_layout::formatEuler, " EULR"}, {station_layout::formatQuaternion, " QUAT"}};
    std::string labels;
    for (const auto& format : formats)
        if (flags & format.bit) labels += format.label;
    return labels.empty() ? " no format" : labels;
}

std::string Rate(double hz) { return hz < 0.0 ? "-" : Printed("%.1f", hz); }

std::string Age(const StationWatch& station, MonitorClock::time_point now) {
    return station.changeKnown ? Printed("%.0f", 1000.0 * Seconds(now - station.lastChange)) : "-";
}

bool Active(const ChannelWatch& channel, const StationWatch& station) {
    return station.station < 4 && (channel.state.flags >> station.station & 1u);
}

}  // namespace

std::string FormatChannel(int instrument, const ChannelWatch& channel) {
    std::string name = Printed("channel (%d,%d)", instrument, channel.bin);
    if (!channel.published) return name + " not published";
    uint32_t flags = channel.state.flags;
    return name + Printed(" flags 0x%08X active %s", flags, DescribeNumberList(flags & station_layout::stationActiveBits).c_str()) +
           FormatLabels(flags) + " " + station_layout::UnitOfCode(station_layout::UnitCode(flags)).label + " \"" +
           ConsoleText(channel.state.description) + "\"" + (channel.readable ? "" : " (last read failed)");
}

std::string FormatStation(int instrument, const ChannelWatch& channel, const StationWatch& station,
                          MonitorClock::time_point now) {
    const StationRecord& pose = station.pose;
    std::string name = Printed("(%d,%d,%d)", instrument, channel.bin, station.station);
    return Printed("  %-10s %10.4f %10.4f %10.4f %9.2f %9.2f %9.2f  %-8s %8s %8s", name.c_str(), pose.x, pose.y, pose.z,
                   pose.azimuth * degreesPerRadian, pose.elevation * degreesPerRadian, pose.roll * degreesPerRadian,
                   Active(channel, station) ? "ACTIVE" : "inactive", Rate(channel.StationHz(station)).c_str(),
                   Age(station, now).c_str());
}

std::string FormatScreen(const ChannelMonitor& monitor, const MonitorOptions& options, MonitorClock::time_point now) {
    std::string screen = Printed("lumivex-monitor: instrument %d, bins %s, stations %s\n", options.instrument,
                                 DescribeNumberList(options.bins).c_str(), DescribeNumberList(options.stations).c_str());
    for (const ChannelWatch& channel : monitor.Channels()) {
        screen += FormatChannel(monitor.Instrument(), channel) + "\n";
        if (!channel.published) continue;
        screen += stationHeading;
        for (const StationWatch& station : channel.stations) screen += FormatStation(monitor.Instrument(), channel, station, now) + "\n";
    }
    return screen;
}

std::string FormatEvents(const ChannelMonitor& monitor, const std::vector<MonitorEvent>& events,
                         MonitorClock::time_point start, MonitorClock::time_point now) {
    std::string lines;
    std::string time = Printed("%.6f ", Seconds(now - start));
    for (const MonitorEvent& event : events) {
        const ChannelWatch& channel = monitor.Channels()[event.channel];
        lines += time + (event.station < 0 ? FormatChannel(monitor.Instrument(), channel)
                                           : FormatStation(monitor.Instrument(), channel, channel.stations[event.station], now)) +
                 "\n";
    }
    return lines;
}
