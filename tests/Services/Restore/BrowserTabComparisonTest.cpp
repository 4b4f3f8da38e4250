#include "Services/Restore/BrowserTabComparison.h"
#include "Support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using TabList = BrowserTabComparison::TabList;

// "a b* c": tabs with these URLs, the one with "*" active.
TabList windows(const QStringList& specs) {
    TabList result;
    for (const QString& spec : specs) {
        QList<TabSnapshot> tabs;
        for (QString url : spec.split(' ', Qt::SkipEmptyParts)) {
            const bool active = url.endsWith('*');
            if (active) {
                url.chop(1);
            }
            tabs.append(TabSnapshot{{}, url, std::nullopt, active});
        }
        result.append(tabs);
    }
    return result;
}

TEST(BrowserTabComparisonTest, NormalizesTrailingSlashesAndCase) {
    EXPECT_EQ(BrowserTabComparison::normalizeURL("HTTPS://Example.org/Path///"), "https://example.org/path");
    EXPECT_EQ(BrowserTabComparison::normalizeURL("/"), "/");
    EXPECT_EQ(BrowserTabComparison::normalizeURL("//"), "/");
    EXPECT_EQ(BrowserTabComparison::normalizeURL(""), "");
}

struct MatchCase {
    const char* name;
    QStringList desired;
    QStringList current;
    bool tabsMatch;             // the plan's comparison
    QList<qsizetype> unmatched; // the check after reopening
};

TEST(BrowserTabComparisonTest, ComparesWindowsByOrderAnchorOverlapAndContainment) {
    const QList<MatchCase> cases = {
        {"nothing desired", {}, {"x"}, true, {}},
        {"only empty desired windows", {"", ""}, {}, true, {}},
        {"same order", {"a b* c"}, {"a b c"}, true, {}},
        {"case and slashes", {"HTTP://A.org///"}, {"http://a.org"}, true, {}},
        {"anchor with four of five", {"a b c* d e"}, {"a b c* d f"}, true, {}},
        {"anchor with three of five", {"a b c* d e"}, {"a b c* x y"}, false, {0}},
        {"contained, other active tab", {"a* b"}, {"b* a x"}, true, {0}},
        {"in order among others, same anchor", {"a* b", "c*"}, {"a* x b", "c*"}, true, {}},
        {"one current window for two desired", {"a b", "a b"}, {"a b"}, false, {0, 1}},
        {"fewer current windows with tabs", {"a", "b"}, {"a", ""}, false, {0, 1}},
        {"second desired finds no free window", {"a", "a", "b"}, {"a", "b", "c"}, false, {1}},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BrowserTabComparison::browserTabsMatch(windows(c.desired), windows(c.current)),
                  c.tabsMatch);
        EXPECT_EQ(BrowserTabComparison::unmatchedWindows(windows(c.desired), windows(c.current)),
                  c.unmatched);
    }
}

struct ShortfallCase {
    const char* name;
    QStringList desired;
    QStringList current;
    // Per desired window: the positions of its tabs not shown, and its active tab when not active.
    QList<QList<qsizetype>> missing;
    QList<std::optional<qsizetype>> unselected;
};

// What the report names of a window put back short: the tabs that are not there (looked for in
// the window's partner, else in the windows no other saved window took) and an active tab that is
// shown but not active.
TEST(BrowserTabComparisonTest, NamesTheTabsEachWindowLacks) {
    const QList<ShortfallCase> cases = {
        {"all there", {"a b* c", "d*"}, {"d*", "a b* c"}, {{}, {}}, {std::nullopt, std::nullopt}},
        {"a window without tabs lacks nothing", {"", "a*"}, {"a*"}, {{}, {}}, {std::nullopt, std::nullopt}},
        {"the active tab not active", {"a b c*"}, {"a* b c"}, {{}}, {2}},
        {"a tab missing from the partner", {"a b* c d e"}, {"a b* c d"}, {{4}}, {std::nullopt}},
        {"no partner: looked for among the windows left",
         {"a b*", "c*"},
         {"c*", "a* x"},
         {{1}, {}},
         {std::nullopt, std::nullopt}},
        {"nothing shown at all", {"a* b"}, {}, {{0, 1}}, {std::nullopt}},
        {"a tab another saved window took is missing",
         {"a*", "a* b"},
         {"a*"},
         {{}, {0, 1}},
         {std::nullopt, std::nullopt}},
        {"of two saved windows of the same pages, the one shown is the one with its active tab",
         {"a b*", "a* b"},
         {"a* b"},
         {{0, 1}, {}},
         {std::nullopt, std::nullopt}},
    };
    for (const ShortfallCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QList<BrowserTabComparison::Shortfall> found =
            BrowserTabComparison::shortfalls(windows(c.desired), windows(c.current));
        ASSERT_EQ(found.size(), c.desired.size());
        for (qsizetype i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].missingTabs, c.missing[i]) << "window " << i;
            EXPECT_EQ(found[i].unselectedTab, c.unselected[i]) << "window " << i;
        }
    }
}

} // namespace
