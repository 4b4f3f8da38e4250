// Restores of the browser of scripts/bootstrap that the plain tab scene does not cover: tabs it is
// not given, a second profile, tabs past the eighth, a restore that must not wait on the session
// file the browser's previous run left behind, a browser started again after it was killed, the
// user's own windows beside the saved ones, and a revert.
#include "App/RestoreRunText.h"
#include "ChromiumDesktopTest.h"
#include "Platform/Diagnostics.h"
#include "Services/Restore/AppRestorer.h"
#include "Services/Restore/BrowserRestoreIssues.h"
#include "Services/Storage/AnalysisLogger.h"

#include "Support/LaggingBrowserRecord.h"
#include "Support/StatusPostRecorder.h"
#include <iostream>

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>

namespace {

class LinuxBrowserRestoreTest : public ChromiumDesktopTest {
protected:
    // Restores while noting every browser window that shows up on the way (with the process that
    // shows it and its class), and every printed line.
    RestoreReport watchedRestore(const Workspace& workspace) { return watchedRun(workspace).report; }

    RestoreRun watchedRun(const Workspace& workspace, bool closeOtherApps = false) {
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [this] {
            for (const X11Client& w : browserWindows()) {
                m_seen.insert(w.window);
                m_owners.insert(w.pid.value_or(0));
                m_classes.insert(w.wmInstance);
            }
        });
        sampler.start(50);
        const Diagnostics::Sink previous =
            Diagnostics::setSink([this](const QString& line) { m_printed << line; });
        const auto restoreSink = qScopeGuard([&previous] { Diagnostics::setSink(previous); });
        StatusPostRecorder recorder;
        RestoreCoordinator coordinator(WorkspaceRestorer::restore, &m_revertStates);
        RestoreRun run = QCoro::waitFor(coordinator.restoreRun(workspace, closeOtherApps));
        m_revertID = recorder.posts.isEmpty() ? std::nullopt : recorder.posts.last().revertStateID;
        return run;
    }

    // A page of a local file, as a user opens one.
    QString localPage(const QString& title) {
        const QString path = m_folder.filePath(title + QStringLiteral(".html"));
        QFile page(path);
        EXPECT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("<html><head><title>" + title.toUtf8() + "</title></head><body>" + title.toUtf8() +
                   "</body></html>");
        return QUrl::fromLocalFile(path).toString();
    }

    // The saved workspace without the browser windows whose first tab is address.
    static Workspace without(Workspace workspace, const QString& address) {
        for (AppSnapshot& app : workspace.appSnapshots) {
            app.windowSnapshots.removeIf([&address](const WindowSnapshot& w) {
                return !w.tabSnapshots.isEmpty() && w.tabSnapshots.first().url == address;
            });
        }
        return workspace;
    }

    // The browser's main processes (each profile's own), not the helpers they start per page.
    QList<qint32> mainProcesses() const {
        QList<qint32> main;
        for (const qint32 pid : browserProcesses()) {
            const QStringList line = ChromiumProfile::commandLine(pid);
            if (std::none_of(line.begin(), line.end(), [](const QString& word) {
                    return word.startsWith(QStringLiteral("--type="));
                })) {
                main << pid;
            }
        }
        return main;
    }

