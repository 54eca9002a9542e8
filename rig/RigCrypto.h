#pragma once

#include <ctime>
#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>

// The few public-key operations a rig needs, over OpenSSL's libcrypto: ECDSA
// P-256 keys, X.509 certificates issued by the rig's own authority, and the
// S/MIME signatures that DDS Security expects on governance and permissions
// documents. Every function returns null or "" when OpenSSL fails.
class RigCrypto {
public:
    struct FreeKey {
        void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    };
    struct FreeCertificate {
        void operator()(X509* certificate) const { X509_free(certificate); }
    };
    using Key = std::unique_ptr<EVP_PKEY, FreeKey>;
    using Certificate = std::unique_ptr<X509, FreeCertificate>;

    static Key NewKey();
    // A self-signed authority certificate (may sign certificates), valid for ten years.
    static Certificate NewAuthority(EVP_PKEY* key, const std::string& commonName);
    // An end certificate for `key`, issued and signed by the authority, valid
    // from a day back (for clocks that lag) until `days` from now.
    static Certificate Issue(X509* authority, EVP_PKEY* authorityKey, EVP_PKEY* key, const std::string& commonName,
                             long days);
    // Whether the authority's key signed `certificate`.
    static bool SignedBy(X509* certificate, X509* authority);
    // The public key a certificate is for (owned by the certificate).
    static EVP_PKEY* KeyOf(X509* certificate);
    // The serial number in hexadecimal digits.
    static std::string Serial(X509* certificate);
    // The end of the certificate's validity; false when it cannot be read.
    static bool ValidUntil(X509* certificate, std::time_t& end);

    static std::string KeyPem(EVP_PKEY* key);
    static std::string CertificatePem(X509* certificate);
    static Key ReadKey(const std::string& pem);
    static Certificate ReadCertificate(const std::string& pem);

    // `text` as a detached, clear-signed S/MIME message signed by the authority.
    static std::string SignDocument(X509* authority, EVP_PKEY* authorityKey, const std::string& text);

    // The subject as DDS permissions name it: "CN=...,O=...".
    static std::string Subject(const std::string& commonName);
};
