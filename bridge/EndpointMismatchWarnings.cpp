#include "bridge/EndpointMismatchWarnings.h"

#include <iterator>

#include "tracker/Warning.h"

namespace {

// Indexed by Cyclone's dds_qos_policy_id_t.
const char* const policyNames[] = {
    "an invalid policy", "user data", "durability", "presentation", "deadline", "latency budget",
    "ownership", "ownership strength", "liveliness", "time-based filter", "partition", "reliability",
    "destination order", "history", "resource limits", "entity factory", "writer data lifecycle",
    "reader data lifecycle", "topic data", "group data", "transport priority", "lifespan",
    "durability service", "property", "type consistency (the types do not fit)", "data representation"};
static_assert(std::size(policyNames) == DDS_DATA_REPRESENTATION_QOS_POLICY_ID + 1, "one name per policy id");

std::string TopicOf(dds_entity_t endpoint) {
    char name[256] = "";
    dds_entity_t topic = dds_get_topic(endpoint);
    if (topic < 0 || dds_get_name(topic, name, sizeof name) < 0) return "the channel topic";
    return name;
}

void OnOfferedIncompatibleQos(dds_entity_t writer, const dds_offered_incompatible_qos_status_t status, void*) {
    std::string policy = EndpointMismatchWarnings::PolicyName(status.last_policy_id);
    PrintLimitedWarning("reader qos " + policy, "DDS reader",
                        "a reader of " + TopicOf(writer) + " does not match this sender's QoS in " + policy +
                            "; it gets no states");
}

void OnRequestedIncompatibleQos(dds_entity_t reader, const dds_requested_incompatible_qos_status_t status, void*) {
    std::string policy = EndpointMismatchWarnings::PolicyName(status.last_policy_id);
    PrintLimitedWarning("writer qos " + policy, "DDS writer",
                        "a writer of " + TopicOf(reader) + " does not match this receiver's QoS in " + policy +
                            "; its states are not received");
}

void OnInconsistentTopic(dds_entity_t topic, const dds_inconsistent_topic_status_t, void*) {
    char name[256] = "the channel topic";
    dds_get_name(topic, name, sizeof name);
    PrintLimitedWarning("inconsistent topic", "DDS topic",
                        std::string("another program uses ") + name + " with another type; it is not matched");
}

}  // namespace

void EndpointMismatchWarnings::AddToWriter(dds_listener_t* listener) {
    dds_lset_offered_incompatible_qos(listener, OnOfferedIncompatibleQos);
}

void EndpointMismatchWarnings::AddToReader(dds_listener_t* listener) {
    dds_lset_requested_incompatible_qos(listener, OnRequestedIncompatibleQos);
}

dds_return_t EndpointMismatchWarnings::WatchTopic(dds_entity_t topic) {
    dds_listener_t* listener = dds_create_listener(nullptr);
    dds_lset_inconsistent_topic(listener, OnInconsistentTopic);
    dds_return_t result = dds_set_listener(topic, listener);
    dds_delete_listener(listener);
    return result;
}

std::string EndpointMismatchWarnings::PolicyName(uint32_t policyId) {
    if (policyId < std::size(policyNames)) return policyNames[policyId];
    return "policy " + std::to_string(policyId);
}
