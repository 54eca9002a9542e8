#pragma once

#include <string>

#include <dds/dds.h>

// What a machine needs to join a rig with DDS Security: the files of its
// member folder (see RigAuthority) and Cyclone's three security plugins.
class SecuritySettings {
public:
    // Takes the member folder made by `lumivex-bridge rig add`; false, with
    // the reason, when a file is missing or the private key is not private.
    bool Load(const std::string& memberFolder, std::string& error);

    // Puts the security properties into a participant QoS.
    void ApplyTo(dds_qos_t* qos) const;
    // The same as a Cyclone configuration fragment, for DDS programs that take
    // their security from CYCLONEDDS_URI (ddsperf).
    std::string ConfigXml() const;

    // Where Cyclone's security plugins are.
    static std::string PluginFolder();

private:
    std::string File(const char* name) const;
    std::string folder;
};
