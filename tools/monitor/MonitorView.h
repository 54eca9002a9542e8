#pragma once

#include <string>

#include "channel/ChannelMonitor.h"
#include "tools/monitor/MonitorOptions.h"

// The monitor's text. A channel is named (instrument,bin) and a station
// (instrument,bin,station), as in the viewer's configuration report.

// The room a screen offers, in character cells; 0 for no limit.
struct ScreenRoom {
    int columns = 0;
    int rows = 0;
};

// "channel (0,1) flags 0x0000021F active 0-3 CART METERS "Simulated tracker"",
// or that the channel is not published (yet) or gone.
std::string FormatChannel(int instrument, const ChannelWatch& channel);
// Why a channel is not read: "refused: <object>: <reason>", "not read:
// <object>: <reason>" for one never read, or "gone: its server removed it".
std::string Absence(const ChannelWatch& channel);

// One station: x, y, z in the channel's unit, the angles in degrees, ACTIVE or
// not, the update rate in Hz and the age of the last change in ms ("-" where
// not known).
std::string FormatStation(int instrument, const ChannelWatch& channel, const StationWatch& station,
                          MonitorClock::time_point now);

// Every selected channel and station, then `footer`. Within a room, columns
// that do not fit are left out, the lines that do not fit are cut at the
// bottom, and a line says what is not shown.
std::string FormatScreen(const ChannelMonitor& monitor, const MonitorOptions& options, MonitorClock::time_point now,
                         const std::string& footer = "", ScreenRoom room = {});

// What leads the line output: what is watched, the columns of a station's
// line and the decimals each number is printed with.
std::string FormatLineHeader(const MonitorOptions& options);

// One line per event, each led by the seconds since `start`.
std::string FormatEvents(const ChannelMonitor& monitor, const std::vector<MonitorEvent>& events,
                         MonitorClock::time_point start, MonitorClock::time_point now);
