#include "Platform/SystemInfo.h"

#include <QStringDecoder>

QString SystemInfo::modelFromBytes(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf('\0');
    const QByteArray value = end < 0 ? bytes : bytes.first(end);
    // Stateless so that a sequence cut off at the end is replaced too, and a leading byte-order
    // mark is kept as the character it is rather than dropped.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(value);
}
