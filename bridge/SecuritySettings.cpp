#include "bridge/SecuritySettings.h"

#include <filesystem>
#include <utility>

#include "bridge/RigAuthority.h"
#include "bridge/RigFiles.h"

namespace {

// The three plugins: the library's name, its property prefix and its
// configuration element.
struct Plugin {
    const char* library;
    const char* property;
    const char* element;
    const char* function;
};
const Plugin plugins[] = {
    {"dds_security_auth", "dds.sec.auth", "Authentication", "authentication"},
    {"dds_security_ac", "dds.sec.access", "AccessControl", "access_control"},
    {"dds_security_crypto", "dds.sec.crypto", "Cryptographic", "crypto"},
};

std::string LibraryPath(const Plugin& plugin) {
    return SecuritySettings::PluginFolder() + "/lib" + plugin.library + ".so";
}

std::string LibraryXml(const Plugin& plugin) {
    return std::string("<Library path=\"") + LibraryPath(plugin) + "\" initFunction=\"init_" + plugin.function +
           "\" finalizeFunction=\"finalize_" + plugin.function + "\"/>";
}

}  // namespace

std::string SecuritySettings::PluginFolder() { return LUMIVEX_DDS_SECURITY_DIR; }

bool SecuritySettings::Load(const std::string& memberFolder, std::string& error) {
    std::error_code failure;
    folder = std::filesystem::absolute(memberFolder, failure).lexically_normal().string();
    for (const char* name : {RigAuthority::authorityCertificate, RigAuthority::governance,
                             RigAuthority::identityCertificate, RigAuthority::permissions})
        if (!RigFiles::Exists(File(name))) {
            error = File(name) + ": missing; --rig takes a folder made by 'lumivex-bridge rig add'";
            return false;
        }
    return RigFiles::CheckPrivate(File(RigAuthority::identityKey), error);
}

std::string SecuritySettings::File(const char* name) const { return folder + "/" + name; }

void SecuritySettings::ApplyTo(dds_qos_t* qos) const {
    for (const Plugin& plugin : plugins) {
        const std::string prefix = plugin.property;
        dds_qset_prop(qos, (prefix + ".library.path").c_str(), LibraryPath(plugin).c_str());
        dds_qset_prop(qos, (prefix + ".library.init").c_str(), ("init_" + std::string(plugin.function)).c_str());
        dds_qset_prop(qos, (prefix + ".library.finalize").c_str(),
                      ("finalize_" + std::string(plugin.function)).c_str());
    }
    const std::pair<const char*, const char*> files[] = {
        {"dds.sec.auth.identity_ca", RigAuthority::authorityCertificate},
        {"dds.sec.auth.identity_certificate", RigAuthority::identityCertificate},
        {"dds.sec.auth.private_key", RigAuthority::identityKey},
        {"dds.sec.access.permissions_ca", RigAuthority::authorityCertificate},
        {"dds.sec.access.governance", RigAuthority::governance},
        {"dds.sec.access.permissions", RigAuthority::permissions},
    };
    for (const auto& [property, name] : files) dds_qset_prop(qos, property, ("file:" + File(name)).c_str());
}

std::string SecuritySettings::ConfigXml() const {
    auto uri = [this](const char* element, const char* name) {
        return std::string("<") + element + ">file:" + File(name) + "</" + element + ">";
    };
    return "<Security><Authentication>" + LibraryXml(plugins[0]) +
           uri("IdentityCA", RigAuthority::authorityCertificate) +
           uri("IdentityCertificate", RigAuthority::identityCertificate) +
           uri("PrivateKey", RigAuthority::identityKey) + "</Authentication><AccessControl>" +
           LibraryXml(plugins[1]) + uri("PermissionsCA", RigAuthority::authorityCertificate) +
           uri("Governance", RigAuthority::governance) + uri("Permissions", RigAuthority::permissions) +
           "</AccessControl><Cryptographic>" + LibraryXml(plugins[2]) + "</Cryptographic></Security>";
}
