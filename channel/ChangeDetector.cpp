#include "channel/ChangeDetector.h"

#include <algorithm>

#include "platform/Timing.h"

namespace {

using Clock = ChangeDetector::Clock;

// Gaps longer than this are pauses of the server, not its rate.
constexpr std::chrono::milliseconds longestPeriod(250);
// Reads themselves take microseconds: a window reaches this far beyond the
// spread of the writes on either side.
constexpr std::chrono::microseconds readTime(5);
// A forwarder's window is never longer than this, nor than a tenth of the
// period: reading without pause costs a core's time, and a window that
// catches most writes at once is worth more than one that catches them all.
constexpr std::chrono::microseconds longestWindow(150);
constexpr int periodsPerWindow = 10;
// A recorder reads this long after nearly every write has come.
constexpr std::chrono::microseconds captureMargin(20);
// However late sleeps end, a forwarder sets off no earlier than this.
constexpr std::chrono::microseconds longestSetOff(150);
// A channel that is not there is looked at this often; its absence alone
// never makes the others be read at the slow pace.
constexpr std::chrono::milliseconds absentPoll(1);
// A counter that jumps further than this was restarted, not read rarely.
constexpr uint32_t longestJump = 1u << 20;
// Writes in a row on the beat before a channel counts as regular.
constexpr int writesToTrust = 3;
// The period is the mean gap of at most this many writes on the beat.
constexpr int gapsAveraged = 256;
// A stamp further from now than this is not from our clock.
constexpr int32_t plausibleLagMicros = 10000000;

Clock::duration Magnitude(Clock::duration value) { return value < Clock::duration(0) ? -value : value; }

}  // namespace

static int32_t StampLag(Clock::time_point now, uint32_t stampMicros) {
    auto nowMicros = std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    return static_cast<int32_t>(static_cast<uint32_t>(nowMicros) - stampMicros);
}

bool PlausibleStamp(Clock::time_point now, uint32_t stampMicros) {
    int32_t lag = StampLag(now, stampMicros);
    return stampMicros != 0 && lag <= plausibleLagMicros && lag >= -plausibleLagMicros;
}

// A write made after `now` was taken but before the read stamps a little
// ahead of it; that stamp is the server's time as well.
Clock::time_point WriteTimeOfStamp(Clock::time_point now, uint32_t stampMicros) {
    if (!PlausibleStamp(now, stampMicros)) return now;
    return now - std::chrono::microseconds(StampLag(now, stampMicros));
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
    bool continued = channel.counted && steps != 0 && steps <= longestJump;
    Clock::time_point written = WriteTimeOfStamp(now, stampMicros);
    if (continued)
        Learn(channel, written, steps);
    else
        channel = Channel{};
    channel.counted = true;
    channel.absent = false;
    channel.lastCount = writeCount;
    channel.lastStamp = stampMicros;
    channel.lastWrite = written;
    return continued ? steps - 1 : 0;
}

void ChangeDetector::Lost(std::size_t index) { channels.at(index) = Channel{}; }

void ChangeDetector::Learn(Channel& channel, Clock::time_point written, uint32_t steps) const {
    Clock::duration gap = (written - channel.lastWrite) / steps;
    if (gap <= Clock::duration(0) || gap > longestPeriod) return Relearn(channel, written, Clock::duration(0));
    if (channel.period.count() == 0) return Relearn(channel, written, gap);
    FollowBeat(channel, written, steps);
}

