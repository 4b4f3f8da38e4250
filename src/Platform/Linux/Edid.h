#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The identifying fields of a display's EDID block: who made it, which model, which unit, and
// the texts the display gives itself. Parsed here because toolkits mangle its texts.
struct Edid {
    // Three upper-case letters, the maker's registered code.
    QString manufacturer;
    quint16 productCode = 0;
    quint32 serialNumber = 0;
    // From the display descriptors; empty when the display gives none.
    QString serialText;
    QString displayName;

    // The first 128 bytes of an EDID (a longer block with extensions is fine); nothing when the
    // bytes do not start with the EDID header.
    static std::optional<Edid> parse(const QByteArray& bytes);
};