    // The window whose title names the page.
    std::optional<xcb_window_t> windowTitled(const QString& page) {
        for (const X11Client& w : browserWindows()) {
            if (w.title.value_or(QString()).startsWith(page + QStringLiteral(" - "))) {
                return w.window;
            }
        }
        return std::nullopt;
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

    // A workspace of the browser's windows as the scene has them (frames relative to the primary
    // monitor, as saved).
    Workspace workspaceOf(const QList<BrowserWindow>& scene) const {
        AppSnapshot app{QUuid::createUuid(), QLatin1String(kEntry), QStringLiteral("Chromium"), {}, false};
        for (qsizetype i = 0; i < scene.size(); ++i) {
            WindowSnapshot w;
            w.id = QUuid::createUuid();
            const QRect frame = scene[i].frame.translated(-monitors->primaryOrigin());
            w.frame = SnapshotRect{double(frame.x()), double(frame.y()), double(frame.width()),
                                   double(frame.height())};
            w.windowIndex = i;
            for (qsizetype t = 0; t < scene[i].paths.size(); ++t) {
                w.tabSnapshots.append(TabSnapshot{QUuid::createUuid(), url(scene[i].paths[t]), std::nullopt,
                                                  t == scene[i].active});
            }
            app.windowSnapshots.append(w);
        }
        Workspace workspace;
        workspace.id = QUuid::createUuid();
        workspace.name = QStringLiteral("Browser");
        workspace.appSnapshots = {app};
        return workspace;
    }

    QSet<xcb_window_t> m_seen;
    QSet<qint32> m_owners;
    QSet<QString> m_classes;
    QStringList m_printed;
    RevertStateManager m_revertStates;
    std::optional<QString> m_revertID;
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
    // The new-tab page comes back as the blank page that stands in for it, noted as the other is.
    EXPECT_TRUE(browser->reason.contains(QStringLiteral("Tabs not reopened: ") + history +
                                         QStringLiteral(", ") + newTab + QStringLiteral(" (2 of 4 tabs)")))
        << browser->reason.toStdString();
    EXPECT_TRUE(browser->reason.contains(QStringLiteral("a blank page stands in")))
        << browser->reason.toStdString();
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
        if (HasFailure()) {
            std::cout << m_printed.join(u'\n').toStdString() << std::endl;
            QFile log(AnalysisLogger::logFileURL().toLocalFile());
            if (log.open(QIODevice::ReadOnly)) {
                std::cout << log.readAll().toStdString() << std::endl;
            }
            return;
        }
    }
}

// With the browser running, a restore opens the saved window that was closed and leaves alone
// the one still open, whose tab the user navigated, and the user's own window on a local file (not
// in the workspace), in the same browser process; a revert then shows exactly the tabs shown before
// the restore, in the same windows, with the navigated tab's history still there.
TEST_F(LinuxBrowserRestoreTest, TheUsersWindowsAndTheBrowserStayAndARevertShowsExactlyWhatWasThere) {
    ASSERT_TRUE(m_ready);
    const QString local = localPage(QStringLiteral("Notes"));
    const QRect keptFrame(60, 40, 1100, 700);
    const BrowserWindow closed{{"/page3"}, 0, QRect(2100, 120, 1000, 760)};
    const BrowserWindow users{{local}, 0, QRect(400, 300, 900, 600)};
    // The second page links to the fourth, the link in focus once the page is shown.
    m_server.route(QStringLiteral("/page2"), QByteArray("<html><head><title>Page 2</title></head><body>"
                                                        "<a id=\"next\" href=\"/page4\">4</a><script>"
                                                        "document.getElementById('next').focus()</script>"
                                                        "</body></html>"));
    arrange({{{"/page1", "/page2"}, 1, keptFrame}, closed, users});
    ASSERT_FALSE(HasFatalFailure());
    // The user follows the link in the same tab: it has a page to go back to.
    const std::optional<xcb_window_t> keptWindow = windowTitled(QStringLiteral("Page 2"));
    ASSERT_TRUE(keptWindow);
    windows->activate(*keptWindow);
    ASSERT_TRUE(waitUntil([&] { return windows->activeWindow() == *keptWindow; }));
    ASSERT_TRUE(m_keys->press({}, 0xff0d)); // Return
    ASSERT_TRUE(waitUntil([&] { return windows->client(*keptWindow)->title == windowTitleOf("/page4"); }))
        << windows->client(*keptWindow)->title.value_or(QString()).toStdString();
    const BrowserWindow kept{{"/page1", "/page4"}, 1, keptFrame};
    ASSERT_TRUE(waitForSession({kept, closed, users})) << describe(sessionState()).toStdString();
    const std::optional<Workspace> captured =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Browser")));
    ASSERT_TRUE(captured);
    const Workspace workspace = without(*captured, local);
    const std::optional<xcb_window_t> page3 = windowTitled(QStringLiteral("Page 3"));
    ASSERT_TRUE(page3);
    windows->close(*page3);
    ASSERT_TRUE(waitForSession({kept, users})) << describe(sessionState()).toStdString();
    const std::optional<xcb_window_t> usersWindow = windowTitled(QStringLiteral("Notes"));
    ASSERT_TRUE(keptWindow && usersWindow);
    const QList<qint32> processes = mainProcesses();
    ASSERT_EQ(processes.size(), 1);

    const RestoreRun run = watchedRun(workspace);
    EXPECT_NE(run.report.status, RestoreStatus::failed) << run.report.summary().toStdString();
    EXPECT_TRUE(waitForSession({kept, closed, users})) << describe(sessionState()).toStdString();
    const QSet<xcb_window_t> shown = windowIds();
    EXPECT_TRUE(shown.contains(*keptWindow));
    EXPECT_TRUE(shown.contains(*usersWindow));
    EXPECT_EQ(shown.size(), 3);
    EXPECT_EQ(mainProcesses(), processes);

    ASSERT_TRUE(m_revertID);
    const RestoreReport reverted = QCoro::waitFor(m_revertStates.revertToState(*m_revertID));
    EXPECT_NE(reverted.status, RestoreStatus::failed) << reverted.summary().toStdString();
    const AppRestoreResult* browser = browserResult(reverted);
    ASSERT_TRUE(browser);
    EXPECT_FALSE(browser->reason.contains(QStringLiteral(", but"))) << browser->reason.toStdString();
    EXPECT_TRUE(waitForSession({kept, users})) << describe(sessionState()).toStdString();
    EXPECT_EQ(browserWindows().size(), 2);
    EXPECT_EQ(mainProcesses(), processes);
    // The user's own windows, with their history, are the ones shown: the revert closed only the
    // window the restore opened.
    ASSERT_EQ(windowIds(), (QSet<xcb_window_t>{*keptWindow, *usersWindow}));
    EXPECT_EQ(windows->client(*keptWindow)->title, windowTitleOf("/page4"));
    windows->activate(*keptWindow);
    ASSERT_TRUE(waitUntil([&] { return windows->activeWindow() == *keptWindow; }));
    ASSERT_TRUE(m_keys->press({0xffe9}, 0xff51)); // Alt+Left: back
    EXPECT_TRUE(waitUntil([&] { return windows->client(*keptWindow)->title == windowTitleOf("/page2"); }))
        << windows->client(*keptWindow)->title.value_or(QString()).toStdString();
}

