#include "TestSigningKey.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <QFile>

TestSigningKey::TestSigningKey()
    : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free) {
}

TestSigningKey::~TestSigningKey() = default;

QString TestSigningKey::publicKey() const {
    QByteArray raw(32, Qt::Uninitialized);
    size_t length = static_cast<size_t>(raw.size());
    if (!m_key || EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<unsigned char*>(raw.data()),
                                              &length) != 1) {
        return {};
    }
    return QString::fromLatin1(raw.left(static_cast<qsizetype>(length)).toBase64());
}

QString TestSigningKey::sign(const QByteArray& data) const {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    QByteArray signature(64, Qt::Uninitialized);
    size_t length = static_cast<size_t>(signature.size());
    if (!m_key || !context ||
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) != 1 ||
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(data.constData()),
                       static_cast<size_t>(data.size())) != 1) {
        return {};
    }
    return QString::fromLatin1(signature.left(static_cast<qsizetype>(length)).toBase64());
}

bool TestSigningKey::writePrivateKey(const QString& path) const {
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    if (!m_key || !bio ||
        PEM_write_bio_PrivateKey(bio.get(), m_key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        return false;
    }
    char* bytes = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &bytes);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes, size) == size;
}
