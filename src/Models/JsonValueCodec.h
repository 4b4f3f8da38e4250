#pragma once

#include <QJsonValue>
#include <QString>

class JsonCursor;
class QDateTime;
class QUuid;

// The single values records hold, read strictly and written only in a form that reads back:
// texts, booleans, finite numbers, whole numbers, unsigned 32-bit numbers (0...4294967295),
// 36-character UUIDs (read in either case, written upper case) and internet dates with whole
// seconds (read with "Z" or a numeric offset, written in UTC with "Z"). What does not fit fails
// at the cursor's place; a read answers whether it succeeded and leaves out alone when not.
class JsonValueCodec {
public:
    static bool read(JsonCursor& c, const QJsonValue& v, QString& out);
    static bool read(JsonCursor& c, const QJsonValue& v, bool& out);
    static bool read(JsonCursor& c, const QJsonValue& v, double& out);
    static bool read(JsonCursor& c, const QJsonValue& v, qint64& out);
    static bool read(JsonCursor& c, const QJsonValue& v, quint32& out);
    static bool read(JsonCursor& c, const QJsonValue& v, QUuid& out);
    static bool read(JsonCursor& c, const QJsonValue& v, QDateTime& out);

    static QJsonValue write(JsonCursor& c, const QString& s);
    static QJsonValue write(JsonCursor& c, bool b);
    static QJsonValue write(JsonCursor& c, qint64 i);
    static QJsonValue write(JsonCursor& c, quint32 u);
    static QJsonValue write(JsonCursor& c, const QUuid& id);
    // NaN and infinities fail: the JSON writer would turn them into null, which no reader accepts.
    static QJsonValue write(JsonCursor& c, double d);
    static QJsonValue write(JsonCursor& c, const QDateTime& date);

    // The only date form written ("2024-05-01T09:30:00Z"); empty for an invalid date or one
    // outside four-digit years.
    static QString dateString(const QDateTime& date);
    // The upper-case form of a UUID without braces.
    static QString uuidString(const QUuid& id);
};