// The beat is where the writes are foreseen. It follows them by an eighth of
// each write's stray, which keeps it where writes typically come while one
// late or early write hardly moves it; the period is the mean gap between
// writes on the beat. A write off the beat, or after rounds the server
// skipped (which leave no jump in the counter but slots of the beat), widens
// the window but keeps the beat; only a few in a row mean that the pace
// changed, and it is learnt afresh from the last gap.
void ChangeDetector::FollowBeat(Channel& channel, Clock::time_point written, uint32_t steps) const {
    const Clock::duration period = channel.period;
    Clock::time_point foreseen = channel.due + period * static_cast<Clock::rep>(steps - 1);
    // Servers are late far more often than early: a write counts as the
    // next slot's only within a quarter period of it.
    Clock::rep skipped = std::max<Clock::rep>(0, (written - foreseen + period / 4) / period);
    foreseen += period * skipped;
    Clock::duration stray = written - foreseen;
    bool onBeat = skipped == 0 && Magnitude(stray) <= period / 4;
    bool gapOnBeat = onBeat && channel.offBeat == 0;  // both its ends on the beat
    channel.offBeat = onBeat ? 0 : channel.offBeat + 1;
    if (channel.offBeat >= writesToTrust) return Relearn(channel, written, (written - channel.lastWrite) / steps);
    Clock::duration bounded = std::clamp(stray, -period / 4, period / 4);
    channel.strays.Add(bounded);
    channel.due = foreseen + period + bounded / 8;
    if (onBeat) channel.regularWrites = std::min(channel.regularWrites + 1, gapsAveraged);
    if (gapOnBeat) channel.period += ((written - channel.lastWrite) / steps - period) / (channel.regularWrites + 1);
    PlaceWindow(channel);
}

void ChangeDetector::Relearn(Channel& channel, Clock::time_point written, Clock::duration period) {
    channel.period = period;
    channel.due = written + period;
    channel.strays.Clear();
    channel.opens = channel.closes = Clock::duration(0);
    channel.regularWrites = channel.offBeat = 0;
}

// A forwarder's window spans nearly all recent strays, or where most of them
// lie when that would be too long; a recorder reads once, after nineteen
// writes in twenty have come.
void ChangeDetector::PlaceWindow(Channel& channel) const {
    const RecentSpread& strays = channel.strays;
    if (pursuit == Pursuit::Capture) {
        channel.opens = std::min<Clock::duration>(strays.Quantile(0.95) + captureMargin, channel.period / 2);
        channel.closes = channel.opens;
        return;
    }
    Clock::duration widest =
        std::clamp<Clock::duration>(channel.period / periodsPerWindow, 2 * readTime, longestWindow);
    RecentSpread::Span span = strays.Between(0.05, 0.95);
    if (span.last - span.first > widest - 2 * readTime) span = strays.DensestSpan(widest - 2 * readTime);
    channel.opens = span.first - readTime;
    channel.closes = span.last + readTime;
}

// A forwarder reads without pause from a little before the window opens (as
// long before as its sleeps tend to end late) until it closes; a recorder
// reads once when it opens. A write later than that is waited for at the
// slow pace.
Clock::time_point ChangeDetector::NextReadOf(const Channel& channel, Clock::time_point now) const {
    if (channel.absent) return now + absentPoll;
    if (channel.regularWrites < writesToTrust) return now + slowPoll;
    Clock::time_point opens = channel.due + channel.opens;
    if (pursuit == Pursuit::Capture) return now < opens ? opens : now + slowPoll;
    Clock::time_point setOffAt = opens - std::min<Clock::duration>(setOff, channel.period / 4);
    if (now < setOffAt) return setOffAt;
    if (now <= channel.due + channel.closes) return now;
    return now + slowPoll;
}

Clock::time_point ChangeDetector::NextRead(Clock::time_point now) const {
    if (channels.empty()) return now + slowPoll;
    Clock::time_point next = Clock::time_point::max();
    for (const Channel& channel : channels) next = std::min(next, NextReadOf(channel, now));
    return next;
}

void ChangeDetector::Woke(Clock::time_point asked, Clock::time_point woke) {
    wakeDelays.Add(std::max(woke - asked, Clock::duration(0)));
    setOff = std::min<Clock::duration>(wakeDelays.Quantile(0.5), longestSetOff);
}

void ChangeDetector::SleepUntilNextRead(Clock::time_point latest) {
    Clock::time_point now = Clock::now();
    Clock::time_point next = std::min(NextRead(now), latest);
    if (next <= now) return;
    platform::SleepUntil(next);
    Woke(next, Clock::now());
}
