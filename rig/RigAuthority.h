#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// A rig's certificate authority, in a folder of its own: its key and
// certificate, the signed governance every member shares and the record of
// every name it issued. It issues one folder per machine with everything that
// machine needs to join, in the file names DDS programs expect; the
// authority's key never leaves its folder. Identities are issued for a
// limited time and renewed; a name is never issued to a second key, so a
// member that is no longer renewed is out of the rig once its grant ends.
class RigAuthority {
public:
    // Makes `folder` (it may exist, but not hold an authority yet) with a new
    // authority and the signed governance. A failure leaves nothing behind.
    static bool Init(const std::string& folder, std::string& error);
    // Makes folder/name/ with a new identity, valid for `days` (until
    // `validUntil`), that may publish the instruments in `sendMask` (bit n:
    // instrument n), or only subscribe when it is 0.
    static bool Add(const std::string& folder, const std::string& name, uint32_t sendMask, long days,
                    std::time_t& validUntil, std::string& error);
    // Issues folder/name/ a new certificate and grant for the same key and
    // instruments, valid for `days`, in place of the old ones. The folder's
    // certificate must be one this authority issued to `name`.
    static bool Renew(const std::string& folder, const std::string& name, long days, std::time_t& validUntil,
                      std::string& error);

    static constexpr long defaultDays = 90;
    static constexpr long mostDays = 3650;

    // The files of a member's folder.
    static constexpr const char* authorityCertificate = "ca.pem";
    static constexpr const char* governance = "governance.p7s";
    static constexpr const char* identityCertificate = "identity.pem";
    static constexpr const char* identityKey = "identity.key";
    static constexpr const char* permissions = "permissions.p7s";
    // Only in the authority's folder.
    static constexpr const char* authorityKey = "ca.key";
    static constexpr const char* record = "issued";
};
