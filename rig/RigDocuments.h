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
    // them. Valid from a day before `from`, so that a machine whose clock
    // lags still accepts it, until `days` after `from`.
    static std::string Permissions(const std::string& name, uint32_t sendMask, std::time_t from, long days);
    // The end of a grant's validity (signed or not); false when it has none.
    static bool GrantValidUntil(const std::string& grant, std::time_t& end);
    // A moment as the documents write it, in UTC: "2025-01-31T12:00:00".
    static std::string Timestamp(std::time_t when);
};
