#include "Services/Restore/BrowserTabComparison.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

constexpr double kOverlapThreshold = 0.8;

// One browser window reduced to what the comparisons look at.
struct Fingerprint {
    qsizetype position = 0; // in the list it came from
    QStringList urls;
    QSet<QString> urlSet;
    // The active tab's URL, else the first tab's; absent for a window without tabs.
    std::optional<QString> anchor;
};

QList<Fingerprint> fingerprints(const BrowserTabComparison::TabList& windows) {
    QList<Fingerprint> result;
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const QList<TabSnapshot>& tabs = windows[i];
        if (tabs.isEmpty()) {
            continue;
        }
        Fingerprint f;
        f.position = i;
        for (const TabSnapshot& tab : tabs) {
            f.urls.append(BrowserTabComparison::normalizeURL(tab.url));
            if (!f.anchor && tab.isActive) {
                f.anchor = f.urls.last();
            }
        }
        if (!f.anchor) {
            f.anchor = f.urls.first();
        }
        f.urlSet = QSet<QString>(f.urls.begin(), f.urls.end());
        result.append(std::move(f));
    }
    return result;
}

// The share of the desired window's distinct URLs that the current window shows.
bool overlapsEnough(const Fingerprint& desired, const Fingerprint& current) {
    if (desired.urlSet.isEmpty()) {
        return true;
    }
    const double shared = static_cast<double>((desired.urlSet & current.urlSet).size());
    return shared / static_cast<double>(desired.urlSet.size()) >= kOverlapThreshold;
}

// Whether desired's URLs occur in current's in the same order, other URLs in between allowed.
bool isSubsequence(const QStringList& desired, const QStringList& current) {
    qsizetype at = 0;
    for (const QString& url : current) {
        if (at < desired.size() && desired[at] == url) {
            ++at;
        }
    }
    return at == desired.size();
}

using Rule = std::function<bool(const Fingerprint& desired, const Fingerprint& current)>;

// Pairs the desired windows with free current windows, the strictest rule first for all of them:
// under each rule, a pair that also shows the same active tab comes before one that does not, so
// that of two saved windows of the same pages the one shown as it was saved keeps its window; then
// the desired windows in order, each with the first free window. Answers the positions of the
// desired windows left without a partner. partners, when given, gets each desired window's partner
// (its index in current), or -1.
QList<qsizetype> pairWindows(const QList<Fingerprint>& desired, const QList<Fingerprint>& current,
                             const QList<Rule>& rules, QList<qsizetype>* partners = nullptr) {
    QList<bool> used(current.size(), false);
    QList<qsizetype> partner(desired.size(), -1);
    for (const Rule& rule : rules) {
        for (const bool sameAnchor : {true, false}) {
            for (qsizetype at = 0; at < desired.size(); ++at) {
                for (qsizetype c = 0; c < current.size() && partner[at] < 0; ++c) {
                    if (!used[c] && (!sameAnchor || desired[at].anchor == current[c].anchor) &&
                        rule(desired[at], current[c])) {
                        partner[at] = c;
                        used[c] = true;
                    }
                }
            }
        }
    }
    QList<qsizetype> unmatched;
    for (qsizetype at = 0; at < desired.size(); ++at) {
        if (partner[at] < 0) {
            unmatched.append(desired[at].position);
        }
    }
    if (partners) {
        *partners = partner;
    }
    return unmatched;
}

// The rules of the check made after tabs were reopened, strictest first.
QList<Rule> verificationRules();

bool sameURLs(const Fingerprint& d, const Fingerprint& c) {
    return d.urls == c.urls;
}

} // namespace

QString BrowserTabComparison::normalizeURL(const QString& url) {
    QString result = url;
    while (result.size() >= 2 && result.endsWith(QLatin1Char('/'))) {
        result.chop(1);
    }
    return result.toLower();
}

bool BrowserTabComparison::browserTabsMatch(const TabList& desired, const TabList& current) {
    const QList<Fingerprint> wanted = fingerprints(desired);
    if (wanted.isEmpty()) {
        return true;
    }
    const QList<Fingerprint> shown = fingerprints(current);
    if (shown.size() < wanted.size()) {
        return false;
    }
    const QList<Rule> rules{
        sameURLs,
        [](const Fingerprint& d, const Fingerprint& c) {
            return d.anchor == c.anchor && overlapsEnough(d, c);
        },
        [](const Fingerprint& d, const Fingerprint& c) {
            return d.urlSet.isEmpty() || c.urlSet.contains(d.urlSet);
        },
    };
    return pairWindows(wanted, shown, rules).isEmpty();
}

QList<qsizetype> BrowserTabComparison::unmatchedWindows(const TabList& desired, const TabList& current) {
    const QList<Fingerprint> wanted = fingerprints(desired);
    const QList<Fingerprint> shown = fingerprints(current);
    if (shown.size() < wanted.size()) {
        QList<qsizetype> all;
        for (const Fingerprint& f : wanted) {
            all.append(f.position);
        }
        return all;
    }
    return pairWindows(wanted, shown, verificationRules());
}

QList<BrowserTabComparison::Shortfall> BrowserTabComparison::shortfalls(const TabList& desired,
                                                                        const TabList& current) {
    QList<Shortfall> result(desired.size());
    const QList<Fingerprint> wanted = fingerprints(desired);
    const QList<Fingerprint> shown = fingerprints(current);
    QList<qsizetype> partners;
    pairWindows(wanted, shown, verificationRules(), &partners);
    // What the windows without a partner may still find: the current windows nobody took.
    QSet<QString> leftOver;
    for (qsizetype c = 0; c < shown.size(); ++c) {
        if (!partners.contains(c)) {
            leftOver.unite(shown[c].urlSet);
        }
    }
    for (qsizetype at = 0; at < wanted.size(); ++at) {
        const Fingerprint& d = wanted[at];
        const QList<TabSnapshot>& tabs = desired[d.position];
        const QSet<QString>& seen = partners[at] >= 0 ? shown[partners[at]].urlSet : leftOver;
        Shortfall& shortfall = result[d.position];
        if (partners[at] >= 0) {
            shortfall.partner = shown[partners[at]].position;
        }
        for (qsizetype i = 0; i < tabs.size(); ++i) {
            if (!seen.contains(d.urls[i])) {
                shortfall.missingTabs.append(i);
            }
        }
        const auto active =
            std::find_if(tabs.begin(), tabs.end(), [](const TabSnapshot& t) { return t.isActive; });
        if (partners[at] >= 0 && active != tabs.end() && seen.contains(normalizeURL(active->url)) &&
            shown[partners[at]].anchor != normalizeURL(active->url)) {
            shortfall.unselectedTab = active - tabs.begin();
        }
    }
    return result;
}

namespace {

QList<Rule> verificationRules() {
    return {
        sameURLs,
        [](const Fingerprint& d, const Fingerprint& c) {
            return isSubsequence(d.urls, c.urls) && d.anchor == c.anchor;
        },
        [](const Fingerprint& d, const Fingerprint& c) {
            return d.anchor == c.anchor && overlapsEnough(d, c);
        },
    };
}

} // namespace
