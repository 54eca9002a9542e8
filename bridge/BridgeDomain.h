#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include <dds/dds.h>

#include "bridge/SecuritySettings.h"
#include "rig/GrantedNames.h"

// The bridge's place on DDS: a participant in one domain and the topic that
// carries channel states, with the QoS that suits a state stream. Cyclone's
// own configuration (network interfaces, peers) comes from CYCLONEDDS_URI.
class BridgeDomain {
public:
    BridgeDomain() = default;
    BridgeDomain(const BridgeDomain&) = delete;
    BridgeDomain& operator=(const BridgeDomain&) = delete;
    ~BridgeDomain();

    // Joins `domainId` and creates the topic; on failure `error` says why.
    // Without `security` the participant is plain: anyone who reaches the
    // domain can write channels.
    bool Open(uint32_t domainId, const SecuritySettings* security, std::string& error);
    // Leaves the domain, which deletes every entity in it, and joins it again
    // as a new participant, as Open did.
    bool Reopen(std::string& error);

    // Whether the participant joined with DDS Security, configured by
    // `security` or by Cyclone's own configuration (CYCLONEDDS_URI).
    bool Secured() const;

    dds_entity_t Participant() const { return participant; }
    dds_entity_t Topic() const { return topic; }
    // Another entity of the channel topic, for one reader, filtered by
    // `accepts`: a sample it refuses is dropped before the reader keeps
    // anything of its key. Negative on failure.
    dds_entity_t FilteredTopic(dds_topic_filter_arg_fn accepts, void* argument) const;

    // The QoS every bridge writer and reader uses (free with dds_delete_qos).
    static dds_qos_t* StateQos();
    // StateQos with the sender's promise of a heartbeat, which receivers hold
    // it to; other DDS programs that write states make no such promise.
    static dds_qos_t* SenderQos();
    // Whether a writer with `qos` promised the heartbeat.
    static bool PromisesHeartbeat(const dds_qos_t* qos);
    // StateQos with limits for a reader of one instrument's channels.
    static dds_qos_t* ReaderQos();
    // The QoS of the publisher or subscriber of one instrument's channels.
    static dds_qos_t* InstrumentQos(int instrument);

private:
    bool CreateDomain(std::string& error);
    bool Join(std::string& error);

    uint32_t id = 0;
    bool secure = false;
    SecuritySettings security;
    dds_entity_t domain = 0;
    dds_entity_t participant = 0;
    dds_entity_t topic = 0;
};

// Sets `error` to "what: DDS's reason" and returns false.
bool DdsFailure(std::string& error, const std::string& what, dds_return_t code);

// How long a sender may stay silent before receivers count it as gone.
constexpr dds_duration_t senderLease = DDS_SECS(1);
// A sender writes at least this often, its newest states again when nothing
// changed, so that a receiver can tell a live sender from a cut link.
constexpr std::chrono::seconds senderHeartbeat{1};

constexpr uint32_t highestBridgeDomain = 232;  // DDS port numbers run out above it
