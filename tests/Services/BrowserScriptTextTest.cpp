// The exact texts of the browser scripts in both dialects, and the escaping of saved text.
#include "Services/BrowserScriptService.h"

#include "Services/ScriptTestHelpers.h"

#include <gtest/gtest.h>

namespace {

const QString kChrome = QStringLiteral("com.google.Chrome");
const QString kSafari = QStringLiteral("com.apple.Safari");

} // namespace

TEST(BrowserScriptText, NamesAndDialects) {
    EXPECT_EQ(BrowserScriptService::supportedBrowsers().size(), 10);
    const std::pair<const char*, const char*> names[] = {
        {"com.apple.Safari", "Safari"},
        {"com.apple.SafariTechnologyPreview", "Safari Technology Preview"},
        {"com.google.Chrome.canary", "Google Chrome Canary"},
        {"company.thebrowser.Browser", "Arc"},
        {"com.brave.Browser", "Brave Browser"},
        {"com.microsoft.edgemac", "Microsoft Edge"},
        {"com.operasoftware.Opera", "Opera"},
        {"com.vivaldi.Vivaldi", "Vivaldi"},
        {"org.chromium.Chromium", "Chromium"},
        {"org.example.unknown", "Google Chrome"},
        {"COM.GOOGLE.CHROME", "Google Chrome"},
    };
    for (const auto& [id, name] : names) {
        EXPECT_EQ(BrowserScriptService::appName(id), name) << id;
    }
    // An unknown browser is spoken to in the Chromium dialect.
    EXPECT_TRUE(BrowserScriptService::tabListingScript("org.example.unknown").contains("active tab index"));
}

TEST(BrowserScriptText, Escaping) {
    const std::pair<QString, QString> cases[] = {
        {R"(plain)", R"(plain)"},
        {R"(a"b)", R"(a\"b)"},
        {R"(a\b)", R"(a\\b)"},
        {R"(\")", R"(\\\")"},
        {"line\nfeed\rreturn\ttab", "linefeedreturntab"},
        {R"(x" & (do shell script "say hi") & ")", R"(x\" & (do shell script \"say hi\") & \")"},
    };
    for (const auto& [raw, escaped] : cases) {
        EXPECT_EQ(ScriptText::escape(raw), escaped) << raw.toStdString();
    }
}

