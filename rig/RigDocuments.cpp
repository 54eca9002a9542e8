#include "rig/RigDocuments.h"

#include <cstdio>
#include <cstring>

#include "channel/ChannelId.h"
#include "rig/GrantedNames.h"
#include "rig/RigCrypto.h"
#include "platform/Timing.h"

namespace {

// No schema location: the plugins read the documents without one.
const char* const xmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dds>\n";
constexpr long day = 24 * 3600;
const char* const validUntilTag = "<not_after>";

std::string Domains() {
    return "<domains><id_range><min>0</min><max>" + std::to_string(highestRigDomain) + "</max></id_range></domains>\n";
}

std::string TopicRule(const std::string& expression, bool accessControl) {
    const std::string flag = accessControl ? "true" : "false";
    return "        <topic_rule>\n"
           "          <topic_expression>" +
           expression +
           "</topic_expression>\n"
           "          <enable_discovery_protection>true</enable_discovery_protection>\n"
           "          <enable_liveliness_protection>true</enable_liveliness_protection>\n"
           "          <enable_read_access_control>" +
           flag +
           "</enable_read_access_control>\n"
           "          <enable_write_access_control>" +
           flag +
           "</enable_write_access_control>\n"
           "          <metadata_protection_kind>ENCRYPT</metadata_protection_kind>\n"
           "          <data_protection_kind>ENCRYPT</data_protection_kind>\n"
           "        </topic_rule>\n";
}

// One partition per instrument: a grant names the partitions it may write.
std::string Partitions(uint32_t mask) {
    std::string list;
    for (int instrument = 0; instrument < ChannelId::count; ++instrument)
        if (mask & (1u << instrument)) list += "<partition>" + InstrumentPartition(instrument) + "</partition>";
    return list;
}

std::string Rule(uint32_t sendMask) {
    const std::string topic = std::string("<topics><topic>") + bridgeTopic + "</topic></topics>";
    if (sendMask == 0)
        return "<subscribe>" + topic + "<partitions><partition>" + anyInstrumentPartition +
               "</partition></partitions></subscribe>";
    return "<publish>" + topic + "<partitions>" + Partitions(sendMask) + "</partitions></publish>";
}

}  // namespace

std::string RigDocuments::Governance() {
    return std::string(xmlHead) +
           "  <domain_access_rules>\n"
           "    <domain_rule>\n"
           "      " +
           Domains() +
           "      <allow_unauthenticated_participants>false</allow_unauthenticated_participants>\n"
           "      <enable_join_access_control>true</enable_join_access_control>\n"
           "      <discovery_protection_kind>ENCRYPT</discovery_protection_kind>\n"
           "      <liveliness_protection_kind>ENCRYPT</liveliness_protection_kind>\n"
           "      <rtps_protection_kind>NONE</rtps_protection_kind>\n"
           "      <topic_access_rules>\n" +
           TopicRule(bridgeTopic, true) + TopicRule("*", false) +
           "      </topic_access_rules>\n"
           "    </domain_rule>\n"
           "  </domain_access_rules>\n"
           "</dds>\n";
}

std::string RigDocuments::Timestamp(std::time_t when) {
    char text[32];
    std::tm parts{};
    gmtime_r(&when, &parts);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    return text;
}

bool RigDocuments::GrantValidUntil(const std::string& grant, std::time_t& end) {
    size_t at = grant.find(validUntilTag);
    std::tm parts{};
    char tail = 0;
    if (at == std::string::npos ||
        std::sscanf(grant.c_str() + at + std::strlen(validUntilTag), "%4d-%2d-%2dT%2d:%2d:%2d%c", &parts.tm_year,
                    &parts.tm_mon, &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &tail) != 7 ||
        tail != '<')
        return false;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    end = platform::UtcTime(parts);
    return true;
}

std::string RigDocuments::Permissions(const std::string& name, uint32_t sendMask, std::time_t from, long days) {
    return std::string(xmlHead) +
           "  <permissions>\n"
           "    <grant name=\"" +
           name +
           "\">\n"
           "      <subject_name>" +
           RigCrypto::Subject(name) +
           "</subject_name>\n"
           "      <validity><not_before>" +
           Timestamp(from - day) + "</not_before><not_after>" + Timestamp(from + days * day) +
           "</not_after></validity>\n"
           "      <allow_rule>\n"
           "        " +
           Domains() + "        " + Rule(sendMask) +
           "\n"
           "      </allow_rule>\n"
           "      <default>DENY</default>\n"
           "    </grant>\n"
           "  </permissions>\n"
           "</dds>\n";
}
