#include "Platform/Linux/Edid.h"

namespace {

constexpr int kBlockSize = 128;
constexpr int kDescriptorOffsets[] = {54, 72, 90, 108};
constexpr quint8 kSerialTextTag = 0xFF;
constexpr quint8 kNameTag = 0xFC;

quint8 byteAt(const QByteArray& bytes, int i) {
    return static_cast<quint8>(bytes.at(i));
}

// A descriptor's 13 text bytes end at a line feed and are padded with spaces. Only printable
// ASCII is kept: the block comes from hardware, and a broken one must not put control
// characters into names shown to the user.
QString descriptorText(const QByteArray& bytes, int offset) {
    QString text;
    for (int i = offset + 5; i < offset + 18; ++i) {
        const quint8 c = byteAt(bytes, i);
        if (c == 0x0A || c == 0x00) {
            break;
        }
        if (c >= 0x20 && c < 0x7F) {
            text += QLatin1Char(char(c));
        }
    }
    return text.trimmed();
}

} // namespace

std::optional<Edid> Edid::parse(const QByteArray& bytes) {
    static const QByteArray header("\x00\xFF\xFF\xFF\xFF\xFF\xFF\x00", 8);
    if (bytes.size() < kBlockSize || !bytes.startsWith(header)) {
        return std::nullopt;
    }
    Edid edid;
    // Three letters of five bits each, 1 standing for 'A', big-endian.
    const quint16 maker = quint16(byteAt(bytes, 8) << 8 | byteAt(bytes, 9));
    for (const int shift : {10, 5, 0}) {
        const int letter = (maker >> shift) & 0x1F;
        edid.manufacturer +=
            letter >= 1 && letter <= 26 ? QLatin1Char(char('A' + letter - 1)) : QLatin1Char('?');
    }
    edid.productCode = quint16(byteAt(bytes, 10) | byteAt(bytes, 11) << 8);
    edid.serialNumber = quint32(byteAt(bytes, 12)) | quint32(byteAt(bytes, 13)) << 8 |
                        quint32(byteAt(bytes, 14)) << 16 | quint32(byteAt(bytes, 15)) << 24;
    for (const int offset : kDescriptorOffsets) {
        // Display descriptors start with two zero bytes (a timing descriptor never does).
        if (byteAt(bytes, offset) != 0 || byteAt(bytes, offset + 1) != 0) {
            continue;
        }
        const quint8 tag = byteAt(bytes, offset + 3);
        if (tag == kSerialTextTag && edid.serialText.isEmpty()) {
            edid.serialText = descriptorText(bytes, offset);
        } else if (tag == kNameTag && edid.displayName.isEmpty()) {
            edid.displayName = descriptorText(bytes, offset);
        }
    }
    return edid;
}
