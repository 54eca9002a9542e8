#pragma once

#include <string>

#include <dds/dds.h>

// Why another DDS program on the channel topic and the bridge do not see each
// other. DDS matches a writer and a reader only when their QoS agree and
// their types are the same; otherwise both stay silent, so a foreign program
// written with its implementation's defaults (an infinite liveliness lease,
// say) would look as if it were not running. These say it instead: one
// warning line per kind of mismatch, naming the policy or the type (escaped:
// it is the remote program's text), limited so that a program that keeps
// coming back, or one with many types, cannot flood the terminal. Partitions
// are not a mismatch: they keep instruments apart.
class EndpointMismatchWarnings {
public:
    // Adds the QoS warnings to the listener a writer or reader is created
    // with (set at creation: endpoints already known are matched inside it).
    static void AddToWriter(dds_listener_t* listener);
    static void AddToReader(dds_listener_t* listener);

    // Watches discovery for readers (writers) of other programs that use the
    // name of `topic` with another type. Cyclone matches by type name and
    // reports nothing about such endpoints, so their announcements are read.
    static dds_return_t WatchReaderTypes(dds_entity_t participant, dds_entity_t topic);
    static dds_return_t WatchWriterTypes(dds_entity_t participant, dds_entity_t topic);

    // A QoS policy in words ("liveliness", "data representation").
    static std::string PolicyName(uint32_t policyId);
};
