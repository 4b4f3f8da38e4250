// Restores of the browser of scripts/bootstrap that the plain tab scene does not cover: tabs it is
// not given, a second profile, tabs past the eighth, and a restore that must not wait on the
// session file the browser's previous run left behind.
#include "ChromiumDesktopTest.h"
#include "Platform/Diagnostics.h"

#include <QScopeGuard>
#include <QSet>
#include <QTimer>

namespace {

class LinuxBrowserRestoreTest : public ChromiumDesktopTest {
protected:
    // Restores while noting every browser window that shows up on the way, and every printed line.
    RestoreReport watchedRestore(const Workspace& workspace) {
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [this] {
            for (const X11Client& w : browserWindows()) {
                m_seen.insert(w.window);
            }
        });
        sampler.start(50);
        const Diagnostics::Sink previous =
            Diagnostics::setSink([this](const QString& line) { m_printed << line; });
        const auto restoreSink = qScopeGuard([&previous] { Diagnostics::setSink(previous); });
        return restore(workspace);
    }

    QSet<xcb_window_t> windowIds() {
        QSet<xcb_window_t> ids;
        for (const X11Client& w : browserWindows()) {
            ids.insert(w.window);
        }
        return ids;
    }

    static const AppRestoreResult* browserResult(const RestoreReport& report) {
        for (const AppRestoreResult& app : report.appResults) {
            if (app.bundleIdentifier == QLatin1String(kEntry)) {
                return &app;
            }
        }
        return nullptr;
    }

    QSet<xcb_window_t> m_seen;
    QStringList m_printed;
};

TEST_F(LinuxBrowserRestoreTest, PagesTheBrowserIsNotGivenComeBackBlankInOnePassAndAreReported) {
    ASSERT_TRUE(m_ready);
    const QRect frame(60, 40, 1100, 700);
    arrange({{{"/page1", "/page2"}, 0, frame}, {{"/page3"}, 0, QRect(2100, 120, 1000, 760)}});
    ASSERT_FALSE(HasFatalFailure());
    // Beside the two pages, as a user opens them: the browser's history, then a new tab.
    const xcb_window_t window = browserWindows().last().window;
    windows->activate(window);
    ASSERT_TRUE(waitUntil([&] { return windows->activeWindow() == window; }));
    ASSERT_TRUE(m_keys->press({0xffe3}, 0x68)); // Ctrl+H
    ASSERT_TRUE(
        waitUntil([&] { return windows->client(window)->title.value_or(QString()).startsWith("History"); }));
    ASSERT_TRUE(m_keys->press({0xffe3}, 0x74)); // Ctrl+T
    ASSERT_TRUE(
        waitUntil([&] { return windows->client(window)->title == QStringLiteral("New Tab - Chromium"); }));
    const QString history = QStringLiteral("chrome://history/");
    const QString newTab = QStringLiteral("chrome://new-tab-page-third-party/");
    const QList<BrowserWindow> scene{{{"/page1", "/page2", history, newTab}, 3, frame},
                                     {{"/page3"}, 0, QRect(2100, 120, 1000, 760)}};
    ASSERT_TRUE(waitForSession(scene)) << describe(sessionState()).toStdString();
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Browser")));
    ASSERT_TRUE(workspace);
    quitBrowser();
    ASSERT_FALSE(HasFatalFailure());

    const RestoreReport report = watchedRestore(*workspace);
    EXPECT_EQ(report.status, RestoreStatus::partiallyRestored) << report.summary().toStdString();
    const AppRestoreResult* browser = browserResult(report);
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->status, RestoreStatus::partiallyRestored);
    // The new-tab page comes back as the blank page that stands in for it: that tab is back.
    EXPECT_TRUE(browser->reason.contains(QStringLiteral("Tabs not reopened: ") + history))
        << browser->reason.toStdString();
    EXPECT_FALSE(browser->reason.contains(newTab)) << browser->reason.toStdString();
    // One attempt: the window the browser opened at its start, and one per saved window.
    EXPECT_EQ(browserWindows().size(), 2);
    EXPECT_LE(m_seen.size(), 3);
    const QList<BrowserWindow> expected{{{"/page1", "/page2", "about:blank", "about:blank"}, 3, frame},
                                        {{"/page3"}, 0, QRect(2100, 120, 1000, 760)}};
    EXPECT_TRUE(waitForSession(expected)) << describe(sessionState()).toStdString();

    // Again: nothing more comes of it, and no window is made.
    const QSet<xcb_window_t> before = windowIds();
    const RestoreReport again = watchedRestore(*workspace);
    EXPECT_EQ(again.status, RestoreStatus::partiallyRestored) << again.summary().toStdString();
    EXPECT_EQ(windowIds(), before);
}

