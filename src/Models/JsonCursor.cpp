#include "Models/JsonCursor.h"

#include <QJsonValue>

namespace {

QString kindOf(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("nothing");
}

} // namespace

bool JsonCursor::fail(const QString& message) {
    if (!m_failed) {
        m_failed = true;
        m_error = {path(), message};
    }
    return false;
}

bool JsonCursor::mismatch(const char* expected, const QJsonValue& found) {
    return fail(
        QStringLiteral("Expected %1 but found %2 instead.").arg(QLatin1String(expected), kindOf(found)));
}

QString JsonCursor::path() const {
    QString joined;
    for (const Segment& segment : m_path) {
        if (!segment.key) {
            joined += QStringLiteral("[%1]").arg(segment.index);
            continue;
        }
        if (!joined.isEmpty()) {
            joined += QLatin1Char('.');
        }
        joined += QLatin1String(segment.key);
    }
    return joined;
}
