#include "Extensions/DateExtensions.h"

#include "Extensions/NumberConversion.h"
#include "Platform/Clock.h"
#include "Platform/Platform.h"

QString DateExtensions::workspaceTimeString(const QDateTime& date, const QDateTime& now,
                                            const QTimeZone& zone, const QLocale& locale) {
    const double elapsed = static_cast<double>(date.msecsTo(now)) / 1000.0;
    if (elapsed < 86400) {
        if (const qint64 hours = NumberConversion::toInt64(elapsed / 3600); hours != 0) {
            return QString::number(hours) + u'h';
        }
        const qint64 minutes = NumberConversion::toInt64(elapsed / 60);
        return minutes < 2 ? QStringLiteral("now") : QString::number(minutes) + u'm';
    }
    const QDateTime local = date.toTimeZone(zone);
    const QDate today = now.toTimeZone(zone).date();
    if (local.date() == today.addDays(-1)) {
        return QStringLiteral("yesterday");
    }
    return locale.toString(local, local.date().year() == today.year() ? QStringLiteral("MMM d")
                                                                      : QStringLiteral("MMM d, yyyy"));
}

QString DateExtensions::workspaceTimeString(const QDateTime& date) {
    return workspaceTimeString(date, Platform::current().clock->wallNow(), QTimeZone::systemTimeZone(),
                               QLocale());
}
