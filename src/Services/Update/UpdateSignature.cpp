#include "Services/Update/UpdateSignature.h"

#include <QFile>

#include <openssl/evp.h>

#include <memory>

namespace {

constexpr qsizetype kPublicKeyBytes = 32;
constexpr qsizetype kSignatureBytes = 64;

// Strict base64: anything that is not exactly its alphabet and padding reads as nothing.
std::optional<QByteArray> decodeBase64(const QString& text) {
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || text.isEmpty()) {
        return std::nullopt;
    }
    return *decoded;
}

UpdateError refused(const QString& why) {
    return UpdateError::autoUpdate(UpdateError::badSignature, why);
}

} // namespace

bool UpdateSignature::verifyBytes(const QByteArray& data, const QByteArray& signature,
                                  const QByteArray& publicKey) {
    if (publicKey.size() != kPublicKeyBytes || signature.size() != kSignatureBytes) {
        return false;
    }
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                    reinterpret_cast<const unsigned char*>(publicKey.constData()),
                                    static_cast<size_t>(publicKey.size())),
        &EVP_PKEY_free);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!key || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    // Ed25519 reads the message in one piece.
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            static_cast<size_t>(signature.size()),
                            reinterpret_cast<const unsigned char*>(data.constData()),
                            static_cast<size_t>(data.size())) == 1;
}

std::optional<UpdateError> UpdateSignature::verify(const QString& archive, const QString& signature,
                                                   const QString& publicKey) {
    const std::optional<QByteArray> key = decodeBase64(publicKey);
    if (!key || key->size() != kPublicKeyBytes) {
        return refused(QStringLiteral("This build names no valid key to check updates with"));
    }
    if (signature.isEmpty()) {
        return refused(QStringLiteral("The version document carries no signature of the update"));
    }
    const std::optional<QByteArray> signatureBytes = decodeBase64(signature);
    if (!signatureBytes || signatureBytes->size() != kSignatureBytes) {
        return refused(QStringLiteral("The update's signature is not an Ed25519 signature in base64"));
    }
    QFile file(archive);
    if (!file.open(QIODevice::ReadOnly)) {
        return refused(QStringLiteral("The update cannot be read to check its signature: ") +
                       file.errorString());
    }
    // Mapped rather than read, so that a large archive costs no copy in memory.
    const qint64 size = file.size();
    uchar* mapped = size > 0 ? file.map(0, size) : nullptr;
    if (size > 0 && !mapped) {
        return refused(QStringLiteral("The update cannot be read to check its signature: ") +
                       file.errorString());
    }
    const QByteArray data =
        mapped ? QByteArray::fromRawData(reinterpret_cast<const char*>(mapped), static_cast<qsizetype>(size))
               : QByteArray();
    const bool valid = verifyBytes(data, *signatureBytes, *key);
    if (mapped) {
        file.unmap(mapped);
    }
    if (!valid) {
        return refused(QStringLiteral("The update's signature does not match this build's key"));
    }
    return std::nullopt;
}
