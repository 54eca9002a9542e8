#pragma once

#include <atomic>
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
    BridgeReceiver() = default;
    BridgeReceiver(const BridgeReceiver&) = delete;
    BridgeReceiver& operator=(const BridgeReceiver&) = delete;
    // Deletes the reader, which waits for a state being written to finish.
    ~BridgeReceiver();

    bool Open(const BridgeDomain& domain, std::string& error);
    // States are written on Cyclone's thread that delivers them, as soon as
    // they arrive; this waits up to `timeout` for news of senders and reports
    // them. False on a DDS failure, here or on the delivering thread.
    bool Step(dds_duration_t timeout, std::string& error);
    bool Run(bool (*stopRequested)(), std::string& error);

    // Writes one received sample; a sample that does not decode is dropped
    // with a warning.
    void Apply(const LumivexBridge_ChannelSample& sample);

private:
    static void OnDataAvailable(dds_entity_t reader, void* receiver);
    dds_return_t TakeAll(dds_entity_t from);
    void FollowSenders();
    ChannelWriter* WriterFor(int instrument, int bin, const ChannelState& first);

    dds_entity_t reader = 0;
    dds_entity_t waitset = 0;
    uint32_t aliveSenders = 0;
    std::atomic<dds_return_t> takeFailure{0};
    // Only the delivering thread touches these (after Open).
    std::map<int, std::unique_ptr<ChannelWriter>> writers;  // by instrument * 16 + bin
    std::set<int> failedChannels;                           // warned about once
};