// A window saved before the browser listed its tabs has nothing to put back: the user's own window
// (another page, in the browser the user started again) keeps its place and its frame, and the
// report says what became of the saved window.
TEST_F(LinuxBrowserRestoreTest, AWindowSavedWithoutTabsMovesNoneOfTheUsersWindows) {
    ASSERT_TRUE(m_ready);
    const BrowserWindow users{{"/page5"}, 0, QRect(300, 300, 700, 500)};
    arrange({users});
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<xcb_window_t> usersWindow = windowTitled(QStringLiteral("Page 5"));
    ASSERT_TRUE(usersWindow);
    const BrowserWindow first{{"/page1", "/page2"}, 0, QRect(60, 40, 1100, 700)};
    Workspace workspace = workspaceOf({first, {{"/page3"}, 0, QRect(2100, 120, 1000, 760)}});
    // As a capture right after the window opened saves it: the browser's record did not list it.
    AppSnapshot& app = workspace.appSnapshots.first();
    app.windowSnapshots[0].windowTitle = windowTitleOf("/page1");
    app.windowSnapshots[1].windowTitle = windowTitleOf("/page3");
    app.windowSnapshots[1].tabSnapshots.clear();

    const RestoreRun run = watchedRun(workspace);
    EXPECT_TRUE(waitForSession({first, users})) << describe(sessionState()).toStdString();
    EXPECT_TRUE(windowIds().contains(*usersWindow));
    EXPECT_EQ(windows->client(*usersWindow)->frameRect(), users.frame);
    EXPECT_EQ(browserWindows().size(), 2);
    EXPECT_EQ(run.report.status, RestoreStatus::partiallyRestored) << run.report.summary().toStdString();
    const QString text = RestoreRunText::describe(run);
    EXPECT_TRUE(text.contains(QStringLiteral("\"Page 3 - Chromium\": skipped - ") +
                              AppRestorer::savedWithoutTabsReason))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("\"Page 3 - Chromium\": restored"))) << text.toStdString();
}

