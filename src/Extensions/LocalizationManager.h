#pragma once

#include <QString>

// The texts of labels that would be translated: one place for each.
class LocalizationManager {
public:
    LocalizationManager() = delete;

    // The display name of an icon category (the known categories read as their own names).
    static QString iconCategory(const QString& category);
    // "7 tabs across 2 windows"; callers use it for more than one window only.
    static QString tabsAcrossWindows(qint64 tabCount, qint64 windowCount);
    // The name of a tab or document that has none.
    static QString untitled() { return QStringLiteral("Untitled"); }
    // "1 app" for one, "3 apps" otherwise: the count and the noun in its singular or plural form.
    static QString count(qint64 n, const QString& singular, const QString& plural);
    // "3 apps", "5 windows" and "12 tabs" joined with separator, leaving out each count of 0.
    static QString contentSummary(qint64 apps, qint64 windows, qint64 tabs, const QString& separator);
};
