#pragma once

#include <cstdint>
#include <string>

// A rig's certificate authority, in a folder of its own: its key and
// certificate and the signed governance every member shares. It issues one
// folder per machine with everything that machine needs to join, in the
// file names DDS programs expect; the authority's key never leaves its folder.
class RigAuthority {
public:
    // Makes `folder` (it may exist, but not hold an authority yet) with a new
    // authority and the signed governance.
    static bool Init(const std::string& folder, std::string& error);
    // Makes folder/name/ with a new identity that may publish the instruments
    // in `sendMask` (bit n: instrument n), or only subscribe when it is 0.
    static bool Add(const std::string& folder, const std::string& name, uint32_t sendMask, std::string& error);

    // The files of a member's folder.
    static constexpr const char* authorityCertificate = "ca.pem";
    static constexpr const char* governance = "governance.p7s";
    static constexpr const char* identityCertificate = "identity.pem";
    static constexpr const char* identityKey = "identity.key";
    static constexpr const char* permissions = "permissions.p7s";
    // Only in the authority's folder.
    static constexpr const char* authorityKey = "ca.key";
};
