#include "server/WriteStamp.h"

#include <chrono>

uint32_t TimestampMicros() {
    auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(sinceEpoch.count());
}
