#pragma once

#include "channel/ShMemChannelSet.h"

// The viewer's connection to one instrument of the tracking server: all
// sixteen channels, mapped read-only, each locked under its mutex or read
// through its write sequence (see ShMemChannelSet).
class TrackerClient : public ShMemChannelSet {
public:
    explicit TrackerClient(int instrument = 0);
    ~TrackerClient() override;

    bool OpenChannel(int index, ChannelTrouble& trouble) override;

private:
    bool OpenLockOrSequence(int index, ChannelTrouble& trouble);
};
