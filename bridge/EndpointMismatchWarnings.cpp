#include "bridge/EndpointMismatchWarnings.h"

#include <cstdint>
#include <iterator>

#include "text/ConsoleText.h"
#include "text/Warning.h"

namespace {

constexpr int takeBatch = 8;

// Indexed by Cyclone's dds_qos_policy_id_t.
const char* const policyNames[] = {"an invalid policy",
                                   "user data",
                                   "durability",
                                   "presentation",
                                   "deadline",
                                   "latency budget",
                                   "ownership",
                                   "ownership strength",
                                   "liveliness",
                                   "time-based filter",
                                   "partition",
                                   "reliability",
                                   "destination order",
                                   "history",
                                   "resource limits",
                                   "entity factory",
                                   "writer data lifecycle",
                                   "reader data lifecycle",
                                   "topic data",
                                   "group data",
                                   "transport priority",
                                   "lifespan",
                                   "durability service",
                                   "property",
                                   "type consistency (the types do not fit)",
                                   "data representation"};
static_assert(std::size(policyNames) == DDS_DATA_REPRESENTATION_QOS_POLICY_ID + 1, "one name per policy id");

std::string NameOf(dds_entity_t topic) {
    char name[256] = "";
    return dds_get_name(topic, name, sizeof name) < 0 ? "the channel topic" : name;
}

std::string TypeNameOf(dds_entity_t topic) {
    char name[256] = "";
    return dds_get_type_name(topic, name, sizeof name) < 0 ? "" : name;
}

// Partitions keep instruments apart: a sender and a receiver of different
// instruments differ in partition by design, and no warning is due.
bool DifferByDesign(uint32_t policyId) { return policyId == DDS_PARTITION_QOS_POLICY_ID; }

void OnOfferedIncompatibleQos(dds_entity_t writer, const dds_offered_incompatible_qos_status_t status, void*) {
    if (DifferByDesign(status.last_policy_id)) return;
    std::string policy = EndpointMismatchWarnings::PolicyName(status.last_policy_id);
    PrintLimitedWarning("reader qos " + policy, "DDS reader",
                        "a reader of " + NameOf(dds_get_topic(writer)) + " does not match this sender's QoS in " +
                            policy + "; it gets no states");
}

void OnRequestedIncompatibleQos(dds_entity_t reader, const dds_requested_incompatible_qos_status_t status, void*) {
    if (DifferByDesign(status.last_policy_id)) return;
    std::string policy = EndpointMismatchWarnings::PolicyName(status.last_policy_id);
    PrintLimitedWarning("writer qos " + policy, "DDS writer",
                        "a writer of " + NameOf(dds_get_topic(reader)) + " does not match this receiver's QoS in " +
                            policy + "; its states are not received");
}

// `announcements` reads the endpoints discovery found, of every program in
// the domain, this one's included; those on the name of `topic` must have its type.
void CheckTypes(dds_entity_t announcements, dds_entity_t topic, const std::string& role,
                const std::string& consequence) {
    const std::string topicName = NameOf(topic), typeName = TypeNameOf(topic);
    void* samples[takeBatch] = {};
    dds_sample_info_t infos[takeBatch];
    dds_return_t count;
    while ((count = dds_take(announcements, samples, infos, takeBatch, takeBatch)) > 0) {
        for (int i = 0; i < count; ++i) {
            const auto* endpoint = static_cast<const dds_builtintopic_endpoint_t*>(samples[i]);
            if (infos[i].valid_data && topicName == endpoint->topic_name && typeName != endpoint->type_name)
                PrintLimitedWarning(role + " type", "DDS " + role,
                                    "a " + role + " of " + topicName + " has type " + ConsoleText(endpoint->type_name) +
                                        ", not " + typeName + "; " + consequence);
        }
        dds_return_loan(announcements, samples, count);
    }
    if (count < 0)
        PrintLimitedWarning(role + " type", "DDS " + role,
                            std::string("cannot check the types of announced ") + role + "s: " + dds_strretcode(count));
}

dds_entity_t TopicIn(void* topicArg) { return static_cast<dds_entity_t>(reinterpret_cast<intptr_t>(topicArg)); }

void OnReaderAnnounced(dds_entity_t announcements, void* topicArg) {
    CheckTypes(announcements, TopicIn(topicArg), "reader", "it gets no states");
}

void OnWriterAnnounced(dds_entity_t announcements, void* topicArg) {
    CheckTypes(announcements, TopicIn(topicArg), "writer", "its states are not received");
}

dds_return_t WatchTypes(dds_entity_t participant, dds_entity_t builtinTopic, dds_entity_t topic,
                        dds_on_data_available_fn callback) {
    dds_listener_t* listener = dds_create_listener(reinterpret_cast<void*>(static_cast<intptr_t>(topic)));
    dds_lset_data_available(listener, callback);
    dds_entity_t reader = dds_create_reader(participant, builtinTopic, nullptr, listener);
    dds_delete_listener(listener);
    return reader < 0 ? reader : DDS_RETCODE_OK;
}

}  // namespace

void EndpointMismatchWarnings::AddToWriter(dds_listener_t* listener) {
    dds_lset_offered_incompatible_qos(listener, OnOfferedIncompatibleQos);
}

void EndpointMismatchWarnings::AddToReader(dds_listener_t* listener) {
    dds_lset_requested_incompatible_qos(listener, OnRequestedIncompatibleQos);
}

dds_return_t EndpointMismatchWarnings::WatchReaderTypes(dds_entity_t participant, dds_entity_t topic) {
    return WatchTypes(participant, DDS_BUILTIN_TOPIC_DCPSSUBSCRIPTION, topic, OnReaderAnnounced);
}

dds_return_t EndpointMismatchWarnings::WatchWriterTypes(dds_entity_t participant, dds_entity_t topic) {
    return WatchTypes(participant, DDS_BUILTIN_TOPIC_DCPSPUBLICATION, topic, OnWriterAnnounced);
}

std::string EndpointMismatchWarnings::PolicyName(uint32_t policyId) {
    if (policyId < std::size(policyNames)) return policyNames[policyId];
    return "policy " + std::to_string(policyId);
}
