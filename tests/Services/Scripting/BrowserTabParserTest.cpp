// The tab-listing answer in every shape the parser accepts.
#include "Services/Scripting/BrowserScriptService.h"

#include "Models/Workspace.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Support/TestPlatform.h"

#include "Support/ScriptTestHelpers.h"

#include <gtest/gtest.h>

namespace {

using D = ScriptDescriptor;
D L(QList<D> items) {
    return D::list(std::move(items));
}
D T(const char* s) {
    return D::text(QString::fromUtf8(s));
}
D tab(const char* url, const char* title, bool active) {
    return L({T(url), T(title), D::boolean(active)});
}

struct Case {
    const char* name;
    std::optional<D> answer;
    const char* mode; // the mode line, or nullptr when none is logged
    QList<QStringList> windows;
};

} // namespace

TEST(BrowserTabParser, EveryMode) {
    TestPlatform tp;
    const QList<Case> cases = {
        {"no answer", std::nullopt, nullptr, {}},
        {"no windows", L({}), nullptr, {}},
        {"nested sub-lists (the scripts' own shape)",
         L({L({tab("https://a/", "A", false), tab("https://b/", "B", true)}),
            L({tab("https://c/", "C", true)})}),
         "parseTabResult: Mode: NESTED windows, sub-list per tab",
         {{"https://a/", "https://b/*"}, {"https://c/*"}}},
        {"first window without tabs",
         L({L({}), L({tab("https://c/", "C", true)})}),
         "parseTabResult: Mode: FALLBACK — nested windows with sub-list tabs",
         {{}, {"https://c/*"}}},
        {"window whose tabs all lack a URL stays",
         L({L({tab("", "x", true), L({D::missing(), T("y"), D::boolean(false)})}),
            L({tab("https://c/", "C", true)})}),
         "parseTabResult: Mode: NESTED windows, sub-list per tab",
         {{}, {"https://c/*"}}},
        {"flat, one window, with a trailing partial triple",
         L({T("https://a/"), T("A"), D::boolean(false), T("https://b/"), T("B"), D::boolean(true),
            T("https://c/")}),
         "parseTabResult: Mode: FLAT (single window, stride-3)",
         {{"https://a/", "https://b/*"}}},
        {"flat without a usable tab",
         L({T(""), T("A"), D::boolean(true)}),
         "parseTabResult: Mode: FLAT (single window, stride-3)",
         {}},
        {"nested, stride-3 per window",
         L({L({T("https://a/"), T("A"), D::boolean(true), T("https://b/"), T("B")}),
            L({T("https://c/"), T("C")})}),
         "parseTabResult: Mode: NESTED windows, stride-3 per window",
         {{"https://a/*"}, {}}},
        {"windows of two flat items each",
         L({L({T("https://a/"), T("A")}), L({T("https://b/"), T("B")}), L({T("https://c/"), T("C")})}),
         "parseTabResult: Mode: NESTED windows, stride-3 per window",
         {{}, {}, {}}},
        {"one window whose three tabs are two-item lists",
         L({L({L({T("https://a/"), T("A")}), L({T("https://b/"), T("B")}), L({T("https://c/"), T("C")})})}),
         "parseTabResult: Mode: SINGLE window, sub-list per tab (ambiguous resolved)",
         {}},
        {"single mode reads the whole answer as one window's tabs",
         L({L({L({T("x")}), T("A"), D::boolean(false)}), tab("https://b/", "B", true),
            tab("https://c/", "C", false)}),
         "parseTabResult: Mode: SINGLE window, sub-list per tab (ambiguous resolved)",
         {{"https://b/*", "https://c/"}}},
    };
    for (const Case& c : cases) {
        AnalysisLogger::shared().beginSession(Workspace{});
        const auto windows = BrowserScriptService::parseTabResult(c.answer);
        EXPECT_EQ(tabUrls(windows), c.windows) << c.name;
        const QStringList lines = loggedMessages();
        const auto modes = lines.filter("Mode:");
        if (c.mode) {
            EXPECT_EQ(modes, QStringList{c.mode}) << c.name;
        } else {
            EXPECT_TRUE(modes.isEmpty()) << c.name;
        }
    }
}

TEST(BrowserTabParser, TabFieldsAndLogLines) {
    TestPlatform tp;
    AnalysisLogger::shared().beginSession(Workspace{});
    const D answer = L({L({L({T("https://a/"), D::missing(), D::boolean(true)}), L({T("https://b/")})})});
    const auto first = BrowserScriptService::parseTabResult(answer);
    const auto second = BrowserScriptService::parseTabResult(answer);
    ASSERT_EQ(first.size(), 1);
    ASSERT_EQ(first[0].size(), 2);
    EXPECT_EQ(first[0][0].title, std::nullopt); // a missing value is no title
    EXPECT_TRUE(first[0][0].isActive);
    EXPECT_FALSE(first[0][1].isActive); // an absent flag is false
    EXPECT_NE(first[0][0].id, second[0][0].id);
    EXPECT_EQ(loggedMessages().mid(0, 5),
              (QStringList{
                  "parseTabResult: Top-level items: 1, type: list",
                  "parseTabResult: firstItem type=list, isString=false, subItems=2",
                  "parseTabResult: grandchild type=list, isString=false, subItems=3",
                  "parseTabResult: Mode: NESTED windows, sub-list per tab",
                  "parseWindows: Window[1]: 2 tabs",
              }));
    EXPECT_EQ(BrowserScriptService::fourCharCodeToString(0x00416263), QString(QChar(0)) + "Abc");
}
