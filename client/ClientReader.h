#pragma once

#include <chrono>
#include <mutex>

#include "channel/ChangeDetector.h"
#include "channel/ChannelId.h"
#include "channel/ChannelState.h"
#include "channel/TrackerClient.h"
#include "client/Outcome.h"

// One channel read as the programs read it, by one reader of the public
// interface: what it last returned, and when the next write is due. Its
// calls take turns.
class ClientReader {
public:
    explicit ClientReader(ChannelId id);

    // The first read: the channel must be readable now.
    Outcome Open();
    Outcome Read(lumivex_state& state);
    // Waits until `timeout` is over for a write unlike the last one returned.
    Outcome Wait(std::chrono::milliseconds timeout, lumivex_state& state);
    lumivex_channel_info Info();

private:
    using Clock = ChangeDetector::Clock;

    Outcome Fetch(ChannelState& fresh, const std::chrono::nanoseconds* budget = nullptr);
    Outcome Trouble();
    bool IsNew(const ChannelState& fresh) const;
    Outcome Keep(ChannelState&& fresh, lumivex_state& state);

    std::mutex turn;
    const ChannelId id;
    TrackerClient client;
    ChangeDetector detector;
    ChannelState last;
};
