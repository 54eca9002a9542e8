#include "bridge/RigAuthority.h"

#include <ctime>
#include <filesystem>

#include "bridge/RigCrypto.h"
#include "bridge/RigDocuments.h"
#include "bridge/RigFiles.h"

namespace fs = std::filesystem;

namespace {

const char* const authorityName = "Lumivex rig authority";

std::string In(const std::string& folder, const char* file) { return (fs::path(folder) / file).string(); }

bool Failed(std::string& error, const std::string& what) {
    error = what;
    return false;
}

bool MakeFolder(const std::string& folder, std::string& error) {
    std::error_code failure;
    fs::create_directories(folder, failure);
    return !failure || Failed(error, folder + ": cannot create it: " + failure.message());
}

// Letters, digits, '-' and '_': the name is a folder name and a certificate's
// common name, and appears in XML.
bool ValidName(const std::string& name) {
    return !name.empty() && name.size() <= 64 &&
           name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_") ==
               std::string::npos;
}

struct Authority {
    RigCrypto::Key key;
    RigCrypto::Certificate certificate;
};

bool LoadAuthority(const std::string& folder, Authority& authority, std::string& error) {
    std::string keyPem, certificatePem;
    const std::string keyPath = In(folder, RigAuthority::authorityKey);
    if (!RigFiles::CheckPrivate(keyPath, error) || !RigFiles::Read(keyPath, keyPem, error) ||
        !RigFiles::Read(In(folder, RigAuthority::authorityCertificate), certificatePem, error))
        return false;
    authority.key = RigCrypto::ReadKey(keyPem);
    authority.certificate = RigCrypto::ReadCertificate(certificatePem);
    return (authority.key && authority.certificate) || Failed(error, folder + ": the authority's files are damaged");
}

// Copies a file of the authority's folder into a member's.
bool Copy(const std::string& from, const std::string& to, const char* file, std::string& error) {
    std::string text;
    return RigFiles::Read(In(from, file), text, error) && RigFiles::Write(In(to, file), text, false, error);
}

bool WriteIdentity(const std::string& member, const std::string& name, const Authority& authority,
                   std::string& error) {
    RigCrypto::Key key = RigCrypto::NewKey();
    RigCrypto::Certificate certificate =
        key ? RigCrypto::Issue(authority.certificate.get(), authority.key.get(), key.get(), name) : nullptr;
    if (!certificate) return Failed(error, "cannot make the identity's key and certificate");
    return RigFiles::Write(In(member, RigAuthority::identityKey), RigCrypto::KeyPem(key.get()), true, error) &&
           RigFiles::Write(In(member, RigAuthority::identityCertificate),
                           RigCrypto::CertificatePem(certificate.get()), false, error);
}

bool WritePermissions(const std::string& member, const std::string& name, uint32_t sendMask,
                      const Authority& authority, std::string& error) {
    std::string text = RigDocuments::Permissions(name, sendMask, std::time(nullptr));
    std::string signedText = RigCrypto::SignDocument(authority.certificate.get(), authority.key.get(), text);
    return !signedText.empty() ? RigFiles::Write(In(member, RigAuthority::permissions), signedText, false, error)
                               : Failed(error, "cannot sign the permissions");
}

}  // namespace

bool RigAuthority::Init(const std::string& folder, std::string& error) {
    if (RigFiles::Exists(In(folder, authorityKey)) || RigFiles::Exists(In(folder, authorityCertificate)))
        return Failed(error, folder + ": holds a rig authority already; not replaced");
    RigCrypto::Key key = RigCrypto::NewKey();
    RigCrypto::Certificate certificate = key ? RigCrypto::NewAuthority(key.get(), authorityName) : nullptr;
    std::string governanceText =
        certificate ? RigCrypto::SignDocument(certificate.get(), key.get(), RigDocuments::Governance()) : "";
    if (governanceText.empty()) return Failed(error, "cannot make the authority's key, certificate and governance");
    return MakeFolder(folder, error) &&
           RigFiles::Write(In(folder, authorityKey), RigCrypto::KeyPem(key.get()), true, error) &&
           RigFiles::Write(In(folder, authorityCertificate), RigCrypto::CertificatePem(certificate.get()), false,
                           error) &&
           RigFiles::Write(In(folder, governance), governanceText, false, error);
}

bool RigAuthority::Add(const std::string& folder, const std::string& name, uint32_t sendMask, std::string& error) {
    if (!ValidName(name)) return Failed(error, "\"" + name + "\": a name is 1..64 letters, digits, '-' or '_'");
    const std::string member = In(folder, name.c_str());
    if (RigFiles::Exists(member)) return Failed(error, member + ": exists already; not replaced");
    Authority authority;
    if (!LoadAuthority(folder, authority, error) || !MakeFolder(member, error)) return false;
    bool made = Copy(folder, member, authorityCertificate, error) && Copy(folder, member, governance, error) &&
                WriteIdentity(member, name, authority, error) &&
                WritePermissions(member, name, sendMask, authority, error);
    // A half-made folder would refuse the next try under the same name.
    std::error_code ignored;
    if (!made) fs::remove_all(member, ignored);
    return made;
}
