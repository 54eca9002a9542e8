#include "tools/monitor/MonitorView.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "platform/Host.h"
#include "text/NumberList.h"
#include "tools/monitor/StationColumns.h"
#include "text/ConsoleText.h"
#include "channel/StationLayout.h"

namespace {

constexpr int timeDecimals = 6;
const char* const cut = "...";

template <typename... Values>
std::string Printed(const char* format, Values... values) {
    char text[512];
    int length = std::snprintf(text, sizeof text, format, values...);
    return std::string(text, length < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(length), sizeof text - 1));
}

double Seconds(MonitorClock::duration span) { return std::chrono::duration<double>(span).count(); }

std::string FormatLabels(uint32_t flags) {
    std::string labels;
    for (const auto& format : station_layout::channelFormats)
        if (flags & format.bit) labels += std::string(" ") + format.label;
    return labels.empty() ? " no format" : labels;
}

// How the server describes its tracker, as the monitor shows it.
std::string QuotedDescription(const std::string& description) { return "\"" + ConsoleText(description) + "\""; }

std::string ChannelLabel(int instrument, const ChannelWatch& channel) {
    return Printed("channel (%d,%d)", instrument, channel.bin);
}

std::string Title(const MonitorOptions& options) {
    return Printed("%s: instrument %d, bins %s, stations %s", platform::ProgramName(), options.instrument,
                   DescribeNumberList(options.bins).c_str(), DescribeNumberList(options.stations).c_str());
}

// Characters on a terminal: every byte but UTF-8's continuation bytes.
bool StartsCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }

int Characters(const std::string& text) {
    int count = 0;
    for (char byte : text) count += StartsCharacter(byte);
    return count;
}

// The line cut to `columns` characters (no limit for 0), its end replaced by
// "..." when it is cut.
std::string FitLine(const std::string& line, int columns) {
    if (columns <= 0 || Characters(line) <= columns) return line;
    int keep = std::max(0, columns - 3), characters = 0;
    std::size_t end = 0;
    for (; end < line.size(); ++end)
        if (StartsCharacter(line[end]) && characters++ == keep) break;
    return line.substr(0, end) + std::string(cut).substr(0, static_cast<std::size_t>(columns - keep));
}

// One channel on the screen: its line and, once it is published, its stations.
std::vector<std::string> ChannelLines(const ChannelMonitor& monitor, const ChannelWatch& channel, ColumnSet shown,
                                      MonitorClock::time_point now) {
    std::vector<std::string> lines{FormatChannel(monitor.Instrument(), channel)};
    if (!channel.published) return lines;
    lines.push_back(StationHeading(shown));
    for (const StationWatch& station : channel.stations)
        lines.push_back(StationLine({monitor.Instrument(), channel, station, now}, shown));
    return lines;
}

// What a screen leaves out.
struct Hidden {
    int stations = 0;
    int channels = 0;
    ColumnSet columns = 0;
};

std::string More(int count, const char* what) {
    return std::to_string(count) + " more " + what + (count == 1 ? "" : "s");
}

std::string Notice(const Hidden& hidden) {
    std::string rows = hidden.stations ? More(hidden.stations, "station") : "";
    if (hidden.channels) rows += (rows.empty() ? "" : " and ") + More(hidden.channels, "channel");
    std::string notice = rows.empty() ? "" : cut + (" " + rows) + " below";
    if (hidden.columns)
        notice += (notice.empty() ? "" : "; ") + std::string("cut: ") + ColumnNames(hidden.columns, ", ", false);
    return notice;
}

// Adds the channels' lines while `rows` last; counts what does not fit.
void AddChannels(const std::vector<std::vector<std::string>>& channels, int rows, std::vector<std::string>& lines,
                 Hidden& hidden) {
    for (const std::vector<std::string>& channel : channels) {
        int shown = std::max(0, std::min(rows, static_cast<int>(channel.size())));
        lines.insert(lines.end(), channel.begin(), channel.begin() + shown);
        rows -= shown;
        if (shown == 0)
            ++hidden.channels;
        else
            hidden.stations += std::max(0, static_cast<int>(channel.size()) - std::max(shown, 2));
    }
}

