#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct evp_pkey_st;

// A fresh Ed25519 key pair standing for a release's signing key.
class TestSigningKey {
public:
    TestSigningKey();
    ~TestSigningKey();

    // The public key as a build names it: its 32 bytes in base64.
    QString publicKey() const;
    // The signature of data in base64, as the version document carries it.
    QString sign(const QByteArray& data) const;
    // Writes the private key as a PEM file, as a release keeps it.
    bool writePrivateKey(const QString& path) const;

private:
    std::unique_ptr<evp_pkey_st, void (*)(evp_pkey_st*)> m_key;
};
