#include "tools/publisher/ChannelWrite.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tracker/ObjectRefusal.h"

// A write skipped because someone holds the mutex is counted by the channel
// and is no failure.
bool WriteChannel(ChannelWriter& channel, const PublisherOptions& options, const ChannelState& state,
                  const Pacer& pacer) {
    uint64_t skippedBefore = channel.SkippedWrites();
    if (!channel.Lock()) return channel.SkippedWrites() != skippedBefore;
    // The fault the viewer must survive: a server that dies holding a mutex.
    if (options.crashAfter > 0 && state.writeCount > static_cast<uint64_t>(options.crashAfter)) std::abort();
    bool written = channel.Write(state);
    if (options.holdLockMs > 0) pacer.WaitUntil(pacer.Elapsed() + options.holdLockMs / 1000.0);
    return channel.Unlock() && written;
}

uint32_t TimestampMicros() {
    auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(sinceEpoch.count());
}

std::string OpenFailure(const ChannelWriter& channel) {
    return "cannot use " + channel.RefusedObject() + ": " + RefusalReason(channel.Refusal());
}

void ReportSkippedWrites(const ChannelWriter& channel) {
    if (channel.SkippedWrites() == 0) return;
    std::fprintf(stderr, "lumivex-publisher: %llu writes of %s skipped: its mutex stayed held for more than %lld ms\n",
                 static_cast<unsigned long long>(channel.SkippedWrites()),
                 platform::SharedObjectName(channel.RegionName().c_str()).c_str(),
                 static_cast<long long>(ChannelWriter::lockBudget.count()));
}