std::vector<std::string> ScreenLines(const ChannelMonitor& monitor, const MonitorOptions& options,
                                     MonitorClock::time_point now, ScreenRoom room) {
    // A single look has no window to measure a rate over.
    const ColumnSet offered = options.once ? AllColumns() & ~RateColumn() : AllColumns();
    ColumnSet shown = ColumnsThatFit(room.columns, offered);
    std::vector<std::vector<std::string>> channels;
    int total = 0;
    for (const ChannelWatch& channel : monitor.Channels()) {
        channels.push_back(ChannelLines(monitor, channel, shown, now));
        total += static_cast<int>(channels.back().size());
    }
    Hidden hidden;
    hidden.columns = monitor.AnyPublished() ? offered & ~shown : 0;
    int rows = room.rows > 0 ? room.rows - 2 : INT_MAX;  // the title and the footer
    if (hidden.columns || total > rows) --rows;          // and the notice
    std::vector<std::string> lines{Title(options)};
    AddChannels(channels, rows, lines, hidden);
    std::string notice = Notice(hidden);
    if (!notice.empty()) lines.push_back(notice);
    return lines;
}

}  // namespace

std::string Absence(const ChannelWatch& channel) {
    if (channel.refused) return "refused: " + channel.trouble;
    if (!channel.published) return "not read: " + channel.trouble;
    return "gone: its server removed it";
}

std::string FormatChannel(int instrument, const ChannelWatch& channel) {
    std::string name = ChannelLabel(instrument, channel);
    if (!channel.published) return name + (channel.trouble.empty() ? " not published" : " " + Absence(channel));
    uint32_t flags = channel.state.flags;
    return name +
           Printed(" flags 0x%08X active %s", flags,
                   DescribeNumberList(flags & station_layout::stationActiveBits).c_str()) +
           FormatLabels(flags) + " " + station_layout::UnitOfCode(station_layout::UnitCode(flags)).label + " " +
           QuotedDescription(channel.state.description) +
           (channel.gone       ? " (" + Absence(channel) + ")"
            : channel.readable ? ""
                               : " (last read failed" + (channel.trouble.empty() ? "" : ": " + channel.trouble) + ")");
}

std::string FormatStation(int instrument, const ChannelWatch& channel, const StationWatch& station,
                          MonitorClock::time_point now) {
    return StationLine({instrument, channel, station, now}, AllColumns());
}

std::string FormatScreen(const ChannelMonitor& monitor, const MonitorOptions& options, MonitorClock::time_point now,
                         const std::string& footer, ScreenRoom room) {
    std::vector<std::string> lines = ScreenLines(monitor, options, now, room);
    if (!footer.empty()) lines.push_back(footer);
    if (room.rows > 0 && lines.size() > static_cast<std::size_t>(room.rows)) lines.resize(room.rows);
    std::string screen;
    for (const std::string& line : lines) screen += FitLine(line, room.columns) + "\n";
    return screen;
}

std::string FormatLineHeader(const MonitorOptions& options) {
    return "# " + Title(options) + "; one line per change of a channel or a station\n# time_s " +
           ColumnNames(AllColumns(), " ", true) + "\n# decimals: time_s " + std::to_string(timeDecimals) + ", " +
           ColumnDecimals() + "; x, y, z in the channel's unit\n";
}

std::string FormatEvents(const ChannelMonitor& monitor, const std::vector<MonitorEvent>& events,
                         MonitorClock::time_point start, MonitorClock::time_point now) {
    std::string lines;
    std::string time = Printed("%.*f ", timeDecimals, Seconds(now - start));
    for (const MonitorEvent& event : events) {
        const ChannelWatch& channel = monitor.Channels()[event.channel];
        std::string name = ChannelLabel(monitor.Instrument(), channel);
        switch (event.station) {
            case MonitorEvent::channelChanged:
                lines += time + FormatChannel(monitor.Instrument(), channel);
                break;
            case MonitorEvent::channelGone:
                lines += time + name + " " + Absence(channel);
                break;
            case MonitorEvent::channelBack:
                lines += time + name + " back: published again";
                break;
            case MonitorEvent::channelNotice:
                lines += time + name + " " + event.notice;
                break;
            default:
                lines += time + FormatStation(monitor.Instrument(), channel, channel.stations[event.station], now);
        }
        lines += "\n";
    }
    return lines;
}
