#pragma once

#include <cstdint>
#include <map>

#include "channel/RefusalRetry.h"

// The channels a receiver could not open, and when each is worth trying
// again. One whose objects were refused is tried again as RefusalRetry says,
// without a watch at most once a second, not on every state that arrives
// for it. Any other failure (a mutex still being set up, no room) is tried
// again with the next state.
class RefusedChannels {
public:
    RefusedChannels();

    // Whether the channel was refused and nothing has happened since that
    // could make it acceptable.
    bool StillRefused(int instrument, int bin) const;
    // Call before an attempt to open a channel, then one of these two.
    void BeforeOpen();
    // `refusal`: the failure was a refusal. True the first time the channel
    // fails since it was last opened: the time to say so.
    bool Failed(int instrument, int bin, bool refusal);
    void Opened(int instrument, int bin);

private:
    struct Failure {
        uint64_t at;       // change count (with the watch) or coarse milliseconds of the attempt
        bool untilChange;  // refused: wait for a change
    };

    RefusalRetry retry;
    uint64_t attemptAt = 0;
    std::map<int, Failure> failures;  // by ChannelId key
};