// The very window saved, navigated since to another page and moved, is the user's: it keeps its
// frame and its page, and the saved window gets one window of its own, on its saved frame.
TEST_F(LinuxBrowserRestoreTest, TheWindowSavedNowShowingAnotherPageIsTheUsersAndKeepsItsFrame) {
    ASSERT_TRUE(m_ready);
    m_server.route(QStringLiteral("/page2"), QByteArray("<html><head><title>Page 2</title></head><body>"
                                                        "<a id=\"next\" href=\"/page6\">6</a><script>"
                                                        "document.getElementById('next').focus()</script>"
                                                        "</body></html>"));
    const BrowserWindow saved{{"/page2"}, 0, QRect(60, 40, 1100, 700)};
    arrange({saved});
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<xcb_window_t> usersWindow = windowTitled(QStringLiteral("Page 2"));
    ASSERT_TRUE(usersWindow);
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Browser")));
    ASSERT_TRUE(workspace);
    ASSERT_TRUE(m_keys->press({}, 0xff0d)); // Return: the link
    ASSERT_TRUE(waitUntil([&] { return windows->client(*usersWindow)->title == windowTitleOf("/page6"); }))
        << windows->client(*usersWindow)->title.value_or(QString()).toStdString();
    const QRect usersFrame(500, 300, 900, 600);
    windows->moveFrame(*usersWindow, usersFrame.topLeft());
    windows->resizeFrame(*usersWindow, usersFrame.size());
    ASSERT_TRUE(waitUntil([&] { return windows->client(*usersWindow)->frameRect() == usersFrame; }));
    const BrowserWindow users{{"/page6"}, 0, usersFrame};
    ASSERT_TRUE(waitForSession({users})) << describe(sessionState()).toStdString();

    const RestoreRun run = watchedRun(*workspace);
    const QString text = RestoreRunText::describe(run);
    EXPECT_TRUE(waitForSession({saved, users}))
        << describe(sessionState()).toStdString() << text.toStdString();
    EXPECT_EQ(windows->client(*usersWindow)->frameRect(), usersFrame) << text.toStdString();
    EXPECT_EQ(windows->client(*usersWindow)->title, windowTitleOf("/page6"));
    EXPECT_EQ(browserWindows().size(), 2);
    EXPECT_EQ(m_seen.size(), 2) << "one window opened for the saved one";
}

// With other applications closed, the user's window that shows a saved window's page (reached by
// a link, so it has a page to go back to) is that saved window: it stays, with its history, and no
// window is made twice while the browser's record catches up with the new one.
TEST_F(LinuxBrowserRestoreTest, OtherAppsClosedTheUsersWindowShowingASavedTabIsKeptWithItsHistory) {
    ASSERT_TRUE(m_ready);
    m_server.route(QStringLiteral("/page6"), QByteArray("<html><head><title>Page 6</title></head><body>"
                                                        "<a id=\"next\" href=\"/page3\">3</a><script>"
                                                        "document.getElementById('next').focus()</script>"
                                                        "</body></html>"));
    const QRect usersFrame(300, 300, 700, 500);
    // And another window of the user's, which goes: the report names it.
    const BrowserWindow other{{"/page7"}, 0, QRect(1200, 200, 600, 400)};
    arrange({other, {{"/page6"}, 0, usersFrame}});
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<xcb_window_t> usersWindow = windowTitled(QStringLiteral("Page 6"));
    ASSERT_TRUE(usersWindow);
    ASSERT_TRUE(m_keys->press({}, 0xff0d)); // Return: the link
    ASSERT_TRUE(waitUntil([&] { return windows->client(*usersWindow)->title == windowTitleOf("/page3"); }))
        << windows->client(*usersWindow)->title.value_or(QString()).toStdString();
    ASSERT_TRUE(waitForSession({other, {{"/page3"}, 0, usersFrame}}))
        << describe(sessionState()).toStdString();
    const BrowserWindow first{{"/page1", "/page2"}, 1, QRect(60, 40, 1100, 700)};
    const BrowserWindow second{{"/page3"}, 0, QRect(2100, 120, 1000, 760)};
    const QList<qint32> processes = mainProcesses();

    const RestoreRun run = watchedRun(workspaceOf({first, second}), true);
    EXPECT_NE(run.report.status, RestoreStatus::failed) << run.report.summary().toStdString();
    EXPECT_TRUE(waitForSession({first, second})) << describe(sessionState()).toStdString();
    EXPECT_TRUE(windowIds().contains(*usersWindow));
    EXPECT_EQ(browserWindows().size(), 2);
    EXPECT_EQ(m_seen.size(), 3) << "no window was made twice";
    EXPECT_EQ(mainProcesses(), processes);
    const RestoreReport whole = RestoreReport::ofRuns(run.passes);
    const AppRestoreResult* browser = browserResult(whole);
    ASSERT_NE(browser, nullptr);
    ASSERT_EQ(browser->closedWindows.size(), 1);
    EXPECT_EQ(browser->closedWindows[0].why, ClosedWindow::Why::outsideWorkspace);
    // By its page's title, or its address while the history has no title for it yet.
    EXPECT_TRUE(QStringList({"Page 7", url("/page7")}).contains(browser->closedWindows[0].shown))
        << browser->closedWindows[0].shown.toStdString();
    windows->activate(*usersWindow);
    ASSERT_TRUE(waitUntil([&] { return windows->activeWindow() == *usersWindow; }));
    ASSERT_TRUE(m_keys->press({0xffe9}, 0xff51)); // Alt+Left: back
    EXPECT_TRUE(waitUntil([&] { return windows->client(*usersWindow)->title == windowTitleOf("/page6"); }))
        << windows->client(*usersWindow)->title.value_or(QString()).toStdString();
}

