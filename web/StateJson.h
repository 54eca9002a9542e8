#pragma once

#include <string>

#include "channel/ChannelMonitor.h"

// One state of the channels a ChannelMonitor follows, as the JSON text the
// web view streams to its page:
//   {"now": µs, "instrument": I, "channels": [{"bin", "status", "description",
//    "unit", "toMetres", "flags", "active", "rateHz", "ageMs", "missed",
//    "writerDeaths", "stations": [{"n", "pose": [x, y, z, az, el, roll],
//    "active", "hz", "ageMs", "written": µs}]}]}
// Times in µs are of this machine's monotonic clock, so that the page can
// tell the age of a pose when it draws it. Positions are in the channel's
// unit (toMetres converts them), angles in radians. "status" is "live",
// "held" (not read for a second: its mutex stays held), "dead writer" (the
// same after its server died holding it), "gone", "refused" or "not read". Channels never published and
// not in the way of anything are left out.
std::string StateJson(const ChannelMonitor& monitor, MonitorClock::time_point now);

// What the status column says of a channel at `now`.
std::string ChannelStatus(const ChannelWatch& channel, MonitorClock::time_point now);
