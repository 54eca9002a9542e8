#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// The two access-control documents of a rig, before they are signed.
class RigDocuments {
public:
    // Every member must authenticate; discovery, liveliness and the channel
    // topic are encrypted; who may write or read channels is checked against
    // each member's permissions. Other topics (ddsperf's, for instance) are
    // open to every member that authenticated, and encrypted as well.
    static std::string Governance();
    // The grant of one identity: publish the channels of the instruments in
    // `sendMask` (bit n: instrument n), or, for 0, only subscribe to all of
    // them. Valid from a day before `from` for ten years, so that a machine
    // whose clock lags still accepts it.
    static std::string Permissions(const std::string& name, uint32_t sendMask, std::time_t from);
};