// A window of more tabs than one command line may safely hand a running browser (45 addresses of
// 900 characters) comes back whole and in order, in the browser that runs, beside the user's own
// window; an address too long for any command line is refused, and the report counts the tabs
// the browser does not show.
TEST_F(LinuxBrowserRestoreTest, AWindowOfManyLongAddressesComesBackWholeIntoTheRunningBrowser) {
    ASSERT_TRUE(m_ready);
    const BrowserWindow users{{"/page1"}, 0, QRect(400, 300, 900, 600)};
    arrange({users});
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<xcb_window_t> usersWindow = windowTitled(QStringLiteral("Page 1"));
    ASSERT_TRUE(usersWindow);
    const QList<qint32> processes = mainProcesses();
    ASSERT_EQ(processes.size(), 1);
    QStringList many;
    for (int i = 0; i < 45; ++i) {
        const QString start =
            QStringLiteral("/page%1?n=%2&q=").arg(QString::number(i % 12 + 1), QString::number(i));
        many << start + QString(900 - url(start).size(), u'a');
    }
    const BrowserWindow longWindow{many, 3, QRect(60, 40, 1100, 700)};
    const QString tooLong = QStringLiteral("/page2?q=") + QString(9000, u'b');
    // A line break in an address is dropped, as the browser drops it: that tab is back at once.
    const BrowserWindow refused{{"/page3", tooLong, "/page4", "/page5\n"}, 0, QRect(2100, 120, 1000, 760)};

    // The long window was saved in a profile whose folder has gone: it opens in the default one.
    Workspace saved = workspaceOf({longWindow, refused});
    const QString gone = m_folder.filePath(QStringLiteral("gone"));
    saved.appSnapshots[0].windowSnapshots[0].browserProfile = BrowserProfile{gone, std::nullopt};

    const RestoreRun run = watchedRun(saved);
    EXPECT_EQ(run.report.status, RestoreStatus::partiallyRestored) << run.report.summary().toStdString();
    const AppRestoreResult* browser = browserResult(run.report);
    ASSERT_TRUE(browser);
    const QString profileRefused = QStringLiteral("Profile refused (Not a browser's data folder: ") + gone +
                                   QStringLiteral("); opened in the default profile");
    EXPECT_TRUE(browser->reason.contains(
        QStringLiteral("(1 of 4 tabs); not handed to the browser: an address longer than 8192 characters")))
        << browser->reason.toStdString();
    EXPECT_EQ(browser->reason.count(profileRefused), 1) << browser->reason.toStdString();
    // The pass that opened the windows reports each: the long one back whole, in the default
    // profile.
    ASSERT_FALSE(run.passes.isEmpty());
    const AppRestoreResult* opened = browserResult(run.passes.first());
    ASSERT_TRUE(opened);
    ASSERT_EQ(opened->windowResults.size(), 2) << opened->reason.toStdString();
    EXPECT_EQ(opened->windowResults[0].reason, profileRefused) << opened->reason.toStdString();
    EXPECT_TRUE(opened->windowResults[0].backInDefaultProfile);
    EXPECT_EQ(opened->windowResults[1].status, RestoreStatus::partiallyRestored);
    EXPECT_TRUE(opened->windowResults[1].reason.contains(QStringLiteral("(1 of 4 tabs)")))
        << opened->windowResults[1].reason.toStdString();
    // The command line's report counts the long window back and says why, once.
    const QString text = RestoreRunText::describe(run);
    EXPECT_TRUE(
        text.contains(QStringLiteral("Chromium (chromium.desktop): partially restored - 1 of 2 windows "
                                     "restored; ") +
                      profileRefused + u'\n'))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains(QStringLiteral("; not handed to the browser: an address longer than 8192 characters")))
        << text.toStdString();
    const BrowserWindow shownInstead{{"/page3", "about:blank", "/page4", "/page5"}, 0, refused.frame};
    EXPECT_TRUE(waitForSession({users, longWindow, shownInstead})) << describe(sessionState()).toStdString();
    EXPECT_EQ(mainProcesses(), processes);
    EXPECT_TRUE(windowIds().contains(*usersWindow));
    EXPECT_EQ(browserWindows().size(), 3);
    EXPECT_EQ(m_seen.size(), 3) << "no window was opened twice";
    if (HasFailure()) {
        QFile log(AnalysisLogger::logFileURL().toLocalFile());
        if (log.open(QIODevice::ReadOnly)) {
            std::cout << log.readAll().toStdString() << std::endl;
        }
    }
}

