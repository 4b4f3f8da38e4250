#pragma once

#include "Models/TabSnapshot.h"

#include <QList>
#include <QString>

// Whether a browser already shows the tabs a workspace saved. URLs are compared normalised:
// trailing slashes dropped and lower case, so "HTTPS://Example.org///" is "https://example.org".
class BrowserTabComparison {
public:
    using TabList = QList<QList<TabSnapshot>>;

    BrowserTabComparison() = delete;

    static QString normalizeURL(const QString& url);
    // True when every desired window that has tabs finds its own current window that shows the
    // same URLs in the same order, or the same active URL with at least 80% of the URLs, or all
    // of its URLs in any order.
    static bool browserTabsMatch(const TabList& desired, const TabList& current);
    // The stricter check made after tabs were reopened: the same URLs in order, the saved URLs in
    // the same order among others with the same active URL, or the same active URL with at least
    // 80% of the URLs. The answer lists the positions (in the desired list) of the windows with
    // tabs that found no partner; empty when every one did.
    static QList<qsizetype> unmatchedWindows(const TabList& desired, const TabList& current);
};
