#pragma once

#include <cstdint>

#include "server/ChannelWriter.h"
#include "tools/publisher/PublisherOptions.h"

// One write of a whole channel under its mutex, with the faults the options
// ask for (holding the lock, dying while holding it).
bool WriteChannel(ChannelWriter& channel, const PublisherOptions& options, const ChannelState& state);

// The low 32 bits of the monotonic clock in microseconds: readers compare it
// with their own clock to tell how old a pose is.
uint32_t TimestampMicros();
