#include "Models/JsonValueCodec.h"

#include "Models/JsonCursor.h"

#include <QDateTime>
#include <QUuid>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace {

QString numberText(const QJsonValue& value) {
    const qint64 whole = value.toInteger(0);
    if (whole == value.toInteger(-1)) {
        return QString::number(whole);
    }
    return QString::number(value.toDouble(), 'g', 17);
}

// Whether text has exactly the given shape: 'd' stands for a decimal digit, 'h' for a hexadecimal
// digit of either case, any other character for itself.
bool hasShape(const QString& text, const char* shape) {
    const qsizetype length = qsizetype(std::strlen(shape));
    if (text.size() != length) {
        return false;
    }
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t ch = text.at(i).unicode();
        const bool digit = ch >= u'0' && ch <= u'9';
        const bool hex = digit || (ch >= u'a' && ch <= u'f') || (ch >= u'A' && ch <= u'F');
        const bool ok = shape[i] == 'd' ? digit : shape[i] == 'h' ? hex : ch == char16_t(shape[i]);
        if (!ok) {
            return false;
        }
    }
    return true;
}

// An internet date-time with whole seconds and a zone: "Z" or a numeric offset ("+02:00"), in UTC.
// Each field is checked on its own: Qt's own parser takes "24:00:00" as the next midnight and a
// date without a zone as local time.
std::optional<QDateTime> parseInternetDate(const QString& text) {
    const bool utc = hasShape(text, "dddd-dd-ddTdd:dd:ddZ");
    if (!utc && !hasShape(text, "dddd-dd-ddTdd:dd:dd+dd:dd") &&
        !hasShape(text, "dddd-dd-ddTdd:dd:dd-dd:dd")) {
        return std::nullopt;
    }
    const auto field = [&text](qsizetype at, qsizetype length) { return text.mid(at, length).toInt(); };
    const QDate day(field(0, 4), field(5, 2), field(8, 2));
    const QTime time(field(11, 2), field(14, 2), field(17, 2));
    const int offsetHours = utc ? 0 : field(20, 2);
    const int offsetMinutes = utc ? 0 : field(23, 2);
    if (!day.isValid() || !time.isValid() || offsetHours > 23 || offsetMinutes > 59) {
        return std::nullopt;
    }
    const int offset = (offsetHours * 60 + offsetMinutes) * 60 * (text.at(19) == QLatin1Char('-') ? -1 : 1);
    const QDateTime date = QDateTime(day, time, Qt::UTC).addSecs(-offset);
    // Only what can be written back is taken (the offset can move a date out of four-digit years).
    if (JsonValueCodec::dateString(date).isEmpty()) {
        return std::nullopt;
    }
    return date;
}

} // namespace

// ---- reading --------------------------------------------------------------------------------

bool JsonValueCodec::read(JsonCursor& c, const QJsonValue& v, QString& out) {
    if (!v.isString()) {
        return c.mismatch("a string", v);
    }
    out = v.toString();
    return true;
}

bool JsonValueCodec::read(JsonCursor& c, const QJsonValue& v, bool& out) {
    if (!v.isBool()) {
        return c.mismatch("a boolean", v);
    }
    out = v.toBool();
    return true;
}

bool JsonValueCodec::read(JsonCursor& c, const QJsonValue& v, double& out) {
    if (!v.isDouble()) {
        return c.mismatch("a number", v);
    }
    const double d = v.toDouble();
    if (!std::isfinite(d)) {
        return c.fail(QStringLiteral("The number is not finite."));
    }
    out = d;
    return true;
}

bool JsonValueCodec::read(JsonCursor& c, const QJsonValue& v, qint64& out) {
    if (!v.isDouble()) {
        return c.mismatch("a whole number", v);
    }
    // toInteger answers its fallback unless the number is whole and fits 64 bits; two different
    // fallbacks tell the cases apart without going through a lossy double.
    const qint64 whole = v.toInteger(0);
    if (whole != v.toInteger(-1)) {
        return c.fail(QStringLiteral("The number %1 is not a whole number in range.").arg(numberText(v)));
    }
    out = whole;
    return true;
}

bool JsonValueCodec::read(JsonCursor& c, const QJsonValue& v, quint32& out) {
    qint64 whole = 0;
    if (!read(c, v, whole)) {
        return false;
    }
    if (whole < 0 || whole > qint64(std::numeric_limits<quint32>::max())) {
        return c.fail(QStringLiteral("The number %1 does not fit 0...4294967295.").arg(whole));
    }
    out = quint32(whole);
    return true;
}

bool JsonValueCodec::read(JsonCursor& c, const QJsonValue& v, QUuid& out) {
    QString text;
    if (!read(c, v, text)) {
        return false;
    }
    // QUuid::fromString alone is too lenient: it takes braces and answers nil for garbage.
    if (!hasShape(text, "hhhhhhhh-hhhh-hhhh-hhhh-hhhhhhhhhhhh")) {
        return c.fail(QStringLiteral("Attempted to decode UUID from invalid UUID string."));
    }
    out = QUuid::fromString(text);
    return true;
}

bool JsonValueCodec::read(JsonCursor& c, const QJsonValue& v, QDateTime& out) {
    QString text;
    if (!read(c, v, text)) {
        return false;
    }
    const std::optional<QDateTime> date = parseInternetDate(text);
    if (!date) {
        return c.fail(QStringLiteral("Expected date string to be ISO8601-formatted."));
    }
    out = *date;
    return true;
}

// ---- writing --------------------------------------------------------------------------------

QJsonValue JsonValueCodec::write(JsonCursor&, const QString& s) {
    return s;
}

QJsonValue JsonValueCodec::write(JsonCursor&, bool b) {
    return b;
}

QJsonValue JsonValueCodec::write(JsonCursor&, qint64 i) {
    return i;
}

QJsonValue JsonValueCodec::write(JsonCursor&, quint32 u) {
    return qint64(u);
}

QJsonValue JsonValueCodec::write(JsonCursor&, const QUuid& id) {
    return uuidString(id);
}

QJsonValue JsonValueCodec::write(JsonCursor& c, double d) {
    if (!std::isfinite(d)) {
        c.fail(QStringLiteral("Unable to encode the non-finite number %1 in JSON.").arg(d));
        return QJsonValue();
    }
    return d;
}

QJsonValue JsonValueCodec::write(JsonCursor& c, const QDateTime& date) {
    const QString text = dateString(date);
    if (text.isEmpty()) {
        c.fail(QStringLiteral("Unable to encode an invalid or out-of-range date."));
    }
    return text;
}

QString JsonValueCodec::dateString(const QDateTime& date) {
    if (!date.isValid()) {
        return {};
    }
    const QDateTime utc = date.toUTC();
    // Only four-digit years can be read back.
    if (utc.date().year() < 0 || utc.date().year() > 9999) {
        return {};
    }
    return utc.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

QString JsonValueCodec::uuidString(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}
