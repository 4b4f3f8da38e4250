#pragma once

#include "Models/TabSnapshot.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Whether a browser already shows the tabs a workspace saved. URLs are compared normalised:
// trailing slashes dropped and lower case, so "HTTPS://Example.org///" is "https://example.org".
class BrowserTabComparison {
public:
    using TabList = QList<QList<TabSnapshot>>;

    BrowserTabComparison() = delete;

    // A tab URL in the form tabs are compared in: trailing slashes dropped, lower case.
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

    // What a desired window lacks in the browser: its tabs (positions) whose URLs are not shown,
    // and its active tab when that is shown but not active. partner is the position (in the
    // current list) of the window it was paired with, when it found one.
    struct Shortfall {
        QList<qsizetype> missingTabs;
        std::optional<qsizetype> unselectedTab;
        std::optional<qsizetype> partner;

        bool isEmpty() const { return missingTabs.isEmpty() && !unselectedTab; }
    };
    // One entry per desired window (empty for a window without tabs and for one shown whole). A
    // desired window is looked for in its partner by the rules of unmatchedWindows; one without a
    // partner lacks the URLs that no current window left to it shows. Of two desired windows of the
    // same pages, the one whose active tab a window shows active is that window's partner.
    static QList<Shortfall> shortfalls(const TabList& desired, const TabList& current);
};
