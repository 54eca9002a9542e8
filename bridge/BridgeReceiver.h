#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "bridge/BridgeDomain.h"
#include "bridge/SampleCodec.h"
#include "server/ChannelWriter.h"

// The viewers' side of the bridge: takes every channel state that senders
// publish and writes it, under the channel's mutex, into the local channel of
// the same instrument and bin, creating the channel on its first state. A
// sender that goes away leaves its channels at their last state.
class BridgeReceiver {
public:
    bool Open(const BridgeDomain& domain, std::string& error);
    // Waits up to `timeout` for states or news of senders and handles them;
    // false on a DDS failure.
    bool Step(dds_duration_t timeout, std::string& error);
    bool Run(bool (*stopRequested)(), std::string& error);

    // Writes one received sample; a sample that does not decode is dropped
    // with a warning.
    void Apply(const LumivexBridge_ChannelSample& sample);

private:
    bool TakeAll(std::string& error);
    void FollowSenders();
    ChannelWriter* WriterFor(int instrument, int bin);

    dds_entity_t reader = 0;
    dds_entity_t waitset = 0;
    uint32_t aliveSenders = 0;
    std::map<int, std::unique_ptr<ChannelWriter>> writers;  // by instrument * 16 + bin
    std::set<int> failedChannels;                           // warned about once
};