// Each saved window is handed to the browser at most once in a restore while the browser's record
// lists only the first tab of a window it showed (as its first record of a new window does, for
// longer on a busy machine), also one with a tab the browser does not open (it shows it blank):
// the report tells what the record lists; a second restore, once the record caught up, finds the
// windows the first one opened and adds none.
TEST_F(LinuxBrowserRestoreTest, EachSavedWindowIsOpenedOnceAndASecondRestoreAddsNone) {
    ASSERT_TRUE(m_ready);
    const QString one = localPage(QStringLiteral("One"));
    const QList<BrowserWindow> saved{{{"/page1", "/page2", "/page3"}, 1, QRect(60, 40, 1100, 700)},
                                     {{one, "chrome://settings/"}, 1, QRect(2100, 120, 1000, 760)}};
    QElapsedTimer clock;
    clock.start();
    // Longer than the restore waits for it: what the record shows then is reported.
    const std::shared_ptr<ScriptRunner> production = Platform::current().scriptRunner;
    Platform::current().scriptRunner = std::make_shared<LaggingBrowserRecord>(
        production, [&clock] { return clock.elapsed(); }, QStringList{url("/page1"), one}, 120000, true);
    const Workspace workspace = workspaceOf(saved);
    const RestoreRun run = watchedRun(workspace);
    Platform::current().scriptRunner = production;
    QList<BrowserWindow> shown = saved;
    shown[1].paths[1] = QStringLiteral("about:blank");
    EXPECT_TRUE(waitForSession(shown)) << describe(sessionState()).toStdString();
    EXPECT_EQ(m_seen.size(), saved.size()) << "a window was opened twice";
    const AppRestoreResult* browser = browserResult(run.report);
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->status, RestoreStatus::partiallyRestored) << browser->reason.toStdString();
    EXPECT_TRUE(browser->reason.contains(QStringLiteral("/page3 (2 of 3 tabs)")))
        << browser->reason.toStdString();
    EXPECT_TRUE(browser->reason.contains(QStringLiteral("chrome://settings/ (1 of 2 tabs)")))
        << browser->reason.toStdString();
    if (HasFailure()) {
        QFile log(AnalysisLogger::logFileURL().toLocalFile());
        if (log.open(QIODevice::ReadOnly)) {
            std::cout << log.readAll().toStdString() << std::endl;
        }
    }

    const QSet<xcb_window_t> before = windowIds();
    const RestoreRun again = watchedRun(workspace);
    EXPECT_NE(again.report.status, RestoreStatus::failed) << again.report.summary().toStdString();
    EXPECT_EQ(windowIds(), before) << "the second restore opened a window";
}

