#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/BridgeDomain.h"
#include "bridge/RefusedChannels.h"
#include "bridge/SampleCodec.h"
#include "bridge/SenderActivity.h"
#include "server/ChannelWriter.h"

// The viewers' side of the bridge: takes the channel states that senders
// publish for the instruments and bins it was asked for and writes each,
// under the channel's mutex, into the local channel of the same instrument
// and bin, creating the channel on its first state (and again on the next
// state when someone removed it). It never creates a channel it was not
// asked for, nor writes one that another process writes. A sender that goes
// away leaves its channels at their last state. When a sender that DDS
// counts as alive sends nothing for several heartbeats, the link lost a
// direction without DDS noticing, and a secure link would stay stuck long
// after it heals: the receiver then joins the domain again as a new
// participant, as a restart would.
class BridgeReceiver {
public:
    // `instruments` and `bins` are masks (bit n: number n); `mode` the
    // permission bits of the channels it creates.
    BridgeReceiver(uint32_t instruments, uint32_t bins, unsigned mode);
    BridgeReceiver(const BridgeReceiver&) = delete;
    BridgeReceiver& operator=(const BridgeReceiver&) = delete;
    // Deletes the readers, which waits for a state being written to finish.
    ~BridgeReceiver();

    // Keeps `domain`, which it joins again when a sender falls silent.
    bool Open(BridgeDomain& domain, std::string& error);
    // States are written on Cyclone's thread that delivers them, as soon as
    // they arrive; this waits up to `timeout` for news of senders and reports
    // them. False on a DDS failure, here or on the delivering thread.
    bool Step(dds_duration_t timeout, std::string& error);
    bool Run(bool (*stopRequested)(), std::string& error);

    // Writes one sample whose key the reader's filter accepted; a sample that
    // does not decode is dropped with a (rate-limited) warning.
    void Apply(const LumivexBridge_ChannelSample& sample);

private:
    // What the listener and the filter of one instrument's reader get.
    struct Source {
        BridgeReceiver* receiver;
        int instrument;
    };
    bool OpenReader(Source& source, std::string& error);
    void CloseReaders();
    bool Rejoin(std::string& error);
    static bool Wanted(const void* sample, void* source);
    static void OnDataAvailable(dds_entity_t reader, void* source);
    dds_return_t TakeAll(dds_entity_t from);
    void NoteSender(dds_entity_t from, const dds_sample_info_t& info, const LumivexBridge_ChannelSample& sample);
    bool SenderCutOff();
    void FollowSenders();
    void ReportSenders();
    ChannelWriter* WriterFor(int instrument, int bin, const ChannelState& first);
    void Reopen(int instrument, int bin, const ChannelState& state);

    uint32_t instruments;
    uint32_t bins;
    unsigned mode;
    BridgeDomain* domain = nullptr;
    std::vector<std::unique_ptr<Source>> sources;
    std::vector<dds_entity_t> readers;
    dds_entity_t waitset = 0;
    SenderActivity activity;
    uint32_t aliveSenders = 0;     // as DDS counts them now
    uint32_t reportedSenders = 0;  // as the last line about them said
    SenderActivity::Clock::time_point nextReport{};
    std::atomic<dds_return_t> takeFailure{0};
    // Only the delivering threads touch these (after Open).
    std::mutex writersGuard;
    std::map<int, std::unique_ptr<ChannelWriter>> writers;  // by ChannelId key
    RefusedChannels failedChannels;
};