TEST_F(LinuxBrowserRestoreTest, ASecondProfileComesBackInItsOwnProfile) {
    ASSERT_TRUE(m_ready);
    const QString second = m_folder.filePath(QStringLiteral("second"));
    const QList<BrowserWindow> own{{{"/page1", "/page2"}, 1, QRect(60, 40, 1100, 700)}};
    const QList<BrowserWindow> other{{{"/page3", "/page4"}, 0, QRect(2100, 120, 1000, 760)}};
    arrange(own);
    ASSERT_FALSE(HasFatalFailure());
    arrange(other, second);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Profiles")));
    ASSERT_TRUE(workspace);
    QMap<QString, std::optional<QString>> profiles;
    for (const AppSnapshot& app : workspace->appSnapshots) {
        for (const WindowSnapshot& w : app.windowSnapshots) {
            if (app.bundleIdentifier == QLatin1String(kEntry) && !w.tabSnapshots.isEmpty()) {
                profiles.insert(QUrl(w.tabSnapshots.first().url).path(),
                                w.browserProfile ? w.browserProfile->userDataDir : std::nullopt);
            }
        }
    }
    EXPECT_EQ(profiles, (QMap<QString, std::optional<QString>>{{"/page1", m_profile}, {"/page3", second}}));
    quitBrowser();
    ASSERT_FALSE(HasFatalFailure());

    const RestoreReport report = watchedRestore(*workspace);
    EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();
    EXPECT_TRUE(waitForSession(own)) << describe(sessionState()).toStdString();
    EXPECT_TRUE(waitForSession(other, second)) << describe(sessionState(second)).toStdString();
    // The windows say which profile they belong to in their class.
    QStringList classes;
    for (const X11Client& w : browserWindows()) {
        classes << w.wmInstance;
    }
    classes.sort();
    EXPECT_EQ(classes, QStringList({QStringLiteral("chromium (") + m_profile + u')',
                                    QStringLiteral("chromium (") + second + u')'}));
}

TEST_F(LinuxBrowserRestoreTest, TabsPastTheEighthAreShownThreeRestoresInARow) {
    ASSERT_TRUE(m_ready);
    QStringList ten;
    QStringList twelve;
    for (int i = 1; i <= 12; ++i) {
        if (i <= 10) {
            ten << QStringLiteral("/page%1").arg(i);
        }
        twelve.prepend(QStringLiteral("/page%1").arg(i));
    }
    const QList<BrowserWindow> scene{{ten, 9, QRect(60, 40, 1100, 700)},
                                     {twelve, 8, QRect(2100, 120, 1000, 760)}};
    arrange(scene);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Many tabs")));
    ASSERT_TRUE(workspace);
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE(run);
        quitBrowser();
        ASSERT_FALSE(HasFatalFailure());
        m_printed.clear();
        const RestoreReport report = watchedRestore(*workspace);
        EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();
        EXPECT_TRUE(waitForSession(scene)) << describe(sessionState()).toStdString();
        // The browser the restore started wrote its own session file beside the one its last
        // run left: no step waited on the old one.
        EXPECT_FALSE(m_printed.join(u'\n').contains("does not show")) << m_printed.join(u'\n').toStdString();
    }
}

} // namespace
