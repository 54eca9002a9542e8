#include "tools/publisher/ChannelWrite.h"

#include <cstdio>
#include <cstdlib>

#include "channel/ObjectRefusal.h"
#include "text/Warning.h"

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
    bool unlocked = channel.Unlock();
    std::string notice = channel.TakeNotice();
    if (!notice.empty()) PrintWarning(ShownName(channel.RegionName()), notice);
    return unlocked && written;
}

void ReportSkippedWrites(const ChannelWriter& channel) {
    std::string name = ShownName(channel.RegionName());
    if (channel.SkippedWrites() > 0)
        PrintNotice(std::to_string(channel.SkippedWrites()) + " writes of " + name +
                    " skipped: its mutex stayed held for more than " +
                    std::to_string(ChannelWriter::lockBudget.count()) + " ms");
    if (channel.LostWrites() > 0)
        PrintNotice(std::to_string(channel.LostWrites()) + " writes of " + name +
                    " lost: its region was shrunk again while it was being given back its size");
}
