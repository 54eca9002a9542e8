#include "bridge/RefusedChannels.h"

#include "channel/ChannelId.h"
#include "platform/ShMemWatch.h"
#include "channel/ChannelName.h"

namespace {

constexpr uint64_t unwatchedRetryMs = 1000;

int Key(int instrument, int bin) { return ChannelId{instrument, bin}.Key(); }

}  // namespace

RefusedChannels::RefusedChannels() : watched(platform::WatchSharedObjects()) {}

bool RefusedChannels::StillRefused(int instrument, int bin) const {
    auto found = failures.find(Key(instrument, bin));
    if (found == failures.end() || !found->second.untilChange) return false;
    if (!watched) return platform::CoarseMilliseconds() < found->second.at + unwatchedRetryMs;
    return !NamesChangedSince(instrument, bin, found->second.at);
}

// The count is taken before the attempt: a change during it makes the
// channel worth another try, never the reverse.
void RefusedChannels::BeforeOpen() {
    attemptAt = watched ? platform::SharedObjectChangeCount() : platform::CoarseMilliseconds();
}

bool RefusedChannels::Failed(int instrument, int bin, bool refusal) {
    return failures.insert_or_assign(Key(instrument, bin), Failure{attemptAt, refusal}).second;
}

void RefusedChannels::Opened(int instrument, int bin) { failures.erase(Key(instrument, bin)); }

bool RefusedChannels::NamesChangedSince(int instrument, int bin, uint64_t count) const {
    return platform::LastChangeOf(NameOf(ChannelObject::Region, instrument, bin).text) > count ||
           platform::LastChangeOf(NameOf(ChannelObject::Mutex, instrument, bin).text) > count;
}
