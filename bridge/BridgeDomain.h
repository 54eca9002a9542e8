#pragma once

#include <cstdint>
#include <string>

#include <dds/dds.h>

class SecuritySettings;

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

    dds_entity_t Participant() const { return participant; }
    dds_entity_t Topic() const { return topic; }

    // The QoS every bridge writer and reader uses (free with dds_delete_qos).
    static dds_qos_t* StateQos();
    // The QoS of the publisher or subscriber of one instrument's channels.
    static dds_qos_t* InstrumentQos(int instrument);

private:
    bool CreateDomain(uint32_t domainId, std::string& error);

    dds_entity_t domain = 0;
    dds_entity_t participant = 0;
    dds_entity_t topic = 0;
};

// Sets `error` to "what: DDS's reason" and returns false.
bool DdsFailure(std::string& error, const std::string& what, dds_return_t code);

// How long a sender may stay silent before receivers count it as gone.
constexpr dds_duration_t senderLease = DDS_SECS(1);

constexpr uint32_t highestBridgeDomain = 232;  // DDS port numbers run out above it
// Cyclone's access control reads domain ids up to 230 only.
constexpr uint32_t highestRigDomain = 230;
constexpr const char* bridgeTopic = "LumivexChannelState";

// Every instrument's channels travel in a partition of their own, so that a
// rig's permissions can name the instruments a member may send.
std::string InstrumentPartition(int instrument);
// Matches every instrument's partition.
constexpr const char* anyInstrumentPartition = "lumivex-instrument-*";
