#include "tools/publisher/ChannelWrite.h"

#include <chrono>
#include <cstdlib>
#include <thread>

bool WriteChannel(ChannelWriter& channel, const PublisherOptions& options, const ChannelState& state) {
    if (!channel.Lock()) return false;
    // The fault the viewer must survive: a server that dies holding a mutex.
    if (options.crashAfter > 0 && state.writeCount > static_cast<uint64_t>(options.crashAfter)) std::abort();
    bool written = channel.Write(state);
    if (options.holdLockMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.holdLockMs));
    return channel.Unlock() && written;
}

uint32_t TimestampMicros() {
    auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(sinceEpoch.count());
}
