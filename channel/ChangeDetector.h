#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "channel/RecentSpread.h"

// When to read a server's channels next. Shared memory tells nobody that it
// changed, so a program that must see every write (the bridge's sender, the
// recorder, the live monitor) polls. Servers write on a beat, though: from
// the write counter and time stamp of what it read, the detector learns each
// channel's period and the beat's phase, and how far writes stray from it;
// it sleeps until shortly before the next write is due and reads without
// pause only in a window around it, as wide as the recent writes' spread
// asks. A channel whose writes are irregular, or that stopped, is read every
// `slowPoll` until it is regular again; one that is not there is looked at
// every millisecond. It knows nothing of the platform beyond a clock and a
// sleep: the caller reads and tells it what it found and when.
class ChangeDetector {
public:
    using Clock = std::chrono::steady_clock;

    // Latency: a forwarder (the bridge's sender) reads without pause around
    // the write that is due, to pass it on within microseconds. Capture: a
    // recorder only has to read each write before the next, and reads once
    // after nearly all writes have come.
    enum class Pursuit { Latency, Capture };
    // The slow poll of a reader that must see every write (a recording, a
    // program waiting for each write): four times as often as a screen needs,
    // since what it does not see it misses.
    static constexpr std::chrono::microseconds captureSlowPoll{250};

    ChangeDetector(std::size_t channels, Clock::duration slowPoll, Pursuit pursuit = Pursuit::Latency);

    // A read of `channel` at `now` found this write counter and time stamp
    // (the low 32 bits of the monotonic clock in microseconds; 0 when the
    // server keeps none). Returns how many writes came and went unread since
    // the last read, from the counter's jump.
    uint32_t Saw(std::size_t channel, Clock::time_point now, uint32_t writeCount, uint32_t stampMicros);
    // A channel that cannot be read now (not published, refused, not
    // selected: the state every channel starts in) is looked at every ms,
    // and its writes are learnt afresh once it can be read.
    void Lost(std::size_t channel);

    // When the next read is due: `now` while a write may land any moment.
    Clock::time_point NextRead(Clock::time_point now) const;
    // A sleep that was to end at `asked` ended at `woke`: a forwarder sets
    // off that much earlier, so that it is reading when the window opens.
    void Woke(Clock::time_point asked, Clock::time_point woke);
    // Sleeps until the next read is due, or until `latest`.
    void SleepUntilNextRead(Clock::time_point latest);

private:
    struct Channel {
        bool absent = true;
        bool counted = false;  // lastCount is a counter value seen
        uint32_t lastCount = 0;
        uint32_t lastStamp = 0;
        Clock::time_point lastWrite{};
        Clock::duration period{0};            // 0 while unknown
        Clock::time_point due{};              // when the beat has the next write
        RecentSpread strays;                  // how far writes came from the beat
        Clock::duration opens{0}, closes{0};  // the window around `due`
        int regularWrites = 0;                // writes on the beat since the pace was learnt
        int offBeat = 0;                      // writes in a row that came off the beat
    };

    void Learn(Channel& channel, Clock::time_point written, uint32_t steps) const;
    void FollowBeat(Channel& channel, Clock::time_point written, uint32_t steps) const;
    static void Relearn(Channel& channel, Clock::time_point written, Clock::duration period);
    void PlaceWindow(Channel& channel) const;
    Clock::time_point NextReadOf(const Channel& channel, Clock::time_point now) const;

    std::vector<Channel> channels;
    Clock::duration slowPoll;
    Pursuit pursuit;
    RecentSpread wakeDelays;
    Clock::duration setOff{0};  // how long before a window a forwarder's sleep is to end
};

// Whether a stamp is plausibly from this machine's monotonic clock: within
// 10 s of `now`, before or after it. 0 is no stamp at all.
bool PlausibleStamp(ChangeDetector::Clock::time_point now, uint32_t stampMicros);

// When the server wrote what a read at `now` found, by its stamp when that is
// plausibly from this machine's monotonic clock, else `now`.
ChangeDetector::Clock::time_point WriteTimeOfStamp(ChangeDetector::Clock::time_point now, uint32_t stampMicros);
