#include "bridge/BridgeDomain.h"

#include <cstdlib>
#include <cstring>

#include "ChannelSample.h"
#include "channel/ChannelName.h"
#include "platform/Host.h"
#include "platform/Libraries.h"

namespace {

// Participants that lost each other for longer than the lease find each other
// again through the next discovery announcement; Cyclone's default interval
// (30 s, sent early only as the lease nears its end) left a healed network
// without channels for seconds. Announcing every half second costs one small
// packet per peer and keeps recovery within a second. CYCLONEDDS_URI comes
// after, so a user's own settings win.
const char* const discoverySettings =
    "<Discovery><LeaseDuration>10s</LeaseDuration><SPDPInterval>500ms</SPDPInterval></Discovery>";

// What a sender's writer announces: it writes at least once per heartbeat.
const char heartbeatPromise[] = "lumivex-bridge sender: heartbeat";

std::string Configuration() {
    const char* user = std::getenv("CYCLONEDDS_URI");
    return std::string(discoverySettings) + (user && *user ? std::string(",") + user : std::string());
}

}  // namespace

bool DdsFailure(std::string& error, const std::string& what, dds_return_t code) {
    error = what + ": " + dds_strretcode(code);
    return false;
}

BridgeDomain::~BridgeDomain() {
    // Deleting the domain deletes its participant, topic, writers and readers.
    if (domain > 0) dds_delete(domain);
}

// Cyclone creates the files a configuration names (traces, packet captures)
// with the umask's permissions; a trace at "finest" holds the session's keys.
bool BridgeDomain::CreateDomain(std::string& error) {
    platform::KeepNewFilesPrivate();
    domain = dds_create_domain(id, Configuration().c_str());
    return domain > 0 || DdsFailure(error, "cannot set up DDS domain " + std::to_string(id), domain);
}

bool BridgeDomain::Open(uint32_t domainId, const SecuritySettings* settings, std::string& error) {
    if (settings && domainId > highestRigDomain) {
        error = "a secure rig uses DDS domains 0.." + std::to_string(highestRigDomain) + ", not " +
                std::to_string(domainId);
        return false;
    }
    id = domainId;
    secure = settings != nullptr;
    if (settings) security = *settings;
    return Join(error);
}

bool BridgeDomain::Reopen(std::string& error) {
    if (domain > 0) dds_delete(domain);
    domain = participant = topic = 0;
    return Join(error);
}

bool BridgeDomain::Join(std::string& error) {
    if (!CreateDomain(error)) return false;
    dds_qos_t* participantQos = dds_create_qos();
    if (secure) security.ApplyTo(participantQos);
    participant = dds_create_participant(id, participantQos, nullptr);
    dds_delete_qos(participantQos);
    if (participant < 0) return DdsFailure(error, "cannot join DDS domain " + std::to_string(id), participant);
    dds_qos_t* qos = StateQos();
    topic = dds_create_topic(participant, &LumivexBridge_ChannelSample_desc, bridgeTopic, qos, nullptr);
    dds_delete_qos(qos);
    return topic > 0 || DdsFailure(error, "cannot create the topic", topic);
}

// Cyclone keeps the security of its own configuration to itself, but loads
// the authentication plugin for every secured participant and refuses to make
// one whose plugin it cannot load: a participant that exists alongside the
// loaded plugin is secured.
bool BridgeDomain::Secured() const { return participant > 0 && platform::LibraryLoaded(authenticationPlugin); }

// The filter belongs to the topic entity, so every filtered reader gets an
// entity of its own, filtered before the reader is created.
dds_entity_t BridgeDomain::FilteredTopic(dds_topic_filter_arg_fn accepts, void* argument) const {
    dds_qos_t* qos = StateQos();
    dds_entity_t own = dds_create_topic(participant, &LumivexBridge_ChannelSample_desc, bridgeTopic, qos, nullptr);
    dds_delete_qos(qos);
    if (own < 0) return own;
    dds_return_t result = dds_set_topic_filter_and_arg(own, accepts, argument);
    return result < 0 ? result : own;
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

dds_qos_t* BridgeDomain::SenderQos() {
    dds_qos_t* qos = StateQos();
    dds_qset_userdata(qos, heartbeatPromise, sizeof heartbeatPromise - 1);
    return qos;
}

bool BridgeDomain::PromisesHeartbeat(const dds_qos_t* qos) {
    void* value = nullptr;
    size_t size = 0;
    bool promised = qos && dds_qget_userdata(qos, &value, &size) && size == sizeof heartbeatPromise - 1 &&
                    std::memcmp(value, heartbeatPromise, size) == 0;
    dds_free(value);
    return promised;
}

// A reader keeps one sample of each of an instrument's bins at most; the
// limits hold whatever a writer on the domain sends.
dds_qos_t* BridgeDomain::ReaderQos() {
    dds_qos_t* qos = StateQos();
    dds_qset_resource_limits(qos, channelsPerInstrument, channelsPerInstrument, 1);
    return qos;
}

dds_qos_t* BridgeDomain::InstrumentQos(int instrument) {
    dds_qos_t* qos = dds_create_qos();
    dds_qset_partition1(qos, InstrumentPartition(instrument).c_str());
    return qos;
}
