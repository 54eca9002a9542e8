#pragma once

#include <chrono>

// When the sender reads its channels next. Shared memory tells nobody that it
// changed, so the sender polls; but servers write at a steady rate, so once
// two changes have been seen the next one can be foreseen. From a little
// before it is due until a while after, the sender reads without pause, so a
// write is published within microseconds; otherwise it reads every idle
// interval, which costs little and still catches irregular writers.
class PollPacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit PollPacer(Clock::duration idleInterval) : idle(idleInterval) {}

    // A pass at `now` found a changed channel.
    void Changed(Clock::time_point now);
    // How long to wait after a pass at `now`; zero while a change is due.
    Clock::duration Pause(Clock::time_point now) const;

private:
    Clock::duration idle;
    Clock::duration period{0};  // between changes, smoothed; 0 until known
    Clock::time_point lastChange{};
};
