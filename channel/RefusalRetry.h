#pragma once

#include <chrono>
#include <cstdint>

#include "channel/ChannelId.h"

// When a channel whose objects were refused (the trust rule, a mutex not of
// our kind) is worth trying again. Trying on every look or every sample would
// cost system calls for nothing; with the process's shared-memory watch it is
// worth it once a change names one of the channel's objects (a chmod, a new
// owner, objects removed and made again). Without a watch nothing tells of
// changes, so it is worth it again once `unwatchedInterval` has passed since
// the refusal (zero: at once).
class RefusalRetry {
public:
    explicit RefusalRetry(std::chrono::milliseconds unwatchedInterval);

    bool Watched() const { return watched; }
    // The mark to keep with a refusal, taken before the attempt to open, so
    // that a change during the attempt makes the channel worth another try,
    // never the reverse: the watch's change count, or without a watch the
    // coarse clock in milliseconds.
    uint64_t Mark() const;
    // Whether the channel is worth trying again since its refusal at `mark`.
    bool WorthRetrying(ChannelId channel, uint64_t mark) const;
    // With a watch: whether a change named one of the channel's objects after
    // the watch's change count was `count`.
    static bool NamesChangedSince(ChannelId channel, uint64_t count);

private:
    bool watched;
    uint64_t unwatchedIntervalMs;
};
