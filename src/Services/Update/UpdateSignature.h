#pragma once

#include "Services/Update/UpdateError.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Updates are signed: the release's Ed25519 key signs the archive's bytes, the version document
// carries the signature in base64, and the build names the public key (its 32 bytes in base64).
// An archive is unpacked only when its signature verifies with that key, so whoever controls the
// server or the network, but not the key, cannot have anything installed.
class UpdateSignature {
public:
    // Why the archive file's signature does not verify with publicKey; nothing when it does.
    // Both texts are base64; a missing or malformed one is a failure like a wrong signature.
    static std::optional<UpdateError> verify(const QString& archive, const QString& signature,
                                             const QString& publicKey);
    // Whether the bytes' signature verifies with the raw 32-byte public key.
    static bool verifyBytes(const QByteArray& data, const QByteArray& signature, const QByteArray& publicKey);
};
