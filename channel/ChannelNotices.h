#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "channel/ShMemChannelSet.h"

// What a reader of channels tells its user once per event, in the same words
// in every program: a server found dead holding a channel's mutex (with
// whether what it left is half written), a mutex that stays held past
// heldBound, and that such a channel is read again. A single wait that runs
// out is no event: a server preempted mid-write holds its mutex for a frame
// or two on a busy machine.
class ChannelNotices {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds heldBound{1};

    // After a read of channel `bin` of `set` at `now` (`read`: whether it
    // succeeded): the events since the last call, a line each.
    std::vector<std::string> After(const ShMemChannelSet& set, int bin, bool read, Clock::time_point now);

private:
    struct Channel {
        uint32_t deaths = 0;
        bool waiting = false;  // its mutex has been held since heldSince
        bool heldSaid = false;
        Clock::time_point heldSince{};
    };
    void FollowHold(Channel& channel, const std::string& mutex, bool held, bool read, Clock::time_point now,
                    std::vector<std::string>& lines);

    Channel channels[ShMemChannelSet::maxChannels * ShMemChannelSet::maxChannels];
};
