#include "rig/RigAuthority.h"

#include "rig/RigCrypto.h"
#include "rig/RigDocuments.h"
#include "rig/RigFolder.h"
#include "rig/RigRecord.h"

namespace {

const char* const authorityName = "Lumivex rig authority";

bool Failed(std::string& error, const std::string& what) {
    error = what;
    return false;
}

// Letters, digits, '-' and '_': the name is a folder name and a certificate's
// common name, and appears in XML.
bool ValidName(const std::string& name, std::string& error) {
    return (!name.empty() && name.size() <= 64 &&
            name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_") ==
                std::string::npos) ||
           Failed(error, "\"" + name + "\": a name is 1..64 letters, digits, '-' or '_'");
}

struct Authority {
    RigFolder folder;
    RigCrypto::Key key;
    RigCrypto::Certificate certificate;
    std::string certificatePem, governanceText;
    RigRecord record;
};

bool LoadRecord(Authority& authority, std::string& error) {
    std::string text;
    if (authority.folder.Has(RigAuthority::record) && !authority.folder.Read(RigAuthority::record, false, text, error))
        return false;
    return authority.record.Parse(text) ||
           Failed(error, authority.folder.PathOf(RigAuthority::record) +
                             ": damaged: a line is not \"NAME SERIAL SEND-MASK VALID-UNTIL\"");
}

bool LoadAuthority(const std::string& folder, Authority& authority, std::string& error) {
    std::string keyPem;
    if (!authority.folder.Open(folder, error) ||
        !authority.folder.Read(RigAuthority::authorityKey, true, keyPem, error) ||
        !authority.folder.Read(RigAuthority::authorityCertificate, false, authority.certificatePem, error) ||
        !authority.folder.Read(RigAuthority::governance, false, authority.governanceText, error) ||
        !LoadRecord(authority, error))
        return false;
    authority.key = RigCrypto::ReadKey(keyPem);
    authority.certificate = RigCrypto::ReadCertificate(authority.certificatePem);
    return (authority.key && authority.certificate) || Failed(error, folder + ": the authority's files are damaged");
}

// A certificate and a grant for one identity's key, and their line in the record.
struct Grant {
    RigCrypto::Certificate certificate;
    std::string permissions;
    RigRecord::Entry entry;
    std::time_t validUntil = 0;
};

bool MakeGrant(const Authority& authority, EVP_PKEY* key, const RigRecord::Entry& identity, long days, Grant& grant,
               std::string& error) {
    const std::string text = RigDocuments::Permissions(identity.name, identity.sendMask, std::time(nullptr), days);
    grant.certificate = RigCrypto::Issue(authority.certificate.get(), authority.key.get(), key, identity.name, days);
    grant.permissions = RigCrypto::SignDocument(authority.certificate.get(), authority.key.get(), text);
    if (!grant.certificate || grant.permissions.empty() ||
        !RigCrypto::ValidUntil(grant.certificate.get(), grant.validUntil))
        return Failed(error, "cannot issue the identity's certificate and grant");
    grant.entry = identity;
    grant.entry.serial = RigCrypto::Serial(grant.certificate.get());
    grant.entry.validUntil = RigDocuments::Timestamp(grant.validUntil);
    return true;
}

bool Record(Authority& authority, const Grant& grant, std::string& error) {
    const std::string line = RigRecord::Line(grant.entry);
    if (authority.folder.Has(RigAuthority::record)) return authority.folder.Append(RigAuthority::record, line, error);
    return authority.folder.Write(RigAuthority::record, line, false, error);
}

bool WriteMember(RigFolder& member, const Authority& authority, EVP_PKEY* key, const Grant& grant, std::string& error) {
    return member.Write(RigAuthority::authorityCertificate, authority.certificatePem, false, error) &&
           member.Write(RigAuthority::governance, authority.governanceText, false, error) &&
           member.Write(RigAuthority::identityKey, RigCrypto::KeyPem(key), true, error) &&
           member.Write(RigAuthority::identityCertificate, RigCrypto::CertificatePem(grant.certificate.get()), false,
                        error) &&
           member.Write(RigAuthority::permissions, grant.permissions, false, error);
}

// The member's certificate, when it is one this authority issued to `name`:
// only that key may be certified again. Any other key put in the folder
// would otherwise get the member's name and grant.
bool ReadIssued(const Authority& authority, const RigFolder& member, const std::string& name,
                RigCrypto::Certificate& certificate, std::string& error) {
    std::string pem;
    if (!member.Read(RigAuthority::identityCertificate, false, pem, error)) return false;
    certificate = RigCrypto::ReadCertificate(pem);
    if (!certificate) return Failed(error, member.PathOf(RigAuthority::identityCertificate) + ": damaged");
    return (RigCrypto::SignedBy(certificate.get(), authority.certificate.get()) &&
            authority.record.Issued(name, RigCrypto::Serial(certificate.get()))) ||
           Failed(error, member.PathOf(RigAuthority::identityCertificate) +
                             ": not a certificate this authority issued to \"" + name +
                             "\"; only the key it certified is renewed (for another key, add a new name)");
}

}  // namespace

