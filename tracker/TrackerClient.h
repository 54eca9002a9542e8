#pragma once

#include "tracker/ShMemChannelSet.h"

// The viewer's connection to one instrument of the tracking server: all
// sixteen channels, opened read-only.
class TrackerClient : public ShMemChannelSet {
public:
    explicit TrackerClient(int instrument = 0);
    ~TrackerClient() override;

    bool OpenChannel(int index) override;
};
