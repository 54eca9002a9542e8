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

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start;
    double duration;
};
