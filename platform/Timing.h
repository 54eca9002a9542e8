#pragma once

// How precisely this process's sleeps end. By default the kernel may let a
// sleep run up to 50 µs late, so that it can group wake-ups; a program that
// sleeps a few tens of microseconds at a time to meet a deadline asks for
// wake-ups on time instead.
#include <chrono>
#include <ctime>

namespace platform {

// False when the request failed; sleeps then keep the default precision.
bool WakeUpOnTime();

// Sleeps until `when` as precisely as the system's timers allow, and never
// returns early. Where a timer cannot end a sleep sooner than its tick, a
// short sleep lasts the tick instead of returning at once, so a loop that
// sleeps until its next deadline never turns into a busy loop.
void SleepUntil(std::chrono::steady_clock::time_point when);

// The time that `parts`, a date and time of day in UTC, stands for.
std::time_t UtcTime(std::tm& parts);

}  // namespace platform
