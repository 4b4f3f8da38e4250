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
};
