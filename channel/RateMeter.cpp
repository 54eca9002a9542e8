#include "channel/RateMeter.h"

namespace {

constexpr double windowSeconds = 1.0;

}  // namespace

// The difference is taken modulo 2^32, so a counter that wraps keeps its rate.
void RateMeter::Sample(Clock::time_point now, uint32_t count) {
    uint32_t advance = count - windowCount;
    if (!started || static_cast<int32_t>(advance) < 0) {
        started = true;
        windowStart = now;
        windowCount = count;
        return;
    }
    double elapsed = std::chrono::duration<double>(now - windowStart).count();
    if (elapsed < windowSeconds) return;
    hz = advance / elapsed;
    windowStart = now;
    windowCount = count;
}