bool RigAuthority::Init(const std::string& folder, std::string& error) {
    RigCrypto::Key key = RigCrypto::NewKey();
    RigCrypto::Certificate certificate = key ? RigCrypto::NewAuthority(key.get(), authorityName) : nullptr;
    std::string governanceText =
        certificate ? RigCrypto::SignDocument(certificate.get(), key.get(), RigDocuments::Governance()) : "";
    if (governanceText.empty()) return Failed(error, "cannot make the authority's key, certificate and governance");
    RigFolder authority;
    if (!authority.OpenOrMake(folder, error)) return false;
    if (authority.Has(authorityKey) || authority.Has(authorityCertificate))
        return Failed(error, folder + ": holds a rig authority already; not replaced");
    bool made = authority.Write(authorityKey, RigCrypto::KeyPem(key.get()), true, error) &&
                authority.Write(authorityCertificate, RigCrypto::CertificatePem(certificate.get()), false, error) &&
                authority.Write(governance, governanceText, false, error);
    // A half-made authority would refuse every later try.
    if (!made) authority.Undo();
    return made;
}

bool RigAuthority::Add(const std::string& folder, const std::string& name, uint32_t sendMask, long days,
                       std::time_t& validUntil, std::string& error) {
    Authority authority;
    if (!ValidName(name, error) || !LoadAuthority(folder, authority, error)) return false;
    if (const RigRecord::Entry* issued = authority.record.Newest(name))
        return Failed(error, authority.folder.PathOf(name) + ": this name was issued before (certificate " +
                                 issued->serial + "); a name is never issued to another key: choose a new one");
    RigCrypto::Key key = RigCrypto::NewKey();
    Grant grant;
    RigFolder member;
    if (!key || !MakeGrant(authority, key.get(), {name, "", sendMask, ""}, days, grant, error) ||
        !member.MakeIn(authority.folder, name, error))
        return false;
    bool made = WriteMember(member, authority, key.get(), grant, error) && Record(authority, grant, error);
    // A half-made folder would refuse the next try under the same name.
    if (!made) member.Undo();
    validUntil = grant.validUntil;
    return made;
}

bool RigAuthority::Renew(const std::string& folder, const std::string& name, long days, std::time_t& validUntil,
                         std::string& error) {
    Authority authority;
    RigFolder member;
    RigCrypto::Certificate old;
    if (!ValidName(name, error) || !LoadAuthority(folder, authority, error)) return false;
    const RigRecord::Entry* issued = authority.record.Newest(name);
    if (!issued) return Failed(error, authority.folder.PathOf(name) + ": this authority never issued the name");
    Grant grant;
    if (!member.OpenIn(authority.folder, name, error) || !ReadIssued(authority, member, name, old, error) ||
        !MakeGrant(authority, RigCrypto::KeyOf(old.get()), *issued, days, grant, error))
        return false;
    validUntil = grant.validUntil;
    // Recorded first: a renewal stopped half way leaves a certificate that
    // the record knows, so that the next try renews it.
    return Record(authority, grant, error) &&
           member.Replace(identityCertificate, RigCrypto::CertificatePem(grant.certificate.get()), error) &&
           member.Replace(permissions, grant.permissions, error);
}
