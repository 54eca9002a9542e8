#include "bridge/SecuritySettings.h"

#include <filesystem>
#include <utility>

#include "rig/RigAuthority.h"
#include "rig/RigCrypto.h"
#include "rig/RigDocuments.h"
#include "rig/RigFolder.h"
#include "platform/Libraries.h"
#include "text/Warning.h"

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
    {authenticationPlugin, "dds.sec.auth", "Authentication", "authentication"},
    {"dds_security_ac", "dds.sec.access", "AccessControl", "access_control"},
    {"dds_security_crypto", "dds.sec.crypto", "Cryptographic", "crypto"},
};

std::string LibraryPath(const Plugin& plugin) {
    return (std::filesystem::path(SecuritySettings::PluginFolder()) / platform::LibraryFileName(plugin.library))
        .string();
}

// Cyclone says only that a participant could not be made when a plugin is
// missing or lacks what it needs; the system's reason is told here instead.
bool PluginsLoad(std::string& error) {
    for (const Plugin& plugin : plugins) {
        std::string reason;
        if (!platform::LibraryLoads(LibraryPath(plugin), reason)) {
            error = "cannot load the DDS security plugin " + LibraryPath(plugin) + ": " + reason;
            return false;
        }
    }
    return true;
}

std::string LibraryXml(const Plugin& plugin) {
    return std::string("<Library path=\"") + LibraryPath(plugin) + "\" initFunction=\"init_" + plugin.function +
           "\" finalizeFunction=\"finalize_" + plugin.function + "\"/>";
}

constexpr std::time_t warnAhead = 7 * 24 * 3600;
const char* const renew = "renew it on the authority's machine with 'lumivex-bridge rig renew DIR NAME'";

bool StillValid(const std::string& path, bool known, std::time_t end, std::string& error) {
    if (!known) error = path + ": damaged: no end of validity in it";
    if (known && end <= std::time(nullptr))
        error = path + ": expired on " + RigDocuments::Timestamp(end) + " UTC; " + renew;
    return known && end > std::time(nullptr);
}

// Once, at start, while there is time to renew: certificate and grant are
// issued together, so one line tells of the one that ends first.
void WarnOfEnd(const std::string& path, std::time_t end) {
    if (end - std::time(nullptr) < warnAhead)
        PrintWarning(path, "expires on " + RigDocuments::Timestamp(end) + " UTC; " + renew);
}

bool CheckValidity(const std::string& certificatePath, const std::string& certificatePem, const std::string& grantPath,
                   const std::string& grant, std::string& error) {
    std::time_t certificateEnd = 0, grantEnd = 0;
    RigCrypto::Certificate certificate = RigCrypto::ReadCertificate(certificatePem);
    const bool certificateKnown = certificate && RigCrypto::ValidUntil(certificate.get(), certificateEnd);
    const bool grantKnown = RigDocuments::GrantValidUntil(grant, grantEnd);
    if (!StillValid(certificatePath, certificateKnown, certificateEnd, error) ||
        !StillValid(grantPath, grantKnown, grantEnd, error))
        return false;
    const bool certificateFirst = certificateEnd <= grantEnd;
    WarnOfEnd(certificateFirst ? certificatePath : grantPath, certificateFirst ? certificateEnd : grantEnd);
    return true;
}

}  // namespace

// Where the build found them; a build that ships them beside its programs names no folder.
std::string SecuritySettings::PluginFolder() {
    return *LUMIVEX_DDS_SECURITY_DIR ? LUMIVEX_DDS_SECURITY_DIR : platform::ProgramFolder();
}

bool SecuritySettings::Load(const std::string& memberFolder, std::string& error) {
    std::error_code failure;
    folder = std::filesystem::absolute(memberFolder, failure).lexically_normal().string();
    RigFolder member;
    std::string key;
    return PluginsLoad(error) && member.Open(folder, error) && ReadDocuments(member, error) &&
           member.Read(RigAuthority::identityKey, true, key, error) &&
           CheckValidity(File(RigAuthority::identityCertificate), identityCertificate, File(RigAuthority::permissions),
                         permissions, error);
}

bool SecuritySettings::ReadDocuments(const RigFolder& member, std::string& error) {
    const std::pair<const char*, std::string*> documents[] = {
        {RigAuthority::authorityCertificate, &authorityCertificate},
        {RigAuthority::governance, &governance},
        {RigAuthority::identityCertificate, &identityCertificate},
        {RigAuthority::permissions, &permissions},
    };
    for (const auto& [name, text] : documents) {
        if (!member.Has(name)) error = File(name) + ": missing; --rig takes a folder made by 'lumivex-bridge rig add'";
        if (!member.Has(name) || !member.Read(name, false, *text, error)) return false;
    }
    return true;
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
    const std::pair<const char*, const std::string*> documents[] = {
        {"dds.sec.auth.identity_ca", &authorityCertificate},
        {"dds.sec.auth.identity_certificate", &identityCertificate},
        {"dds.sec.access.permissions_ca", &authorityCertificate},
        {"dds.sec.access.governance", &governance},
        {"dds.sec.access.permissions", &permissions},
    };
    for (const auto& [property, text] : documents) dds_qset_prop(qos, property, ("data:," + *text).c_str());
    // The key stays a file, so that it never appears in a DDS trace. Someone
    // who put another key there could not use this identity: the key must
    // match the certificate given above.
    dds_qset_prop(qos, "dds.sec.auth.private_key", ("file:" + File(RigAuthority::identityKey)).c_str());
}

std::string SecuritySettings::ConfigXml() const {
    auto uri = [this](const char* element, const char* name) {
        return std::string("<") + element + ">file:" + File(name) + "</" + element + ">";
    };
    return "<Security><Authentication>" + LibraryXml(plugins[0]) +
           uri("IdentityCA", RigAuthority::authorityCertificate) +
           uri("IdentityCertificate", RigAuthority::identityCertificate) +
           uri("PrivateKey", RigAuthority::identityKey) + "</Authentication><AccessControl>" + LibraryXml(plugins[1]) +
           uri("PermissionsCA", RigAuthority::authorityCertificate) + uri("Governance", RigAuthority::governance) +
           uri("Permissions", RigAuthority::permissions) + "</AccessControl><Cryptographic>" + LibraryXml(plugins[2]) +
           "</Cryptographic></Security>";
}
