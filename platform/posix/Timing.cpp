#include "platform/Timing.h"

#include <sys/prctl.h>

#include <thread>

namespace platform {

bool WakeUpOnTime() {
    // One nanosecond: the least slack the kernel takes (0 would mean "the default").
    return prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
}

void SleepUntil(std::chrono::steady_clock::time_point when) { std::this_thread::sleep_until(when); }

std::time_t UtcTime(std::tm& parts) { return timegm(&parts); }

}  // namespace platform
