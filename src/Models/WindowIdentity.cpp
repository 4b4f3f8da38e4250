#include "Models/WindowIdentity.h"

#include <QStringList>

#include <algorithm>

QString WindowIdentity::text() const {
    return QStringLiteral("%1 %2 %3")
        .arg(QString::number(windowNumber), QString::number(processIdentifier),
             QString::number(processStartTime));
}

std::optional<WindowIdentity> WindowIdentity::fromText(const QString& text) {
    const QStringList parts = text.split(u' ');
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const auto digits = [](const QString& part) {
        return !part.isEmpty() && part.size() <= 19 &&
               std::all_of(part.cbegin(), part.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (!std::all_of(parts.cbegin(), parts.cend(), digits)) {
        return std::nullopt;
    }
    bool number = false;
    bool pid = false;
    bool start = false;
    WindowIdentity identity{parts[0].toUInt(&number), parts[1].toLongLong(&pid), parts[2].toLongLong(&start)};
    if (!number || !pid || !start || identity.processIdentifier <= 0) {
        return std::nullopt;
    }
    return identity;
}