// The browser killed, as a crash ends it, and started again by the restore records none of its
// windows for half a minute or more: the restore returns within 8 s of the browser's start, calls
// no window missing that is on screen (it says that their tabs cannot be read), and a second
// restore opens none again.
TEST_F(LinuxBrowserRestoreTest,
       AfterTheBrowserWasKilledEachWindowComesBackOnceAndTheReportSaysWhatCannotBeRead) {
    ASSERT_TRUE(m_ready);
    const QList<BrowserWindow> scene{{{"/page1", "/page2", "/page3"}, 1, QRect(60, 40, 1100, 700)},
                                     {{"/page4"}, 0, QRect(2100, 120, 1000, 760)}};
    arrange(scene);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Browser")));
    ASSERT_TRUE(workspace);
    // A browser notes in its preferences that it runs (a while after its start): one killed after
    // that is one that crashed to the next start.
    ASSERT_TRUE(waitUntil(
        [this] {
            QFile preferences(m_profile + QStringLiteral("/Default/Preferences"));
            return preferences.open(QIODevice::ReadOnly) &&
                   preferences.readAll().contains("\"exit_type\":\"Crashed\"");
        },
        40000));
    for (const qint32 pid : browserProcesses()) {
        ::kill(pid, SIGKILL);
    }
    ASSERT_TRUE(
        waitUntil([this] { return browserProcesses().isEmpty() && browserWindows().isEmpty(); }, 10000));
    // Killed a minute ago, say: its last record is older than any start that follows.
    for (const QFileInfo& file :
         QDir(m_profile + QStringLiteral("/Default/Sessions")).entryInfoList(QDir::Files)) {
        QFile record(file.absoluteFilePath());
        ASSERT_TRUE(record.open(QIODevice::ReadWrite));
        ASSERT_TRUE(record.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-60),
                                       QFileDevice::FileModificationTime));
    }

    const RestoreRun run = watchedRun(*workspace);
    const QDateTime ended = QDateTime::currentDateTimeUtc();
    const QList<qint32> main = mainProcesses();
    ASSERT_EQ(main.size(), 1);
    const std::optional<QDateTime> started = ChromiumProfile::processStartedAt(main.first());
    ASSERT_TRUE(started);
    EXPECT_LE(started->msecsTo(ended), 8000) << RestoreRunText::describe(run).toStdString();
    // The scene's case: the browser wrote no record while the restore ran.
    ASSERT_TRUE(ChromiumProfile::newestSessionFile(m_profile + QStringLiteral("/Default"), started).isEmpty())
        << "the browser recorded its windows after it was killed: "
        << QDir(m_profile + QStringLiteral("/Default/Sessions"))
               .entryList(QDir::Files, QDir::Time)
               .join(u' ')
               .toStdString()
        << " " << describe(sessionState()).toStdString() << "\n"
        << RestoreRunText::describe(run).toStdString();
    EXPECT_EQ(m_seen.size(), scene.size()) << "a window was opened twice";
    EXPECT_TRUE(windowTitled(QStringLiteral("Page 2")));
    EXPECT_TRUE(windowTitled(QStringLiteral("Page 4")));
    const AppRestoreResult* browser = browserResult(run.report);
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->status, RestoreStatus::partiallyRestored) << browser->reason.toStdString();
    EXPECT_FALSE(browser->reason.contains(QStringLiteral("Tabs not reopened")))
        << browser->reason.toStdString();
    EXPECT_TRUE(browser->reason.contains(BrowserRestoreIssues::tabsUnread()))
        << browser->reason.toStdString();
    const QString text = RestoreRunText::describe(run);
    EXPECT_TRUE(text.contains(QStringLiteral("all 2 windows restored"))) << text.toStdString();

    const QSet<xcb_window_t> before = windowIds();
    const RestoreRun again = watchedRun(*workspace);
    EXPECT_EQ(windowIds(), before) << "the second restore opened a window";
    const AppRestoreResult* second = browserResult(again.report);
    ASSERT_TRUE(second);
    EXPECT_FALSE(second->reason.contains(QStringLiteral("Tabs not reopened")))
        << second->reason.toStdString();
    if (HasFailure()) {
        QFile log(AnalysisLogger::logFileURL().toLocalFile());
        if (log.open(QIODevice::ReadOnly)) {
            std::cout << log.readAll().toStdString() << std::endl;
        }
    }
}

