#include "Services/Scripting/BrowserNames.h"

#include "Platform/BrowserIdentities.h"

#include <QHash>

#include <algorithm>

namespace {

const QString kSafariTechnologyPreview = QStringLiteral("com.apple.SafariTechnologyPreview");

} // namespace

const QSet<QString>& BrowserNames::supportedBrowsers() {
    static const QSet<QString> browsers = [] {
        QSet<QString> ids{
            QStringLiteral("com.apple.Safari"),           kSafariTechnologyPreview,
            QStringLiteral("com.google.Chrome"),          QStringLiteral("com.google.Chrome.canary"),
            QStringLiteral("company.thebrowser.Browser"), QStringLiteral("com.brave.Browser"),
            QStringLiteral("com.microsoft.edgemac"),      QStringLiteral("com.operasoftware.Opera"),
            QStringLiteral("com.vivaldi.Vivaldi"),        QStringLiteral("org.chromium.Chromium"),
        };
        // The same browsers as Linux packages them, known by their desktop-file ids.
        for (const BrowserIdentities::LinuxBrowser& browser : BrowserIdentities::linuxBrowsers()) {
            ids.insert(browser.desktopId);
        }
        return ids;
    }();
    return browsers;
}

const QSet<QString>& BrowserNames::safariBundleIDs() {
    static const QSet<QString> ids{QStringLiteral("com.apple.Safari"), kSafariTechnologyPreview};
    return ids;
}

QString BrowserNames::chromiumAppName(const QString& bundleIdentifier) {
    if (const BrowserIdentities::LinuxBrowser* packaged = BrowserIdentities::byDesktopId(bundleIdentifier)) {
        return packaged->scriptName;
    }
    static const QHash<QString, QString> names{
        {QStringLiteral("com.google.Chrome"), QStringLiteral("Google Chrome")},
        {QStringLiteral("com.google.Chrome.canary"), QStringLiteral("Google Chrome Canary")},
        {QStringLiteral("company.thebrowser.Browser"), QStringLiteral("Arc")},
        {QStringLiteral("com.brave.Browser"), QStringLiteral("Brave Browser")},
        {QStringLiteral("com.microsoft.edgemac"), QStringLiteral("Microsoft Edge")},
        {QStringLiteral("com.operasoftware.Opera"), QStringLiteral("Opera")},
        {QStringLiteral("com.vivaldi.Vivaldi"), QStringLiteral("Vivaldi")},
        {QStringLiteral("org.chromium.Chromium"), QStringLiteral("Chromium")},
    };
    return names.value(bundleIdentifier, QStringLiteral("Google Chrome"));
}

QString BrowserNames::appName(const QString& bundleIdentifier) {
    if (safariBundleIDs().contains(bundleIdentifier)) {
        return bundleIdentifier == kSafariTechnologyPreview ? QStringLiteral("Safari Technology Preview")
                                                            : QStringLiteral("Safari");
    }
    return chromiumAppName(bundleIdentifier);
}

const QStringList& BrowserNames::newTabPrefixes() {
    static const QStringList prefixes{
        QStringLiteral("chrome://newtab"),    QStringLiteral("chrome://new-tab-page"),
        QStringLiteral("edge://newtab"),      QStringLiteral("brave://newtab"),
        QStringLiteral("vivaldi://newtab"),   QStringLiteral("opera://startpage"),
        QStringLiteral("arc://newtab"),       QStringLiteral("about:blank"),
        QStringLiteral("about:newtab"),       QStringLiteral("favorites://"),
        QStringLiteral("safari://startpage"), QStringLiteral("safari://favorites"),
        QStringLiteral("safari://newtab"),    QStringLiteral("safari://new-tab-page"),
    };
    return prefixes;
}

bool BrowserNames::isNewTabPage(const QString& url) {
    const QStringList& pages = newTabPrefixes();
    return std::any_of(pages.begin(), pages.end(),
                       [&url](const QString& page) { return url.startsWith(page, Qt::CaseInsensitive); });
}
