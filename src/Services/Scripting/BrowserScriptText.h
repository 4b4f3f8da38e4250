#pragma once

#include "Models/BrowserProfile.h"
#include "Services/Scripting/ScriptText.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The texts of the scripts that browsers are driven by, in the dialect of each browser: Safari's,
// or the Chromium dialect every other browser speaks.
class BrowserScriptText {
public:
    static QString tabListingScript(const QString& bundleIdentifier);
    static QString createWindowScript(const QString& bundleIdentifier, const QString& url,
                                      const std::optional<BrowserProfile>& profile = std::nullopt);
    // The Chromium dialect's window with all its tabs: the creation script with the first address,
    // the further addresses as new tabs of window 1, then its answer.
    static QString createWindowWithTabsScript(const QString& bundleIdentifier, const QStringList& urls,
                                              const std::optional<BrowserProfile>& profile = std::nullopt);
    static QString setBoundsScript(const QString& bundleIdentifier, std::int64_t window,
                                   const ScriptBounds& bounds);
    static QString openTabsScript(const QString& bundleIdentifier, std::int64_t window,
                                  const QStringList& urls);
    static QString activateTabScript(const QString& bundleIdentifier, std::int64_t window, std::int64_t tab);
    static QString windowCountScript(const QString& bundleIdentifier);
    static QString closeWindowsBeyondCountScript(const QString& bundleIdentifier, std::int64_t keepCount);
    static QString closeEmptyWindowsScript(const QString& bundleIdentifier);
    static QString closeAllWindowsScript(const QString& bundleIdentifier);
    static QString windowIDsScript(const QString& bundleIdentifier);
    static QString closeWindowsScript(const QString& bundleIdentifier, const QList<std::int64_t>& windowIDs);

private:
    static QString tellLine(const QString& bundleIdentifier);
};
