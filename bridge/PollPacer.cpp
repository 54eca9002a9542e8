#include "bridge/PollPacer.h"

#include <algorithm>

namespace {

// Gaps longer than this are pauses of the server, not its rate.
constexpr std::chrono::milliseconds longestPeriod(250);
// How early reading without pause starts: enough for a late wake-up from
// sleep, short enough that a slow server does not cost a busy core.
constexpr std::chrono::microseconds longestLead(150);

}  // namespace

void PollPacer::Changed(Clock::time_point now) {
    Clock::duration gap = now - lastChange;
    lastChange = now;
    if (gap > longestPeriod) return;
    // Smoothed, so that one late write does not move the window far.
    period = period.count() == 0 ? gap : (3 * period + gap) / 4;
}

PollPacer::Clock::duration PollPacer::Pause(Clock::time_point now) const {
    if (period.count() == 0) return idle;
    Clock::time_point due = lastChange + period;
    Clock::duration lead = std::min<Clock::duration>(period / 8, longestLead);
    Clock::time_point windowStart = due - lead, windowEnd = due + period / 2;
    if (now >= windowStart && now < windowEnd) return Clock::duration(0);
    if (now < windowStart) return std::min(idle, windowStart - now);
    return idle;
}
