#pragma once

#include <QList>
#include <QString>

// The Chromium-family browsers as Linux distributions package them. On Linux an application's
// identifier is its desktop-file id, so each of these ids counts as the same browser as the
// identifier of the same browser elsewhere: it is supported, spoken to in the Chromium dialect
// and addressed by scripts under the same name.
class BrowserIdentities {
public:
    struct LinuxBrowser {
        QString desktopId;        // "chromium.desktop"
        QString scriptName;       // the name scripts address it by: "Chromium"
        QString bundleIdentifier; // the identifier it counts as: "org.chromium.Chromium"
        QString configFolder;     // its user-data folder below $XDG_CONFIG_HOME
    };

    static const QList<LinuxBrowser>& linuxBrowsers();
    static const LinuxBrowser* byDesktopId(const QString& desktopId);
    // Every packaging of the browser that scripts address by this name.
    static QList<const LinuxBrowser*> byScriptName(const QString& scriptName);
};
