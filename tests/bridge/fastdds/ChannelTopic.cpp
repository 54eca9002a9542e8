#include "ChannelTopic.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fastdds/dds/domain/DomainParticipantFactory.hpp>
#include <fastdds/dds/publisher/Publisher.hpp>
#include <fastdds/dds/subscriber/Subscriber.hpp>
#include <fastdds/dds/topic/TypeSupport.hpp>

#include "ChannelSamplePubSubTypes.h"

using namespace eprosima::fastdds::dds;
using eprosima::fastrtps::Duration_t;

namespace {

// Every channel an instrument and bin can name: 16 x 16 instances.
constexpr int32_t channelCount = 256;

// The bridge's QoS: reliable, keep-last 1 per instance, transient-local,
// automatic liveliness with a 1 s lease (and plain CDR, set below). Fast DDS's own defaults
// differ in the lease (infinite, which the bridge's reader refuses) and in
// how many instances a reader keeps (10).
template <typename Qos>
void StateQos(Qos& qos) {
    qos.reliability().kind = RELIABLE_RELIABILITY_QOS;
    qos.history().kind = KEEP_LAST_HISTORY_QOS;
    qos.history().depth = 1;
    qos.durability().kind = TRANSIENT_LOCAL_DURABILITY_QOS;
    qos.liveliness().kind = AUTOMATIC_LIVELINESS_QOS;
    qos.liveliness().lease_duration = Duration_t(1, 0);
    qos.resource_limits().max_instances = channelCount;
    qos.resource_limits().max_samples = channelCount;
    qos.resource_limits().max_samples_per_instance = 1;
}

void AppendHex(std::string& line, const std::vector<uint8_t>& bytes) {
    char digits[3];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", byte);
        line += digits;
    }
}

}  // namespace

ChannelTopic::~ChannelTopic() {
    if (!participant) return;
    participant->delete_contained_entities();
    DomainParticipantFactory::get_instance()->delete_participant(participant);
}

std::string ChannelTopic::Open(uint32_t domain, const std::string& profileFile) {
    DomainParticipantFactory* factory = DomainParticipantFactory::get_instance();
    if (profileFile.empty() || factory->load_XML_profiles_file(profileFile) != ReturnCode_t::RETCODE_OK)
        return "cannot load the profile file '" + profileFile + "'";
    participant = factory->create_participant_with_profile(domain, profileName);
    if (!participant) return "cannot join DDS domain " + std::to_string(domain) + " with profile " + profileName;
    TypeSupport type(new LumivexBridge::ChannelSamplePubSubType());
    // Cyclone DDS 0.10 refuses endpoints that announce Fast DDS's type
    // information, and the two would then not see each other at all. Type
    // support generated without -typeobject has none to announce; these keep
    // it so should it be generated with it.
    type->auto_fill_type_information(false);
    type->auto_fill_type_object(false);
    if (type.register_type(participant) != ReturnCode_t::RETCODE_OK) return "cannot register the type";
    topic = participant->create_topic(topicName, type.get_type_name(), TOPIC_QOS_DEFAULT);
    return topic ? "" : "cannot create the topic";
}

// The bridge carries each instrument in a partition of its own.
DataWriter* ChannelTopic::CreateWriter(int instrument) {
    PublisherQos partition = PUBLISHER_QOS_DEFAULT;
    partition.partition().push_back(("lumivex-instrument-" + std::to_string(instrument)).c_str());
    Publisher* publisher = participant->create_publisher(partition);
    if (!publisher) return nullptr;
    DataWriterQos qos = DATAWRITER_QOS_DEFAULT;
    StateQos(qos);
    // Readers count a writer as alive only while it asserts so within the lease.
    qos.liveliness().announcement_period = Duration_t(0, 250000000);
    // A reader that joins late asks for the state on the next heartbeat (3 s by default).
    qos.reliable_writer_qos().times.heartbeatPeriod = Duration_t(0, 100000000);
    // A writer that ends leaves its channels at their last state, as the bridge does.
    qos.writer_data_lifecycle().autodispose_unregistered_instances = false;
    qos.representation().m_value = {XCDR_DATA_REPRESENTATION};
    return publisher->create_datawriter(topic, qos);
}

// Every instrument's partition.
DataReader* ChannelTopic::CreateReader() {
    SubscriberQos partitions = SUBSCRIBER_QOS_DEFAULT;
    partitions.partition().push_back("lumivex-instrument-*");
    Subscriber* subscriber = participant->create_subscriber(partitions);
    if (!subscriber) return nullptr;
    DataReaderQos qos = DATAREADER_QOS_DEFAULT;
    StateQos(qos);
    qos.type_consistency().representation.m_value = {XCDR_DATA_REPRESENTATION};
    return subscriber->create_datareader(topic, qos);
}

bool ChannelTopic::ReadNumber(const char* text, long highest, long& value) {
    std::size_t length = std::strlen(text);
    if (length == 0 || length > 9 || std::strspn(text, "0123456789") != length || (text[0] == '0' && length > 1))
        return false;
    value = std::strtol(text, nullptr, 10);
    return value <= highest;
}

bool ChannelTopic::AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

std::string ChannelTopic::Describe(const LumivexBridge::ChannelSample& sample) {
    std::string line = "instrument " + std::to_string(sample.instrument()) + " bin " + std::to_string(sample.bin()) +
                       " writeCount " + std::to_string(sample.writeCount()) + " flags " +
                       std::to_string(sample.flags()) + " timestamp " + std::to_string(sample.timestampMicros()) +
                       " records ";
    AppendHex(line, sample.records());
    line += " description ";
    AppendHex(line, sample.description());
    return line;
}
