#include "ChromiumDesktopTest.h"
#include "Services/Storage/AnalysisLogger.h"

#include <iostream>

namespace {

using LinuxBrowserTabsTest = ChromiumDesktopTest;

TEST_F(LinuxBrowserTabsTest, CapturesEveryWindowsTabsAndRestoresThemAfterTheBrowserQuit) {
    ASSERT_TRUE(m_ready);
    arrange(m_scene);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Browser")));
    ASSERT_TRUE(workspace);
    const QMap<QString, BrowserWindow> saved = savedWindows(*workspace);
    ASSERT_EQ(saved.size(), 3);
    for (const BrowserWindow& expected : m_scene) {
        SCOPED_TRACE(expected.paths.first().toStdString());
        const BrowserWindow& w = saved[expected.paths.first()];
        EXPECT_EQ(w.paths, expected.paths);
        EXPECT_EQ(w.active, expected.active);
        EXPECT_EQ(w.frame, expected.frame);
    }
    // Every tab has its page's title, shown or not, once the browser has recorded them.
    QStringList wrong;
    const auto titled = [&] {
        const std::optional<Workspace> now =
            QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Now")));
        wrong.clear();
        qsizetype tabs = 0;
        for (const AppSnapshot& app : now ? now->appSnapshots : QList<AppSnapshot>()) {
            for (const WindowSnapshot& window : app.windowSnapshots) {
                for (const TabSnapshot& tab : window.tabSnapshots) {
                    ++tabs;
                    if (tab.title != QStringLiteral("Page ") + QUrl(tab.url).path().mid(5)) {
                        wrong << tab.url + QStringLiteral(": ") + tab.title.value_or(QString());
                    }
                }
            }
        }
        return tabs == 8 && wrong.isEmpty();
    };
    EXPECT_TRUE(waitUntil(titled, 30000)) << wrong.join(u' ').toStdString();

    // The browser quits with its last window.
    for (const X11Client& w : browserWindows()) {
        windows->close(w.window);
    }
    ASSERT_TRUE(waitUntil([this] { return browserProcesses().isEmpty(); }, 20000));

    const RestoreReport report = restore(*workspace);
    EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();
    expectScene(m_scene);
    if (HasFailure()) {
        QFile log(AnalysisLogger::logFileURL().toLocalFile());
        if (log.open(QIODevice::ReadOnly)) {
            std::cout << log.readAll().toStdString() << std::endl;
        }
    }

    // Again: the tabs match already, and no window is made.
    QList<xcb_window_t> before;
    for (const X11Client& w : browserWindows()) {
        before << w.window;
    }
    const RestoreReport again = restore(*workspace);
    EXPECT_EQ(again.status, RestoreStatus::restored) << again.summary().toStdString();
    QList<xcb_window_t> after;
    for (const X11Client& w : browserWindows()) {
        after << w.window;
    }
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
}

TEST_F(LinuxBrowserTabsTest, PutsScrambledWindowsBack) {
    ASSERT_TRUE(m_ready);
    arrange(m_scene);
    ASSERT_FALSE(HasFatalFailure());
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Browser")));
    ASSERT_TRUE(workspace);

    const QList<X11Client> shown = browserWindows();
    ASSERT_EQ(shown.size(), 3);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const QRect scrambled(QPoint(2500 - 300 * int(i), 200 + 100 * int(i)), QSize(700, 500));
        windows->resizeFrame(shown[i].window, scrambled.size());
        windows->moveFrame(shown[i].window, scrambled.topLeft());
        ASSERT_TRUE(waitUntil([&] { return windows->client(shown[i].window)->frameRect() == scrambled; }));
    }
    windows->minimize(shown.last().window);
    ASSERT_TRUE(waitUntil([&] { return windows->client(shown.last().window)->minimized; }));

    const RestoreReport report = restore(*workspace);
    EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();
    expectScene(m_scene);
    if (HasFailure()) {
        QFile log(AnalysisLogger::logFileURL().toLocalFile());
        if (log.open(QIODevice::ReadOnly)) {
            std::cout << log.readAll().toStdString() << std::endl;
        }
    }
}

} // namespace
