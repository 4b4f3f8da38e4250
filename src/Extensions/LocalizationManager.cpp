#include "Extensions/LocalizationManager.h"

QString LocalizationManager::iconCategory(const QString& category) {
    return category;
}

QString LocalizationManager::tabsAcrossWindows(qint64 tabCount, qint64 windowCount) {
    return QStringLiteral("%1 tabs across %2 windows")
        .arg(QString::number(tabCount), QString::number(windowCount));
}
