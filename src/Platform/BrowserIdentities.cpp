#include "Platform/BrowserIdentities.h"

const QList<BrowserIdentities::LinuxBrowser>& BrowserIdentities::linuxBrowsers() {
    static const QList<LinuxBrowser> browsers{
        {QStringLiteral("chromium.desktop"), QStringLiteral("Chromium"),
         QStringLiteral("org.chromium.Chromium"), QStringLiteral("chromium")},
        {QStringLiteral("chromium-browser.desktop"), QStringLiteral("Chromium"),
         QStringLiteral("org.chromium.Chromium"), QStringLiteral("chromium")},
        {QStringLiteral("google-chrome.desktop"), QStringLiteral("Google Chrome"),
         QStringLiteral("com.google.Chrome"), QStringLiteral("google-chrome")},
        {QStringLiteral("google-chrome-beta.desktop"), QStringLiteral("Google Chrome"),
         QStringLiteral("com.google.Chrome"), QStringLiteral("google-chrome-beta")},
        // The nightly channel, as the early-release build is elsewhere.
        {QStringLiteral("google-chrome-unstable.desktop"), QStringLiteral("Google Chrome Canary"),
         QStringLiteral("com.google.Chrome.canary"), QStringLiteral("google-chrome-unstable")},
        {QStringLiteral("brave-browser.desktop"), QStringLiteral("Brave Browser"),
         QStringLiteral("com.brave.Browser"), QStringLiteral("BraveSoftware/Brave-Browser")},
        {QStringLiteral("microsoft-edge.desktop"), QStringLiteral("Microsoft Edge"),
         QStringLiteral("com.microsoft.edgemac"), QStringLiteral("microsoft-edge")},
        {QStringLiteral("opera.desktop"), QStringLiteral("Opera"), QStringLiteral("com.operasoftware.Opera"),
         QStringLiteral("opera")},
        {QStringLiteral("vivaldi-stable.desktop"), QStringLiteral("Vivaldi"),
         QStringLiteral("com.vivaldi.Vivaldi"), QStringLiteral("vivaldi")},
    };
    return browsers;
}

const BrowserIdentities::LinuxBrowser* BrowserIdentities::byDesktopId(const QString& desktopId) {
    for (const LinuxBrowser& browser : linuxBrowsers()) {
        if (browser.desktopId == desktopId) {
            return &browser;
        }
    }
    return nullptr;
}

QList<const BrowserIdentities::LinuxBrowser*> BrowserIdentities::byScriptName(const QString& scriptName) {
    QList<const LinuxBrowser*> found;
    for (const LinuxBrowser& browser : linuxBrowsers()) {
        if (browser.scriptName == scriptName) {
            found.append(&browser);
        }
    }
    return found;
}
