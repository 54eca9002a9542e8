#pragma once

// How precisely this process's sleeps end. By default the kernel may let a
// sleep run up to 50 µs late, so that it can group wake-ups; a program that
// sleeps a few tens of microseconds at a time to meet a deadline asks for
// wake-ups on time instead.
namespace platform {

// False when the request failed; sleeps then keep the default precision.
bool WakeUpOnTime();

}  // namespace platform
