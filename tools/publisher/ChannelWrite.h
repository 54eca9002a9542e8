#pragma once

#include <cstdint>
#include <string>

#include "server/ChannelWriter.h"
#include "server/WriteStamp.h"
#include "tools/publisher/Pacer.h"
#include "tools/publisher/PublisherOptions.h"

// One write of a whole channel under its mutex, with the faults the options
// ask for (holding the lock, dying while holding it). A hold ends early once
// the pacer says stop. Objects the channel had to create again are warned
// about.
bool WriteChannel(ChannelWriter& channel, const PublisherOptions& options, const ChannelState& state,
                  const Pacer& pacer);

// At the end: a line on standard error for a channel that skipped or lost writes.
void ReportSkippedWrites(const ChannelWriter& channel);
