#pragma once

#include <vector>

#include "channel/ChannelId.h"
#include "channel/ChannelState.h"

// A channel that is published and passes the trust rule, as it reads now.
struct PublishedChannel {
    ChannelId id;
    ChannelState state;
};

// Every published channel of every instrument, by instrument and bin.
std::vector<PublishedChannel> ListPublishedChannels();
