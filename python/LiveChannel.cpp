#include "python/LiveChannel.h"

#include <algorithm>

#include "platform/Timing.h"
#include "tools/monitor/MonitorView.h"

namespace {

constexpr uint32_t allStations = ~0u;

}  // namespace

LiveChannel::LiveChannel(int instrument, int bin)
    : monitor(instrument, 1u << bin, allStations, ChangeDetector::captureSlowPoll) {}

bool LiveChannel::Read(ChannelSample& sample) {
    events.clear();
    monitor.PollPatiently(Clock::now(), events);
    if (!Usable()) return false;
    HandOut(sample);
    return true;
}

bool LiveChannel::WaitForWrite(Clock::time_point until, ChannelSample& sample) {
    // Reads are timed to the microsecond around a foreseen write, so the
    // thread that waits asks for its sleeps to end on time, as the monitor
    // does; should that fail, they merely end a little later.
    static thread_local const bool onTime = platform::WakeUpOnTime();
    (void)onTime;
    for (;;) {
        Clock::time_point now = Clock::now();
        events.clear();
        monitor.Poll(now, events);
        if (Usable() && Fresh()) {
            HandOut(sample);
            return true;
        }
        if (now >= until) return false;
        monitor.SleepUntilNextPoll(until);
    }
}

// A server that keeps neither a write counter nor a stamp shows a write only
// by what it changed.
bool LiveChannel::Fresh() const {
    const ChannelState& state = Watch().state;
    bool changed = std::any_of(events.begin(), events.end(), [](const MonitorEvent& event) {
        return event.station >= 0 || event.station == MonitorEvent::channelChanged;
    });
    return !handedOut || state.writeCount != lastCount || state.timestampMicros != lastStamp ||
           (state.writeCount == 0 && state.timestampMicros == 0 && changed);
}

void LiveChannel::HandOut(ChannelSample& sample) {
    const ChannelWatch& watch = Watch();
    sample.state = watch.state;
    sample.missed = handedOut ? watch.missedWrites - missedBefore : 0;
    missedBefore = watch.missedWrites;
    lastCount = watch.state.writeCount;
    lastStamp = watch.state.timestampMicros;
    handedOut = true;
}

std::string LiveChannel::Problem() const {
    const ChannelWatch& watch = Watch();
    std::string name = "channel (" + std::to_string(Instrument()) + "," + std::to_string(watch.bin) + ")";
    if (!watch.published) return name + (watch.trouble.empty() ? " not published" : " " + Absence(watch));
    if (watch.gone) return name + " " + Absence(watch);
    return name + " last read failed" + (watch.trouble.empty() ? "" : ": " + watch.trouble);
}
