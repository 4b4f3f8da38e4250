#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

// Short texts about dates, as the workspace list shows them.
class DateExtensions {
public:
    // The short age of date as seen at now in the given zone: "now" under two minutes, then
    // minutes ("5m"), hours ("23h"), "yesterday", and the locale's "MMM d" (or "MMM d, yyyy" in
    // another year). The hour and minute rules come before the calendar; a future date gives "now"
    // up to an hour ahead and a negative hour count beyond.
    static QString workspaceTimeString(const QDateTime& date, const QDateTime& now, const QTimeZone& zone,
                                       const QLocale& locale);
    // The same as seen now (the platform clock) in the system's zone and locale.
    static QString workspaceTimeString(const QDateTime& date);
};
