#pragma once

#include <cstdint>

// The low 32 bits of the monotonic clock in microseconds, as a server stamps
// each write: readers compare it with their own clock to tell how old a pose
// is.
uint32_t TimestampMicros();
