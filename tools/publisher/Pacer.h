#pragma once

#include <chrono>

// The publisher's clock: seconds since it started, an optional time limit and
// the stop that SIGINT, SIGTERM or SIGHUP requests. Times are doubles, so no rate, speed
// or recorded time can overflow a conversion to clock ticks.
class Pacer {
public:
    // `duration` 0: no time limit.
    explicit Pacer(double duration);

    double Elapsed() const;
    // A stop was requested or the time limit has passed.
    bool Stopped() const;
    // Sleeps until `seconds` after the start; false, early, once Stopped().
    bool WaitUntil(double seconds) const;

    // When the round after the one due at `due` is due, `elapsed` seconds
    // after the start. A round that ran so late that its successor's time
    // has passed drops the rounds it overran instead of writing them at
    // once, back to back: the beat is kept, as a tracker's clock keeps it,
    // and no write replaces another within microseconds. Period 0: at once.
    static double RoundAfter(double due, double period, double elapsed);

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start;
    double duration;
};
