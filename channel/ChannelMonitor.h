#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "channel/RateMeter.h"
#include "channel/ChangeDetector.h"
#include "channel/ChannelNotices.h"
#include "channel/ChannelState.h"
#include "channel/StartUpLockWaits.h"
#include "channel/TrackerClient.h"

using MonitorClock = std::chrono::steady_clock;

// When the server wrote what a read at `now` found: by its stamp (the low 32
// bits of the monotonic clock in microseconds) when it has a plausible one
// (within 10 s of `now`, before or after it), else `now`.
MonitorClock::time_point ServerWriteTime(MonitorClock::time_point now, uint32_t stampMicros);

// What the monitor knows of one selected station.
struct StationWatch {
    explicit StationWatch(int number) : station(number) {}

    int station;
    StationRecord pose{};
    bool seen = false;
    bool changeKnown = false;  // false: seen unchanged since the start, by a server without time stamps
    bool stampStale = false;   // the last change carried a stamp not plausibly from this clock (PlausibleStamp)
    MonitorClock::time_point lastChange;
    uint32_t changes = 0;  // for the rate when the server keeps no write counter
    RateMeter changeRate;
};

// What the monitor knows of one selected channel.
struct ChannelWatch {
    int bin = 0;
    bool published = false;     // read at least once
    bool readable = false;      // the last read succeeded
    bool gone = false;          // its server removed it, or it was refused, and nothing has published it again
    bool refused = false;       // its objects are there but were refused
    std::string trouble;        // why the last read failed, naming the object; empty when nothing is there
    uint32_t writerDeaths = 0;  // how often its server was found dead holding its mutex
    MonitorClock::time_point lastRead{};  // when a read last succeeded
    ChannelState state;
    RateMeter writeRate;
    uint64_t missedWrites = 0;  // writes that came and went between two reads
    std::vector<StationWatch> stations;

    // Updates per second of a station: the server's write rate when it counts
    // its writes, else the rate of the changes seen; negative while unknown.
    double StationHz(const StationWatch& station) const;
};

// Something a poll found new: a station whose pose changed (`station` indexes
// the channel's stations), or one of the channel events below. `channel`
// indexes Channels().
struct MonitorEvent {
    static constexpr int channelChanged = -1;  // it appeared, or its flags or description changed
    static constexpr int channelGone = -2;     // its server removed it, or it was refused
    static constexpr int channelBack = -3;     // it is published again after it was gone
    static constexpr int channelNotice = -4;   // `notice` says what happened: its server died, its mutex stays held

    std::size_t channel;
    int station;
    std::string notice{};
};

// Reads the selected channels of one instrument as the viewer does (select,
// attach, lock, copy, unlock) and follows what changes.
class ChannelMonitor {
public:
    // `slowPoll`: how often channels are read while their writes are not
    // foreseen (ChangeDetector).
    ChannelMonitor(int instrument, uint32_t bins, uint32_t stations,
                   MonitorClock::duration slowPoll = std::chrono::milliseconds(1));

    // One read of every selected channel; appends what changed to `events`.
    void Poll(MonitorClock::time_point now, std::vector<MonitorEvent>& events);
    // One read of every selected channel that waits as long for a slow server
    // as the viewer's start-up report, and reads what a server that died
    // holding a mutex left: for a look taken once.
    void PollPatiently(MonitorClock::time_point now, std::vector<MonitorEvent>& events);

    // Sleeps until the next Poll is due to see the next write of every
    // channel, or until `latest`.
    void SleepUntilNextPoll(MonitorClock::time_point latest);

    int Instrument() const { return client.Instrument(); }
    const std::vector<ChannelWatch>& Channels() const { return channels; }
    bool AnyPublished() const;

private:
    void PollChannel(std::size_t index, MonitorClock::time_point now, std::vector<MonitorEvent>& events,
                     const StartUpLockWaits* waits);
    void NoteTrouble(ChannelWatch& watch) const;
    void FollowPresence(std::size_t index, std::vector<MonitorEvent>& events);

    TrackerClient client;
    std::vector<ChannelWatch> channels;
    ChangeDetector detector;
    ChannelNotices notices;
};