// Two saved windows show the same pages, each another tab. The user closed the first and opened a
// new-tab window: the restore opens the first again on its frame and leaves the second, still open,
// with its frame and its tab, and the user's blank window, which it did not open.
TEST_F(LinuxBrowserRestoreTest, OfTwoSavedWindowsOfTheSamePagesTheOneOpenStaysAndSoDoesTheUsersBlankWindow) {
    ASSERT_TRUE(m_ready);
    const QList<BrowserWindow> scene{{{"/page1", "/page2"}, 0, QRect(60, 40, 1100, 700)},
                                     {{"/page1", "/page2"}, 1, QRect(2100, 120, 1000, 760)}};
    arrange(scene);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Browser")));
    ASSERT_TRUE(workspace);
    const std::optional<xcb_window_t> first = windowTitled(QStringLiteral("Page 1"));
    const std::optional<xcb_window_t> second = windowTitled(QStringLiteral("Page 2"));
    ASSERT_TRUE(first && second);
    windows->activate(*first);
    ASSERT_TRUE(waitUntil([&] { return windows->activeWindow() == *first; }));
    ASSERT_TRUE(m_keys->press({0xffe3}, 0x6e)); // Ctrl+N
    ASSERT_TRUE(waitUntil([this] { return windowTitled(QStringLiteral("New Tab")).has_value(); }));
    const xcb_window_t blank = *windowTitled(QStringLiteral("New Tab"));
    windows->close(*second);
    ASSERT_TRUE(waitUntil([&] { return !windows->client(*second); }));
    // The browser's record knows it, as it does a while later.
    const std::pair<QStringList, int> closed = expectedState({scene[1]}).first();
    ASSERT_TRUE(waitUntil(
        [&] {
            const QList<std::pair<QStringList, int>> state = sessionState();
            return state.size() == 2 && !state.contains(closed);
        },
        30000))
        << describe(sessionState()).toStdString();

    const RestoreRun run = watchedRun(*workspace);
    EXPECT_NE(run.report.status, RestoreStatus::failed) << run.report.summary().toStdString();
    const auto near = [](const QRect& a, const QRect& b) {
        return std::abs(a.x() - b.x()) <= 50 && std::abs(a.y() - b.y()) <= 50 &&
               std::abs(a.width() - b.width()) <= 50 && std::abs(a.height() - b.height()) <= 50;
    };
    const std::optional<X11Client> kept = windows->client(*first);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->title, windowTitleOf(QStringLiteral("/page1")));
    EXPECT_TRUE(near(kept->frameRect(), scene[0].frame));
    const std::optional<xcb_window_t> opened = windowTitled(QStringLiteral("Page 2"));
    ASSERT_TRUE(opened);
    EXPECT_NE(*opened, *first);
    EXPECT_TRUE(near(windows->client(*opened).value_or(X11Client()).frameRect(), scene[1].frame));
    EXPECT_TRUE(windows->client(blank)) << "the user's blank window was closed";
    const AppRestoreResult* browser = browserResult(run.report);
    ASSERT_TRUE(browser);
    EXPECT_TRUE(browser->closedWindows.isEmpty());
    EXPECT_EQ(browserWindows().size(), 3);
}

// A browser that does not run is started once, in the saved windows' profile, by the first saved
// window with its tabs; the window showing only a local file comes back and stays, and the report
// names every window moved or in place, read from the browser that runs now.
TEST_F(LinuxBrowserRestoreTest, ABrowserThatDoesNotRunStartsOnceInTheSavedProfile) {
    ASSERT_TRUE(m_ready);
    const QString second = m_folder.filePath(QStringLiteral("second"));
    const QString local = localPage(QStringLiteral("Notes"));
    const QList<BrowserWindow> scene{{{"/page1", "/page2", "/page3"}, 2, QRect(60, 40, 1100, 700)},
                                     {{local}, 0, QRect(2100, 120, 1000, 760)}};
    arrange(scene, second);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Second profile")));
    ASSERT_TRUE(workspace);
    quitBrowser();
    ASSERT_FALSE(HasFatalFailure());
    // Saved through a link of the user's: the browser is given the folder the link leads to.
    const QString link = m_folder.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(second, link));
    Workspace saved = *workspace;
    for (AppSnapshot& app : saved.appSnapshots) {
        for (WindowSnapshot& w : app.windowSnapshots) {
            if (w.browserProfile) {
                w.browserProfile->userDataDir = link;
            }
        }
    }

    const RestoreRun run = watchedRun(saved);
    EXPECT_EQ(run.report.status, RestoreStatus::restored) << run.report.summary().toStdString();
    EXPECT_EQ(m_owners.size(), 1) << "browser starts";
    EXPECT_EQ(m_classes, QSet<QString>{QStringLiteral("chromium (") + second + u')'});
    EXPECT_TRUE(waitForSession(scene, second)) << describe(sessionState(second)).toStdString();
    EXPECT_EQ(browserWindows().size(), 2);
    const QList<qint32> processes = mainProcesses();
    ASSERT_EQ(processes.size(), 1);
    for (const X11Client& w : browserWindows()) {
        EXPECT_TRUE(processes.contains(w.pid.value_or(0)));
    }
    ASSERT_FALSE(run.passes.isEmpty());
    const AppRestoreResult* browser = browserResult(run.passes.first());
    ASSERT_TRUE(browser);
    ASSERT_EQ(browser->windowResults.size(), 2) << browser->reason.toStdString();
    for (const WindowRestoreResult& window : browser->windowResults) {
        EXPECT_TRUE(window.reason.startsWith(QStringLiteral("Geometry verified")) ||
                    window.reason.startsWith(QStringLiteral("Already at correct position")))
            << window.reason.toStdString();
        EXPECT_TRUE(window.actualFrame);
    }
}

} // namespace
