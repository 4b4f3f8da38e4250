// Browser conversations end to end against the simulated browsers.
#include "Services/Scripting/BrowserScriptService.h"
#include "Services/Scripting/BrowserNames.h"

#include "Models/Workspace.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Support/ScriptedDesktop.h"

#include "Support/ScriptTestHelpers.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString kChrome = QStringLiteral("com.google.Chrome");
const QString kSafari = QStringLiteral("com.apple.Safari");

TabSnapshot tab(const QString& url, bool active = false) {
    return TabSnapshot{QUuid::createUuid(), url, {}, active};
}

class BrowserScriptServiceTest : public ::testing::Test {
protected:
    void SetUp() override { AnalysisLogger::shared().beginSession(Workspace{}); }
    ScriptedDesktop d;
};

} // namespace

// Saved windows come back with their tabs, frames and active tabs (of two marked active, the
// first), and read back as saved. Saved text is data, never script: a URL built to break out of
// its literal arrives unchanged.
TEST_F(BrowserScriptServiceTest, RestoredWindowsReadBackInBothDialects) {
    const QString hostile = R"(x" & (do shell script "say hi") & "\)";
    for (const QString& id : {kChrome, kSafari}) {
        const qint32 pid = d.addApp(id, BrowserNames::appName(id));
        d.addBrowserWindow(pid, {"https://back/*"});
        const BrowserScriptService::TabList saved{
            {tab("https://one/"), tab("https://two/", true), tab(hostile, true)},
            {},
            {tab("https://solo/", true)},
            {tab("https://last/")},
        };
        // The second frame is missing, the third is not a number and the list is short.
        const QList<SnapshotRect> frames{{10, 20, 800, 600}, {0, 0, 1, 1}, {std::nan(""), 0, 100, 100}};
        ASSERT_TRUE(d.clock().runUntilDone(BrowserScriptService::restoreTabs(id, saved, frames)));
        const auto tabs = d.clock().runUntilDone(BrowserScriptService::captureTabs(id));
        ASSERT_TRUE(tabs);
        EXPECT_EQ(tabUrls(*tabs), (QList<QStringList>{{"https://one/", "https://two/*", hostile},
                                                      {"https://solo/*"},
                                                      {"https://last/*"},
                                                      {"https://back/*"}}))
            << id.toStdString();
        EXPECT_EQ(d.desktop().window(d.windowsFrontToBack(pid)[0])->frame, QRectF(10, 20, 800, 600));
    }
    EXPECT_TRUE(d.host().rejectedScripts().isEmpty());
    const QStringList lines = loggedMessages();
    for (const char* line : {"restoreChromiumTabs: Set bounds for window 1: {10, 20, 810, 620}",
                             "restoreSafariTabs: Skipping empty tab list for snapshotIdx=1",
                             "restoreSafariTabs: Restored window[0] at index 1 with 3 tabs",
                             "restoreTabs:     tab[1]: url=https://two/, active=true",
                             "parseTabResult: Mode: NESTED windows, sub-list per tab"}) {
        EXPECT_TRUE(lines.contains(line)) << line;
    }
}

// Whether the creation script made a window is told by the browser's window count, not by its
// answer: a window that exists gets its frame, further tabs and active tab even when the answer came
// too late or the dialect's second line failed; when none was made, the user's front window is left
// alone.
TEST_F(BrowserScriptServiceTest, WindowCreationWithoutAnAnswer) {
    using Host = SimulatedScriptHost;
    const struct {
        const char* id;
        Host::Behaviour fault;
        QList<QStringList> windows;
        const char* line;
    } cases[] = {
        {"com.google.Chrome",
         Host::failure(-1728, "Can't make window.").at("make new window"),
         {{"https://first/*"}, {"https://mine/*"}},
         "restoreChromiumTabs: Window creation gave no window for snapshotIdx=1 — skipping its bounds, tabs "
         "and activation"},
        {"com.brave.Browser",
         Host::late(11s).at("make new window"),
         {{"https://first/*"}, {"https://x/", "https://y/*"}, {"https://mine/*"}},
         "restoreChromiumTabs: Window creation gave no answer for snapshotIdx=1, but a window was made — "
         "going on with window 1"},
        // The window's further tabs are asked for in the same script, which ends at the failure.
        {"com.microsoft.edgemac",
         Host::failure(-1728, "Can't get active tab of window 1.").at("set URL of active tab"),
         {{"https://first/*"}, {"chrome://newtab/*"}, {"https://mine/*"}},
         "restoreChromiumTabs: Window creation gave no answer for snapshotIdx=1, but a window was made — "
         "going on with window 1"},
    };
    for (const auto& c : cases) {
        AnalysisLogger::shared().beginSession(Workspace{});
        const QString name = BrowserNames::appName(c.id);
        const qint32 pid = d.addApp(c.id, name);
        const quint32 users = d.addBrowserWindow(pid, {"https://mine/*"}, QRectF(300, 300, 500, 400));
        d.host().queueBehaviour(name, c.fault);
        const BrowserScriptService::TabList saved{{tab("https://first/", true)},
                                                  {tab("https://x/"), tab("https://y/", true)}};
        ASSERT_TRUE(d.clock().runUntilDone(BrowserScriptService::restoreTabs(
            c.id, saved, QList<SnapshotRect>{{0, 0, 700, 500}, {5, 5, 600, 600}})));
        EXPECT_EQ(d.browserWindows(pid), c.windows) << c.id;
        EXPECT_EQ(d.desktop().window(users)->frame, QRectF(300, 300, 500, 400)) << c.id;
        EXPECT_EQ(d.desktop().window(d.windowsFrontToBack(pid)[1])->frame,
                  c.windows.size() == 3 ? QRectF(5, 5, 600, 600) : QRectF(300, 300, 500, 400))
            << c.id;
        EXPECT_TRUE(loggedMessages().contains(c.line)) << c.id;
    }
}

