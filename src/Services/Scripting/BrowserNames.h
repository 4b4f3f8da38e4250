#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The browsers that are driven by scripts, by their identifiers, with the names their scripts
// call them by and the pages they show when they show nothing.
class BrowserNames {
public:
    BrowserNames() = delete;

    static const QSet<QString>& supportedBrowsers();
    static const QSet<QString>& safariBundleIDs();
    // The script name of a Chromium-dialect browser; any unknown identifier gives "Google Chrome".
    static QString chromiumAppName(const QString& bundleIdentifier);
    // The script name in the browser's own dialect.
    static QString appName(const QString& bundleIdentifier);
    // URL prefixes of pages that show nothing: the blank page and the browsers' own new-tab and
    // start pages. A local file is a page like any other.
    static const QStringList& newTabPrefixes();
    // Whether an address is such a page (it starts with one of those prefixes, in any case).
    static bool isNewTabPage(const QString& url);
};
