#pragma once

#include <cstdint>
#include <map>

// The channels a receiver could not open, and when each is worth trying
// again. One whose objects were refused (the trust rule, a mutex not of our
// kind) is not tried on every state that arrives for it, which would cost
// system calls per sample, but once a change names one of its objects, as
// the process's shared-memory watch reports it (a chmod, a new owner,
// objects removed and made again); without a watch, at most once a second.
// Any other failure (a mutex still being set up, no room) is tried again
// with the next state.
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

    bool NamesChangedSince(int instrument, int bin, uint64_t count) const;

    bool watched;
    uint64_t attemptAt = 0;
    std::map<int, Failure> failures;  // by ChannelId key
};