// Every refusal puts the alert up again; other errors and time-outs are only logged. A hung
// browser costs its caller 10 s, and the next call waits until the hung script really ends.
TEST_F(BrowserScriptServiceTest, FailuresRefusalsAndTimeOuts) {
    const qint32 pid = d.addApp(kChrome, "Google Chrome");
    d.addBrowserWindow(pid, {"https://a/*"});
    d.host().queueBehaviour("Google Chrome", SimulatedScriptHost::refusal("Google Chrome"));
    d.host().queueBehaviour("Google Chrome", SimulatedScriptHost::refusal("Google Chrome", false));
    d.host().queueBehaviour("Google Chrome", SimulatedScriptHost::failure(-1708, "Chrome got an error."));
    d.host().queueBehaviour("Google Chrome", SimulatedScriptHost::late(15s));
    d.prompts().queueAlertAnswer(0); // Open Settings
    d.prompts().queueAlertAnswer(1); // Cancel
    for (int i = 0; i < 4; ++i) {
        const auto tabs = d.clock().runUntilDone(BrowserScriptService::captureTabs(kChrome));
        ASSERT_TRUE(tabs);
        EXPECT_TRUE(tabs->isEmpty());
    }
    EXPECT_EQ(d.clock().elapsed(), 10s);
    const auto& alerts = d.prompts().shownAlerts();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[0].messageText, "Automation Permission Required");
    EXPECT_EQ(
        alerts[0].informativeText,
        "Ordella needs permission to control Google Chrome to capture and restore browser tabs. Please grant "
        "access in your desktop's settings.");
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Open Settings", "Cancel"}));
    EXPECT_EQ(alerts[0].style, AlertRequest::Style::Warning);
    EXPECT_TRUE(alerts[1].informativeText.contains("control the browser to"));
    EXPECT_EQ(
        d.prompts().openedUrls(),
        QList<QUrl>{QUrl("x-apple.systempreferences:com.apple.preference.security?Privacy_Automation")});
    const QStringList lines = loggedMessages();
    for (const char* line : {"Not authorized to send Apple events to Google Chrome. Prompting user.",
                             "Not authorized to send Apple events to the browser. Prompting user.",
                             "AppleScript error (-1708): Chrome got an error.",
                             "runAppleScript: TIMEOUT after 10.0s — script may still be running",
                             "parseTabResult: No result to parse"}) {
        EXPECT_TRUE(lines.contains(line)) << line;
    }
    const auto behind = d.clock().runUntilDone(BrowserScriptService::captureTabs(kChrome));
    ASSERT_TRUE(behind);
    EXPECT_EQ(tabUrls(*behind), (QList<QStringList>{{"https://a/*"}}));
    EXPECT_EQ(d.clock().elapsed(), 15s);
}

TEST_F(BrowserScriptServiceTest, Housekeeping) {
    const qint32 chrome = d.addApp(kChrome, "Google Chrome");
    const qint32 safari = d.addApp(kSafari, "Safari");
    for (qint32 pid : {chrome, safari}) {
        d.addBrowserWindow(pid, {"https://keep/*"});
        d.addBrowserWindow(pid, {"ABOUT:BLANK*"});
        d.addBrowserWindow(pid, {"about:blank", "about:blank*"});
        d.addBrowserWindow(pid, {"file:///tmp/x.html*"});
        d.addBrowserWindow(pid, {});
    }
    for (const QString& id : {kChrome, kSafari}) {
        ASSERT_TRUE(d.clock().runUntilDone(BrowserScriptService::closeEmptyBrowserWindows(id)));
    }
    // Without tabs: closed by the Safari dialect, left by the Chromium one. A local file is a page.
    EXPECT_EQ(d.browserWindows(chrome),
              (QList<QStringList>{
                  {}, {"file:///tmp/x.html*"}, {"about:blank", "about:blank*"}, {"https://keep/*"}}));
    EXPECT_EQ(
        d.browserWindows(safari),
        (QList<QStringList>{{"file:///tmp/x.html*"}, {"about:blank", "about:blank*"}, {"https://keep/*"}}));

    const int before = static_cast<int>(d.host().executedScripts().size());
    ASSERT_TRUE(d.clock().runUntilDone(BrowserScriptService::closeWindowsBeyondCount(kChrome, 4)));
    EXPECT_EQ(d.host().executedScripts().size(), before + 1); // only the count
    ASSERT_TRUE(d.clock().runUntilDone(BrowserScriptService::closeWindowsBeyondCount(kChrome, 1)));
    EXPECT_EQ(d.browserWindows(chrome), (QList<QStringList>{{}}));
    EXPECT_TRUE(loggedMessages().contains("Closing 3 windows (keeping 1)"));

    ASSERT_TRUE(d.clock().runUntilDone(BrowserScriptService::closeBrowser(kSafari)));
    EXPECT_TRUE(d.browserWindows(safari).isEmpty());
    EXPECT_TRUE(loggedMessages().contains("closeBrowser: Closing all windows for Safari"));
    EXPECT_TRUE(d.host().rejectedScripts().isEmpty());
}
