#pragma once

#include <cstdint>

#include "channel/TrackerClient.h"

// The sender's view of the tracking server: a tracker client that attaches
// only the bins it bridges, so that a bin it does not bridge is never opened,
// locked or warned about.
class SourceClient : public TrackerClient {
public:
    SourceClient(int instrument, uint32_t bins) : TrackerClient(instrument) { channelMask = bins; }

    // Whether every bridged bin is attached; until then Attach runs before
    // each pass, because a bin that is not open cannot be selected.
    bool AllAttached() const {
        for (int bin = 0; bin < maxChannels; ++bin)
            if ((channelMask & (1u << bin)) && !IsChannelOpen(bin)) return false;
        return true;
    }
};
