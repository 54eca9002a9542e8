#pragma once

#include "channel/ChannelId.h"
#include "channel/ChannelState.h"
#include "lumivex/lumivex.h"

// A channel's content in the records of the public interface.
lumivex_state StateRecord(const ChannelState& state);
// What channel `id` says of itself in `state`; the description is cut to
// what the record holds.
lumivex_channel_info InfoRecord(ChannelId id, const ChannelState& state);
