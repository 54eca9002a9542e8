#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "channel/ChannelMonitor.h"

// What a program is handed of one write: the channel's whole state and how
// many writes came and went unseen since the one it was handed before.
struct ChannelSample {
    ChannelState state;
    uint64_t missed = 0;
};

// One channel followed as the monitor follows it: opened read-only under the
// trust rule, copied whole under the server's mutex or through its write
// sequence, read when the change detector expects a write, and found again
// when its server removes it and publishes it anew.
class LiveChannel {
public:
    using Clock = MonitorClock;

    LiveChannel(int instrument, int bin);

    // The newest state now, waiting for a slow server as long as a one-off
    // look does; false when the channel cannot be read, Problem() says why.
    bool Read(ChannelSample& sample);
    // Reads until a write not handed out yet is there, or until `until`.
    bool WaitForWrite(Clock::time_point until, ChannelSample& sample);
    // Why the last read gave nothing, in the monitor's words:
    // "channel (0,1) not published", "channel (0,1) refused: ...".
    std::string Problem() const;

    int Instrument() const { return monitor.Instrument(); }
    int Bin() const { return Watch().bin; }

private:
    const ChannelWatch& Watch() const { return monitor.Channels().front(); }
    bool Usable() const { return Watch().readable && !Watch().gone; }
    bool Fresh() const;
    void HandOut(ChannelSample& sample);

    ChannelMonitor monitor;
    std::vector<MonitorEvent> events;
    bool handedOut = false;
    uint32_t lastCount = 0;
    uint32_t lastStamp = 0;
    uint64_t missedBefore = 0;
};
