#include "channel/ChangeDetector.h"

#include <algorithm>

namespace {

using Clock = ChangeDetector::Clock;

// Gaps longer than this are pauses of the server, not its rate.
constexpr std::chrono::milliseconds longestPeriod(250);
// How late a sleep may end on a busy machine even when asked to wake on
// time; the window opens this much earlier.
constexpr std::chrono::microseconds wakeAllowance(20);
// A window never shorter: reads themselves take microseconds.
constexpr std::chrono::microseconds shortestLead(10);
// Nor longer, however much the writes jitter: reading without pause costs a
// core's time.
constexpr std::chrono::microseconds longestLead(150);
// A channel that is not there is looked at this often; its absence alone
// never makes the others be read at the slow pace.
constexpr std::chrono::milliseconds absentPoll(1);
// A counter that jumps further than this was restarted, not read rarely.
constexpr uint32_t longestJump = 1u << 20;
// Writes in a row that came when foreseen before a channel counts as regular.
constexpr int writesToTrust = 3;
// A stamp further from now than this is not from our clock.
constexpr int32_t plausibleLagMicros = 10000000;

Clock::duration Magnitude(Clock::duration value) { return value < Clock::duration(0) ? -value : value; }

}  // namespace

// A write made after `now` was taken but before the read stamps a little
// ahead of it; that stamp is the server's time as well.
Clock::time_point WriteTimeOfStamp(Clock::time_point now, uint32_t stampMicros) {
    if (stampMicros == 0) return now;
    auto nowMicros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    auto lag = static_cast<int32_t>(static_cast<uint32_t>(nowMicros) - stampMicros);
    if (lag > plausibleLagMicros || lag < -plausibleLagMicros) return now;
    return now - std::chrono::microseconds(lag);
}

ChangeDetector::ChangeDetector(std::size_t count, Clock::duration slowPollInterval, Pursuit pursuitOf)
    : channels(count), slowPoll(slowPollInterval), pursuit(pursuitOf) {}

// A server that keeps no counter but stamps its writes still shows each
// write, one step at a time; one that keeps neither shows nothing here.
uint32_t ChangeDetector::Saw(std::size_t index, Clock::time_point now, uint32_t writeCount, uint32_t stampMicros) {
    Channel& channel = channels.at(index);
    if (channel.counted && writeCount == channel.lastCount && stampMicros == channel.lastStamp) return 0;
    uint32_t steps = writeCount - channel.lastCount;
    if (writeCount == 0 && channel.lastCount == 0) steps = 1;
    bool restarted = steps == 0 || steps > longestJump;
    Clock::time_point written = WriteTimeOfStamp(now, stampMicros);
    if (channel.counted && !restarted) Learn(channel, written, steps);
    else channel = Channel{};
    uint32_t missed = channel.counted && !restarted ? steps - 1 : 0;
    channel.counted = true;
    channel.absent = false;
    channel.lastCount = writeCount;
    channel.lastStamp = stampMicros;
    channel.lastWrite = written;
    return missed;
}

void ChangeDetector::Lost(std::size_t index) { channels.at(index) = Channel{}; }

// The period follows slow drift smoothly. A write off the beat widens the
// window (through the jitter) but keeps the beat; only a few in a row mean
// that the pace changed, and it is learnt afresh from the last gap.
void ChangeDetector::Learn(Channel& channel, Clock::time_point written, uint32_t steps) const {
    Clock::duration gap = (written - channel.lastWrite) / steps;
    if (gap <= Clock::duration(0) || gap > longestPeriod) {
        channel.regularWrites = 0;
        return;
    }
    Clock::duration error = Magnitude(gap - channel.period);
    bool onBeat = channel.period.count() > 0 && error <= channel.period / 4;
    channel.offBeat = onBeat ? 0 : channel.offBeat + 1;
    if (channel.period.count() == 0 || channel.offBeat >= writesToTrust) return Relearn(channel, gap);
    channel.jitter = (3 * channel.jitter + std::min(error, channel.period / 4)) / 4;
    if (!onBeat) return;
    ++channel.regularWrites;
    channel.period = (7 * channel.period + gap) / 8;
}

void ChangeDetector::Relearn(Channel& channel, Clock::duration period) {
    channel.period = period;
    channel.jitter = Clock::duration(0);
    channel.regularWrites = channel.offBeat = 0;
}

bool ChangeDetector::Foreseeing(std::size_t index) const { return channels.at(index).regularWrites >= writesToTrust; }

// For latency, reads without pause from a little before the write is due
// until a little after; for capture, reads once a little after it is due,
// which costs one read a write. A write later than that is waited for at the
// slow pace, and the jitter it adds widens the next windows.
Clock::time_point ChangeDetector::NextReadOf(const Channel& channel, Clock::time_point now) const {
    if (channel.absent) return now + absentPoll;
    if (channel.regularWrites < writesToTrust) return now + slowPoll;
    Clock::duration margin = std::clamp<Clock::duration>(wakeAllowance + 2 * channel.jitter, shortestLead,
                                                         std::min<Clock::duration>(channel.period / 4, longestLead));
    Clock::time_point due = channel.lastWrite + channel.period;
    if (pursuit == Pursuit::Capture) return now < due + margin ? due + margin : now + slowPoll;
    if (now < due - margin) return due - margin;
    if (now <= due + margin) return now;
    return now + slowPoll;
}

Clock::time_point ChangeDetector::NextRead(Clock::time_point now) const {
    if (channels.empty()) return now + slowPoll;
    Clock::time_point next = Clock::time_point::max();
    for (const Channel& channel : channels) next = std::min(next, NextReadOf(channel, now));
    return next;
}
