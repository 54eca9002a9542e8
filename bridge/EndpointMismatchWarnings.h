#pragma once

#include <cstdint>
#include <string>

#include <dds/dds.h>

// Why another DDS program on the channel topic and the bridge do not see each
// other. DDS matches a writer and a reader only when their QoS agree and
// their types fit; otherwise both stay silent, so a foreign program written
// with its implementation's defaults (an infinite liveliness lease, say)
// would look as if it were not running. These callbacks say it instead: one
// warning line per mismatch, naming the policy, limited so that a program
// that keeps coming back cannot flood the terminal.
class EndpointMismatchWarnings {
public:
    // Adds the warnings to the listener a writer or reader is created with
    // (set at creation: endpoints already known are matched inside it).
    static void AddToWriter(dds_listener_t* listener);
    static void AddToReader(dds_listener_t* listener);
    // Warns when another program uses the topic's name with another type.
    static dds_return_t WatchTopic(dds_entity_t topic);

    // A QoS policy in words ("liveliness", "data representation").
    static std::string PolicyName(uint32_t policyId);
};
