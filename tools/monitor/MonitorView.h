#pragma once

#include <string>

#include "tools/monitor/ChannelMonitor.h"
#include "tools/monitor/MonitorOptions.h"

// The monitor's text. A channel is named (instrument,bin) and a station
// (instrument,bin,station), as in the viewer's configuration report.

// "channel (0,1) flags 0x0000021F active 0-3 CART METERS "Simulated tracker"",
// or that the channel is not published (yet).
std::string FormatChannel(int instrument, const ChannelWatch& channel);

// One station: x, y, z in the channel's unit, the angles in degrees, ACTIVE or
// not, the update rate in Hz and the age of the last change in ms ("-" where
// not known).
std::string FormatStation(int instrument, const ChannelWatch& channel, const StationWatch& station,
                          MonitorClock::time_point now);

// Every selected channel and station, for a terminal or a snapshot.
std::string FormatScreen(const ChannelMonitor& monitor, const MonitorOptions& options, MonitorClock::time_point now);

// One line per event, each led by the seconds since `start`.
std::string FormatEvents(const ChannelMonitor& monitor, const std::vector<MonitorEvent>& events,
                         MonitorClock::time_point start, MonitorClock::time_point now);
