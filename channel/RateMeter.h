#pragma once

#include <chrono>
#include <cstdint>

// Updates per second of a running count (a server's write counter, or the
// changes the monitor saw), measured over windows of about a second.
class RateMeter {
public:
    using Clock = std::chrono::steady_clock;

    // The count as it stands at `now`. A count that goes back (a restarted
    // server) starts a new window.
    void Sample(Clock::time_point now, uint32_t count);
    // Negative until the first window is complete.
    double Hz() const { return hz; }

private:
    bool started = false;
    Clock::time_point windowStart;
    uint32_t windowCount = 0;
    double hz = -1.0;
};
