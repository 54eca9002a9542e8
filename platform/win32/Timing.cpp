#include "platform/Timing.h"

#include <windows.h>
#include <timeapi.h>

namespace platform {
namespace {

// The flag of newer SDKs than MinGW-w64's headers.
constexpr DWORD highResolution = 0x2;

// Systems since Windows 10 1803 offer timers that end within tens of
// microseconds; older ones (and Wine) end on the system tick. One timer per
// thread, made on its first sleep.
HANDLE MakeTimer() {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, highResolution, TIMER_ALL_ACCESS);
    return timer ? timer : CreateWaitableTimerW(nullptr, TRUE, nullptr);
}

struct ThreadTimer {
    ThreadTimer() : handle(MakeTimer()) {}
    ~ThreadTimer() {
        if (handle) CloseHandle(handle);
    }
    const HANDLE handle;
};

}  // namespace

// The system timer ticks every 15.6 ms by default, and a sleep ends on a tick;
// one millisecond is the finest period it offers.
bool WakeUpOnTime() { return timeBeginPeriod(1) == TIMERR_NOERROR; }

void SleepUntil(std::chrono::steady_clock::time_point when) {
    static thread_local ThreadTimer timer;
    for (auto now = std::chrono::steady_clock::now(); now < when; now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(when - now).count();
        LARGE_INTEGER due;
        due.QuadPart = -((left + 99) / 100);  // relative, in 100 ns steps, rounded up
        if (!timer.handle || !SetWaitableTimer(timer.handle, &due, 0, nullptr, nullptr, FALSE) ||
            WaitForSingleObject(timer.handle, INFINITE) != WAIT_OBJECT_0)
            Sleep(1);  // no timer to be had: the tick is the finest sleep left
    }
}

std::time_t UtcTime(std::tm& parts) { return _mkgmtime(&parts); }

}  // namespace platform
