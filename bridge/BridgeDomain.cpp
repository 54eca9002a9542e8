#include "bridge/BridgeDomain.h"

#include "ChannelSample.h"

namespace {

const char* const topicName = "LumivexChannelState";

}  // namespace

bool DdsFailure(std::string& error, const std::string& what, dds_return_t code) {
    error = what + ": " + dds_strretcode(code);
    return false;
}

BridgeDomain::~BridgeDomain() {
    // Deleting the participant deletes its topic, writers and readers.
    if (participant > 0) dds_delete(participant);
}

bool BridgeDomain::Open(uint32_t domainId, std::string& error) {
    participant = dds_create_participant(domainId, nullptr, nullptr);
    if (participant < 0) return DdsFailure(error, "cannot join DDS domain " + std::to_string(domainId), participant);
    dds_qos_t* qos = StateQos();
    topic = dds_create_topic(participant, &LumivexBridge_ChannelSample_desc, topicName, qos, nullptr);
    dds_delete_qos(qos);
    return topic > 0 || DdsFailure(error, "cannot create the topic", topic);
}

// A channel is a state, not a stream of events: only its latest sample
// matters. Reliable so that the last write is never lost; keep-last 1 per
// instance (one instance per instrument and bin) so that a slow reader skips
// to the newest state instead of queueing old ones; transient-local so that a
// receiver that joins late gets every channel's current state from the
// sender's history at once. Automatic liveliness with a short lease tells
// receivers when a sender is gone; instances are not disposed when a sender
// ends, because the last state stays valid until a sender brings a new one.
// The encoding is named rather than left to Cyclone's default: plain CDR
// (XCDR1) is what other DDS implementations read, and a default that moved
// to XCDR2 would cut them off without a word.
dds_qos_t* BridgeDomain::StateQos() {
    static const dds_data_representation_id_t plainCdr[] = {DDS_DATA_REPRESENTATION_XCDR1};
    dds_qos_t* qos = dds_create_qos();
    dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, DDS_SECS(1));
    dds_qset_history(qos, DDS_HISTORY_KEEP_LAST, 1);
    dds_qset_durability(qos, DDS_DURABILITY_TRANSIENT_LOCAL);
    dds_qset_liveliness(qos, DDS_LIVELINESS_AUTOMATIC, senderLease);
    dds_qset_writer_data_lifecycle(qos, false);
    dds_qset_data_representation(qos, 1, plainCdr);
    return qos;
}
