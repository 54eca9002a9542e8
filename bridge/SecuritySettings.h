#pragma once

#include <string>

#include <dds/dds.h>

class RigFolder;

// The library of Cyclone's authentication plugin, as the system names it.
constexpr const char* authenticationPlugin = "dds_security_auth";

// What a machine needs to join a rig with DDS Security: the files of its
// member folder (see RigAuthority) and Cyclone's three security plugins.
class SecuritySettings {
public:
    // Takes the member folder made by `lumivex-bridge rig add`; false, with
    // the reason, when a file is missing, the folder or a file is not to be
    // trusted (see RigFolder), or the certificate or grant has expired. Warns
    // on standard error when one of them expires within a week.
    bool Load(const std::string& memberFolder, std::string& error);

    // Puts the security properties into a participant QoS.
    void ApplyTo(dds_qos_t* qos) const;
    // The same as a Cyclone configuration fragment, for DDS programs that take
    // their security from CYCLONEDDS_URI (ddsperf). It names the files, which
    // that program reads itself.
    std::string ConfigXml() const;

    // Where Cyclone's security plugins are.
    static std::string PluginFolder();

private:
    bool ReadDocuments(const RigFolder& member, std::string& error);
    std::string File(const char* name) const;
    std::string folder;
    // The documents as they were checked: handed to DDS as they are, so that
    // files put in their place afterwards are never read.
    std::string authorityCertificate, governance, identityCertificate, permissions;
};
