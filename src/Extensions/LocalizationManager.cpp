#include "Extensions/LocalizationManager.h"

#include <QStringList>

QString LocalizationManager::iconCategory(const QString& category) {
    return category;
}

QString LocalizationManager::tabsAcrossWindows(qint64 tabCount, qint64 windowCount) {
    return QStringLiteral("%1 tabs across %2 windows")
        .arg(QString::number(tabCount), QString::number(windowCount));
}

QString LocalizationManager::count(qint64 n, const QString& singular, const QString& plural) {
    return QString::number(n) + QLatin1Char(' ') + (n == 1 ? singular : plural);
}

QString LocalizationManager::contentSummary(qint64 apps, qint64 windows, qint64 tabs,
                                            const QString& separator) {
    QStringList parts;
    if (apps > 0) {
        parts << count(apps, QStringLiteral("app"), QStringLiteral("apps"));
    }
    if (windows > 0) {
        parts << count(windows, QStringLiteral("window"), QStringLiteral("windows"));
    }
    if (tabs > 0) {
        parts << count(tabs, QStringLiteral("tab"), QStringLiteral("tabs"));
    }
    return parts.join(separator);
}
