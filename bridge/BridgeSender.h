#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "bridge/BridgeDomain.h"
#include "channel/ChangeDetector.h"
#include "channel/ChannelNotices.h"
#include "channel/ChannelState.h"
#include "bridge/SourceClient.h"

// The tracking server's side of the bridge: reads the selected channels of
// one instrument the way the viewer does (select, attach, lock, copy, unlock)
// and publishes a channel's whole state whenever it differs from the last one
// published. Channels that are not there yet are attached once the server
// creates them. At least once a heartbeat it writes: when nothing changed,
// its newest states again, which tells receivers that its link still
// carries states.
class BridgeSender {
public:
    BridgeSender(int instrument, uint32_t binMask);

    bool Open(const BridgeDomain& domain, std::string& error);
    // One pass over the selected bins: how many were published, or -1 when a
    // write failed.
    int Poll(std::string& error);
    // Polls until `stopRequested` says so, when the ChangeDetector expects a
    // write, and every `slowPoll` while a channel's writes are not foreseen;
    // false on failure.
    bool Run(bool (*stopRequested)(), std::chrono::microseconds slowPoll, std::string& error);

private:
    // 1 published, 0 unchanged, -1 failed.
    int PublishIfChanged(int bin, const ChannelState& state, std::string& error);
    bool Write(int bin, const ChannelState& state, std::string& error);
    bool Heartbeat(std::string& error);

    SourceClient client;
    ChannelNotices notices;
    int instrument;
    uint32_t bins;
    dds_entity_t writer = 0;
    uint32_t sentBins = 0;  // bins published at least once
    ChannelState lastSent[16];
    ChangeDetector detector{16, std::chrono::microseconds(100)};
    std::chrono::steady_clock::time_point lastWrite{};
};