TEST(BrowserScriptText, Listing) {
    EXPECT_EQ(BrowserScriptService::tabListingScript(kChrome), QString(R"(tell application "Google Chrome"
    set windowTabs to {}
    repeat with w in windows
        set tabList to {}
        set activeIndex to active tab index of w
        set tabIndex to 1
        repeat with t in tabs of w
            set tabURL to URL of t
            set tabTitle to title of t
            set isActive to (tabIndex = activeIndex)
            set end of tabList to {tabURL, tabTitle, isActive}
            set tabIndex to tabIndex + 1
        end repeat
        set end of windowTabs to tabList
    end repeat
    return windowTabs
end tell)"));
    EXPECT_EQ(BrowserScriptService::tabListingScript("com.apple.SafariTechnologyPreview"),
              QString(R"(tell application "Safari Technology Preview"
    set windowTabs to {}
    repeat with w in windows
        set tabList to {}
        set activeIndex to index of current tab of w
        set tabIndex to 1
        repeat with t in tabs of w
            set tabURL to URL of t
            set tabTitle to name of t
            set isActive to (tabIndex = activeIndex)
            set end of tabList to {tabURL, tabTitle, isActive}
            set tabIndex to tabIndex + 1
        end repeat
        set end of windowTabs to tabList
    end repeat
    return windowTabs
end tell)"));
}

TEST(BrowserScriptText, RestoreScripts) {
    const QString url = R"(https://e.x/?q="a"\b)";
    EXPECT_EQ(BrowserScriptService::createWindowScript(kSafari, url), QString(R"(tell application "Safari"
    make new document with properties {URL:"https://e.x/?q=\"a\"\\b"}
    return 1
end tell)"));
    EXPECT_EQ(BrowserScriptService::createWindowScript(kChrome, url),
              QString(R"(tell application "Google Chrome"
    make new window
    set URL of active tab of window 1 to "https://e.x/?q=\"a\"\\b"
    return 1
end tell)"));
    for (const QString& id : {kSafari, kChrome}) {
        EXPECT_EQ(BrowserScriptService::setBoundsScript(id, 2, {10, -20, 810, 580}),
                  "tell application \"" + BrowserScriptService::appName(id) +
                      "\"\n    set bounds of window 2 to {10, -20, 810, 580}\nend tell");
        EXPECT_EQ(BrowserScriptService::openTabsScript(id, 1, {"https://a/", "https://b/\"x"}),
                  "tell application \"" + BrowserScriptService::appName(id) + R"("
tell window 1
make new tab with properties {URL:"https://a/"}
end tell
tell window 1
make new tab with properties {URL:"https://b/\"x"}
end tell
end tell)");
        EXPECT_EQ(BrowserScriptService::windowCountScript(id),
                  "tell application \"" + BrowserScriptService::appName(id) +
                      "\"\n    return count of windows\nend tell");
        EXPECT_EQ(BrowserScriptService::closeAllWindowsScript(id),
                  "tell application \"" + BrowserScriptService::appName(id) +
                      "\"\n    close every window\nend tell");
        EXPECT_EQ(BrowserScriptService::closeWindowsBeyondCountScript(id, 2),
                  "tell application \"" + BrowserScriptService::appName(id) + R"("
    set winCount to count of windows
    if winCount > 2 then
        set toClose to winCount - 2
        repeat with i from winCount to (winCount - toClose + 1) by -1
            try
                close window i
            end try
        end repeat
    end if
end tell)");
    }
    EXPECT_EQ(BrowserScriptService::activateTabScript(kSafari, 3, 2),
              "tell application \"Safari\"\n    set current tab of window 3 to tab 2 of window 3\nend tell");
    EXPECT_EQ(BrowserScriptService::activateTabScript(kChrome, 3, 2),
              "tell application \"Google Chrome\"\n    set active tab index of window 3 to 2\nend tell");
}

TEST(BrowserScriptText, CloseEmptyWindows) {
    const QString condition =
        R"(u starts with "chrome://newtab" or u starts with "chrome://new-tab-page" or u starts with "edge://newtab" or )"
        R"(u starts with "brave://newtab" or u starts with "vivaldi://newtab" or u starts with "opera://startpage" or )"
        R"(u starts with "arc://newtab" or u starts with "about:blank" or u starts with "about:newtab" or )"
        R"(u starts with "favorites://" or u starts with "safari://startpage" or u starts with "safari://favorites" or )"
        R"(u starts with "safari://newtab" or u starts with "safari://new-tab-page" or u starts with "file://")";
    const QString tail = R"(
                if u is missing value then
                    close w
                else
                    set u to (u as string)
                    ignoring case
                        if )" +
                         condition + R"( then
                            close w
                        end if
                    end ignoring
                end if
            end if
        end try
    end repeat
end tell)";
    EXPECT_EQ(BrowserScriptService::closeEmptyWindowsScript(kSafari), R"(tell application "Safari"
    repeat with i from (count of windows) to 1 by -1
        try
            set w to window i
            set tabCount to (count of tabs of w)
            if tabCount is 0 then
                close w
            else if tabCount is 1 then
                set u to URL of tab 1 of w)" + tail);
    EXPECT_EQ(BrowserScriptService::closeEmptyWindowsScript(kChrome), R"(tell application "Google Chrome"
    repeat with i from (count of windows) to 1 by -1
        try
            set w to window i
            set tabCount to (count of tabs of w)
            if tabCount is 1 then
                set u to URL of active tab of w)" + tail);
}

TEST(BrowserScriptText, BoundsAreCheckedBeforeConversion) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ScriptText::bounds({10.9, -5.5, 800.2, 600.7}), (ScriptBounds{10, -5, 811, 595}));
    EXPECT_FALSE(ScriptText::bounds({std::nan(""), 0, 100, 100}));
    EXPECT_FALSE(ScriptText::bounds({0, 0, inf, 100}));
    EXPECT_FALSE(ScriptText::bounds({1e19, 0, 100, 100}));
    EXPECT_FALSE(ScriptText::bounds({9.2e18, 0, 1e18, 100})); // the right edge overflows
}
