#include "Services/Restore/BrowserTabRestorer.h"

#include "Platform/ScriptRunner.h"
#include "RestoreFixture.h"

namespace {

const QString kChrome = QStringLiteral("com.google.Chrome");

class BrowserTabRestorerTest : public RestoreFixture {
protected:
    // Windows of URLs, the active one marked with a trailing "*".
    static QList<QList<TabSnapshot>> tabs(const QList<QStringList>& windows) {
        QList<QList<TabSnapshot>> list;
        for (const QStringList& urls : windows) {
            QList<TabSnapshot> window;
            for (QString url : urls) {
                const bool active = url.endsWith('*');
                url.remove('*');
                window.append(TabSnapshot{QUuid::createUuid(), url, url, active});
            }
            list.append(window);
        }
        return list;
    }
    static AppSnapshot saved(const QList<QStringList>& windows) {
        QList<WindowSnapshot> snapshots;
        const QList<QList<TabSnapshot>> all = tabs(windows);
        for (qsizetype i = 0; i < all.size(); ++i) {
            WindowSnapshot w = savedWindow(QRectF(40 + 30 * i, 60 + 30 * i, 900, 700), QString(), i);
            w.tabSnapshots = all[i];
            snapshots.append(w);
        }
        return savedApp(kChrome, snapshots);
    }
    // A running browser with these windows, added in this order (the last in front).
    qint32 browser(const QList<QStringList>& windows) {
        const qint32 pid = addApp(kChrome, "Google Chrome");
        for (const QStringList& urls : windows) {
            addBrowserWindow(pid, urls);
        }
        return pid;
    }
};

// Before the saved windows are reopened empty windows go (and when the tabs then match, nothing is
// reopened); windows the user had at the start stay; after it, windows that show nothing go
// unless other applications are being closed.
TEST_F(BrowserTabRestorerTest, ClearsUpBeforeAndAfterReopeningTheSavedWindows) {
    struct Case {
        const char* name;
        QList<QStringList> before;
        QList<QStringList> saved;
        bool closeOtherApps;
        QList<QStringList> after; // front to back
        bool skipped;
    };
    const QList<Case> cases{
        {"the tabs match once the empty window is gone",
         {{"https://a.org*"}, {"chrome://newtab/*"}},
         {{"https://a.org*"}},
         false,
         {{"https://a.org*"}},
         true},
        {"the windows counted at the start stay",
         {{"https://x.org*"}, {"https://y.org*"}, {"chrome://newtab/*"}},
         {{"https://a.org*"}},
         false,
         {{"https://a.org*"}, {"https://y.org*"}, {"https://x.org*"}},
         false},
        {"a window that shows nothing goes after the reopen",
         {},
         {{"https://a.org*"}, {"chrome://newtab/*"}},
         false,
         {{"https://a.org*"}},
         false},
        {"unless other applications are closed",
         {},
         {{"https://a.org*"}, {"chrome://newtab/*"}},
         true,
         {{"https://a.org*"}, {"chrome://newtab/*"}},
         false},
    };
    const QString skipLine =
        "Tabs already match after cleanup for com.google.Chrome — skipping window creation";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const qint32 pid = browser(c.before);
        const qsizetype skipsBefore = restorerLines().count(skipLine);
        run(BrowserTabRestorer::restoreBrowserTabs(saved(c.saved), c.closeOtherApps, false));
        EXPECT_EQ(browserWindows(pid), c.after);
        EXPECT_EQ(restorerLines().count(skipLine) - skipsBefore, c.skipped ? 1 : 0);
        desktop().removeApplication(pid);
    }
}

// Without a window count at the start there is nothing to keep count of: every window the user
// had stays, whatever the count read later.
TEST_F(BrowserTabRestorerTest, WindowsStayWhenTheCountAtTheStartIsNotACount) {
    // Answers the first window count with -3; every other script runs on the simulated host.
    class FirstCountBelowZero : public ScriptRunner {
    public:
        explicit FirstCountBelowZero(std::shared_ptr<ScriptRunner> inner)
            : m_inner(std::move(inner)) {}
        QCoro::Task<ScriptResult> run(QString source) override {
            if (!m_answered && source.contains(QStringLiteral("return count of windows"))) {
                m_answered = true;
                co_return ScriptResult::answer(ScriptDescriptor::integer(-3));
            }
            co_return co_await m_inner->run(std::move(source));
        }

    private:
        std::shared_ptr<ScriptRunner> m_inner;
        bool m_answered = false;
    };
    const std::shared_ptr<ScriptRunner> host = platform().scriptRunner;
    const QList<std::pair<const char*, std::function<void()>>> faults{
        {"refused",
         [this] {
             this->host().queueBehaviour(
                 "Google Chrome",
                 SimulatedScriptHost::failure(-1728, "Can't count.").at("return count of windows"));
         }},
        {"below zero",
         [this, host] { platform().scriptRunner = std::make_shared<FirstCountBelowZero>(host); }},
    };
    for (const auto& [name, fault] : faults) {
        SCOPED_TRACE(name);
        const qint32 pid = browser({{"https://x.org*"}, {"https://y.org*"}});
        fault();
        run(BrowserTabRestorer::restoreBrowserTabs(saved({{"https://a.org*"}}), false, false));
        EXPECT_EQ(browserWindows(pid),
                  (QList<QStringList>{{"https://a.org*"}, {"https://y.org*"}, {"https://x.org*"}}));
        platform().scriptRunner = host;
        desktop().removeApplication(pid);
    }
}

// The wait for the reopened tabs compares each window's own tab count, not the sum.
TEST_F(BrowserTabRestorerTest, WaitsUntilEachWindowShowsItsOwnTabs) {
    struct Case {
        QList<QStringList> shown; // front to back
        QList<QStringList> expected;
        qint64 waitedMs;
    };
    const QList<Case> cases{
        {{{"https://a.org*"}, {"https://b.org", "https://c.org*"}},
         {{"https://a.org"}, {"https://b.org", "https://c.org"}},
         0},
        {{{"https://a.org", "https://b.org*"}, {"https://c.org*"}}, {{"https://a.org"}}, 0},
        {{{"https://a.org*"}, {"https://b.org", "https://c.org*"}},
         {{"https://a.org", "https://b.org"}, {"https://c.org"}},
         10000},
        {{{"https://a.org*"}}, {{"https://a.org"}, {"https://b.org"}}, 10000},
    };
    for (const Case& c : cases) {
        QList<QStringList> addedBackToFront = c.shown;
        std::reverse(addedBackToFront.begin(), addedBackToFront.end());
        const qint32 pid = browser(addedBackToFront);
        ASSERT_EQ(browserWindows(pid), c.shown);
        const qint64 before = elapsedMs();
        run(BrowserTabRestorer::waitForBrowserTabs(kChrome, tabs(c.expected), 10.0));
        EXPECT_EQ(elapsedMs() - before, c.waitedMs) << c.expected.size();
        desktop().removeApplication(pid);
    }
}

} // namespace
