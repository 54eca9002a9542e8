#include "rig/RigCrypto.h"

#include <openssl/bio.h>
#include <openssl/ec.h>
#include <openssl/pem.h>
#include <openssl/pkcs7.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include "platform/Timing.h"

namespace {

const char* const organisation = "Lumivex rig";
constexpr long day = 24 * 3600;
constexpr long authorityDays = 10L * 366;
// Valid from a day back, so that a machine whose clock lags still accepts it.
constexpr long backdateSeconds = day;

struct FreeBio {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, FreeBio>;

std::string Drain(BIO* bio) {
    char* data = nullptr;
    long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

Bio Source(const std::string& text) { return Bio(BIO_new_mem_buf(text.data(), static_cast<int>(text.size()))); }

bool SetName(X509_NAME* name, const std::string& commonName) {
    auto add = [name](const char* field, const std::string& value) {
        return X509_NAME_add_entry_by_txt(name, field, MBSTRING_UTF8,
                                          reinterpret_cast<const unsigned char*>(value.c_str()), -1, -1, 0) == 1;
    };
    return add("O", organisation) && add("CN", commonName);
}

bool SetSerialAndValidity(X509* certificate, long days) {
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) return false;
    serial[0] &= 0x7F;  // a positive number
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    bool done = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    return done && X509_gmtime_adj(X509_getm_notBefore(certificate), -backdateSeconds) &&
           X509_gmtime_adj(X509_getm_notAfter(certificate), days * day);
}

bool AddExtension(X509* certificate, X509V3_CTX& context, int nid, const char* value) {
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    bool added = extension && X509_add_ext(certificate, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

// Version 3 with the extensions a verifier checks: what the key may do and
// which key signed it.
bool AddExtensions(X509* certificate, X509* issuer, bool authority) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    return AddExtension(certificate, context, NID_basic_constraints, authority ? "critical,CA:TRUE" : "CA:FALSE") &&
           AddExtension(certificate, context, NID_key_usage,
                        authority ? "critical,keyCertSign,cRLSign,digitalSignature" : "critical,digitalSignature") &&
           AddExtension(certificate, context, NID_subject_key_identifier, "hash") &&
           AddExtension(certificate, context, NID_authority_key_identifier, "keyid:always");
}

RigCrypto::Certificate Build(X509* issuer, EVP_PKEY* issuerKey, EVP_PKEY* key, const std::string& commonName,
                             long days) {
    RigCrypto::Certificate certificate(X509_new());
    X509* self = certificate.get();
    if (!self || X509_set_version(self, 2) != 1 || !SetSerialAndValidity(self, days) ||
        !SetName(X509_get_subject_name(self), commonName) || X509_set_pubkey(self, key) != 1)
        return nullptr;
    X509* signer = issuer ? issuer : self;
    if (X509_set_issuer_name(self, X509_get_subject_name(signer)) != 1 || !AddExtensions(self, signer, !issuer) ||
        X509_sign(self, issuerKey, EVP_sha256()) <= 0)
        return nullptr;
    return certificate;
}

}  // namespace

RigCrypto::Key RigCrypto::NewKey() { return Key(EVP_EC_gen("P-256")); }

RigCrypto::Certificate RigCrypto::NewAuthority(EVP_PKEY* key, const std::string& commonName) {
    return Build(nullptr, key, key, commonName, authorityDays);
}

RigCrypto::Certificate RigCrypto::Issue(X509* authority, EVP_PKEY* authorityKey, EVP_PKEY* key,
                                        const std::string& commonName, long days) {
    return Build(authority, authorityKey, key, commonName, days);
}

bool RigCrypto::SignedBy(X509* certificate, X509* authority) {
    EVP_PKEY* key = X509_get0_pubkey(authority);
    return key && X509_verify(certificate, key) == 1;
}

EVP_PKEY* RigCrypto::KeyOf(X509* certificate) { return X509_get0_pubkey(certificate); }

std::string RigCrypto::Serial(X509* certificate) {
    BIGNUM* number = ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr);
    char* digits = number ? BN_bn2hex(number) : nullptr;
    std::string serial = digits ? digits : "";
    OPENSSL_free(digits);
    BN_free(number);
    return serial;
}

bool RigCrypto::ValidUntil(X509* certificate, std::time_t& end) {
    std::tm parts{};
    if (ASN1_TIME_to_tm(X509_get0_notAfter(certificate), &parts) != 1) return false;
    end = platform::UtcTime(parts);
    return true;
}

std::string RigCrypto::KeyPem(EVP_PKEY* key) {
    Bio out(BIO_new(BIO_s_mem()));
    bool written = out && PEM_write_bio_PrivateKey(out.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    return written ? Drain(out.get()) : std::string();
}

std::string RigCrypto::CertificatePem(X509* certificate) {
    Bio out(BIO_new(BIO_s_mem()));
    return out && PEM_write_bio_X509(out.get(), certificate) == 1 ? Drain(out.get()) : std::string();
}

RigCrypto::Key RigCrypto::ReadKey(const std::string& pem) {
    Bio in = Source(pem);
    return Key(in ? PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr) : nullptr);
}

RigCrypto::Certificate RigCrypto::ReadCertificate(const std::string& pem) {
    Bio in = Source(pem);
    return Certificate(in ? PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr) : nullptr);
}

// Clear-signed with a text/plain part, the form DDS Security verifiers read.
std::string RigCrypto::SignDocument(X509* authority, EVP_PKEY* authorityKey, const std::string& text) {
    const int flags = PKCS7_DETACHED | PKCS7_TEXT | PKCS7_STREAM;
    Bio in = Source(text);
    Bio out(BIO_new(BIO_s_mem()));
    if (!in || !out) return {};
    PKCS7* signature = PKCS7_sign(authority, authorityKey, nullptr, in.get(), flags);
    bool written = signature && SMIME_write_PKCS7(out.get(), signature, in.get(), flags) == 1;
    PKCS7_free(signature);
    return written ? Drain(out.get()) : std::string();
}

std::string RigCrypto::Subject(const std::string& commonName) { return "CN=" + commonName + ",O=" + organisation; }
