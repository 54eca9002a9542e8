#include "channel/RefusalRetry.h"

#include "channel/ChannelName.h"
#include "platform/ShMemWatch.h"

RefusalRetry::RefusalRetry(std::chrono::milliseconds unwatchedInterval)
    : watched(platform::WatchSharedObjects()), unwatchedIntervalMs(static_cast<uint64_t>(unwatchedInterval.count())) {}

uint64_t RefusalRetry::Mark() const {
    return watched ? platform::SharedObjectChangeCount() : platform::CoarseMilliseconds();
}

bool RefusalRetry::WorthRetrying(ChannelId channel, uint64_t mark) const {
    if (!watched) return platform::CoarseMilliseconds() >= mark + unwatchedIntervalMs;
    return NamesChangedSince(channel, mark);
}

bool RefusalRetry::NamesChangedSince(ChannelId channel, uint64_t count) {
    return platform::LastChangeOf(NameOf(ChannelObject::Region, channel.instrument, channel.bin).text) > count ||
           platform::LastChangeOf(NameOf(ChannelObject::Mutex, channel.instrument, channel.bin).text) > count;
}
