#pragma once

#include "Platform/Linux/ChromiumProfile.h"
#include "Platform/Linux/ChromiumSession.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Platform/Linux/LinuxRunningApplications.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Support/TestHttpServer.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <algorithm>
#include <csignal>
#include <optional>

// What one browser window should show.
struct BrowserWindow {
    QStringList paths; // of the test server's pages, in tab order
    int active = 0;    // 0-based
    QRect frame;
};

// The browser of scripts/bootstrap with a profile of its own, started the way a desktop starts it
// (its desktop entry, here one in the test's data folder that adds what running as root in a bare
// session needs), its tabs loading pages of a server in this process. Everything it started ends
// with the test.
class ChromiumDesktopTest : public X11DesktopTest {
protected:
    static constexpr const char* kEntry = "chromium.desktop";

    void SetUp() override {
        X11DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
            << "chromium is missing: scripts/bootstrap installs it";
        m_profile = m_folder.filePath(QStringLiteral("profile"));
        const QString applications = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                     QStringLiteral("/applications");
        QDir().mkpath(applications);
        QFile entry(applications + QLatin1Char('/') + QLatin1String(kEntry));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Chromium\nStartupWMClass=chromium\n"
                    "Exec=chromium --no-sandbox --user-data-dir=" +
                    QFile::encodeName(m_profile) +
                    " --no-first-run --no-default-browser-check --password-store=basic --disable-gpu"
                    " --disable-background-networking --disable-component-update --disable-sync"
                    " --disable-dev-shm-usage %U\n");
        entry.close();
        for (int i = 1; i <= 12; ++i) {
            m_server.route(QStringLiteral("/page%1").arg(i),
                           QStringLiteral("<html><head><title>Page %1</title></head><body>%1</body></html>")
                               .arg(i)
                               .toUtf8());
        }
        // Two monitors side by side, as on a real desk.
        xrandr({QStringLiteral("--setmonitor"), QStringLiteral("LEFT"),
                QStringLiteral("1920/508x1080/286+0+0"), QStringLiteral("screen")});
        xrandr({QStringLiteral("--setmonitor"), QStringLiteral("*RIGHT"),
                QStringLiteral("1920/508x1080/286+1920+0"), QStringLiteral("none")});
        m_keys = std::make_shared<X11KeyPresses>(connection);
        m_ready = installProductionPlatform();
    }

    void TearDown() override {
        stopBrowser();
        X11DesktopTest::TearDown();
    }

    // A test page's address; any other address as it is.
    QString url(const QString& path) const {
        return path.startsWith(QLatin1Char('/')) ? m_server.url(path) : path;
    }

    // The processes of the test's browser (the profile folder is on each command line).
    QList<qint32> browserProcesses() const {
        QList<qint32> pids;
        // Every profile of the test is a folder in the test's own.
        const QString marker = QStringLiteral("--user-data-dir=") + m_folder.path() + QLatin1Char('/');
        for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            bool number = false;
            const qint32 pid = entry.toInt(&number);
            const QStringList line = number ? ChromiumProfile::commandLine(pid) : QStringList();
            if (std::any_of(line.begin(), line.end(),
                            [&](const QString& word) { return word.startsWith(marker); }) &&
                LinuxProcess::isAlive(pid)) {
                pids << pid;
            }
        }
        return pids;
    }

    void stopBrowser() {
        const QList<qint32> pids = browserProcesses();
        for (const qint32 pid : pids) {
            ::kill(pid, SIGTERM);
        }
        if (!waitUntil([this] { return browserProcesses().isEmpty(); }, 10000)) {
            for (const qint32 pid : browserProcesses()) {
                ::kill(pid, SIGKILL);
            }
        }
    }

    // The browser's windows, front to back.
    QList<X11Client> browserWindows() {
        QList<X11Client> found;
        for (const X11Client& w : windows->stackedClients()) {
            if (w.type == X11Client::Type::Normal && !w.transient && w.viewable &&
                applications->identityOf(w).identifier == QLatin1String(kEntry)) {
                found << w;
            }
        }
        return found;
    }

    // What the profile's session file says now: per window, the tab addresses and the shown tab.
    QList<std::pair<QStringList, int>> sessionState(const QString& profile = QString()) {
        QList<std::pair<QStringList, int>> state;
        const QString file = ChromiumProfile::newestSessionFile((profile.isEmpty() ? m_profile : profile) +
                                                                QStringLiteral("/Default"));
        const std::optional<ChromiumSession> session = ChromiumSession::readFile(file, nullptr);
        for (const ChromiumSession::Window& window :
             session ? session->windows : QList<ChromiumSession::Window>()) {
            QStringList urls;
            for (const ChromiumSession::Tab& tab : window.tabs) {
                urls << tab.url;
            }
            state << std::make_pair(urls, window.selectedTab);
        }
        std::sort(state.begin(), state.end());
        return state;
    }

    QList<std::pair<QStringList, int>> expectedState(const QList<BrowserWindow>& scene) const {
        QList<std::pair<QStringList, int>> state;
        for (const BrowserWindow& window : scene) {
            QStringList urls;
            for (const QString& path : window.paths) {
                urls << url(path);
            }
            state << std::make_pair(urls, window.active);
        }
        std::sort(state.begin(), state.end());
        return state;
    }

    static QString describe(const QList<std::pair<QStringList, int>>& state) {
        QStringList windows;
        for (const auto& [urls, active] : state) {
            windows << urls.join(u' ') + QStringLiteral(" active ") + QString::number(active);
        }
        return windows.join(QStringLiteral("; "));
    }

    // The browser writes its session file within seconds of a change.
    bool waitForSession(const QList<BrowserWindow>& scene, const QString& profile = QString()) {
        const QList<std::pair<QStringList, int>> expected = expectedState(scene);
        const bool shown = waitUntil([&] { return sessionState(profile) == expected; }, 30000);
        return shown;
    }

    // The window title of a test page: "/page3" is "Page 3 - Chromium".
    static QString windowTitleOf(const QString& path) {
        return QStringLiteral("Page ") + path.mid(5) + QStringLiteral(" - Chromium");
    }

    // Shows a tab (0-based) of a window the way a user does, one key at a time, each once the
    // title shows that the one before arrived: its digit, 9 for the last, else the eighth tab and
    // then the next ones. A busy browser lets a key pass now and then: as a user would, a key
    // whose tab the title does not show within seconds is pressed again; a move to the next tab
    // only while the title still names the tab before (a late one would move on twice).
    void showTab(xcb_window_t window, const QStringList& paths, int tab) {
        const auto title = [&] {
            return windows->client(window).value_or(X11Client()).title.value_or(QString());
        };
        const auto press = [&](quint32 key, int shown, std::optional<int> from) {
            const QString wanted = windowTitleOf(paths[shown]);
            bool arrived = false;
            for (int attempt = 0; attempt < 6 && !arrived; ++attempt) {
                if (attempt > 0 && from && title() != windowTitleOf(paths[*from])) {
                    break;
                }
                ASSERT_TRUE(m_keys->press({0xffe3}, key));
                arrived = waitUntil([&] { return title() == wanted; }, 5000);
            }
            ASSERT_TRUE(arrived) << title().toStdString();
        };
        if (tab < 8) {
            press(0x31 + static_cast<quint32>(tab), tab, std::nullopt);
        } else if (tab == paths.size() - 1) {
            press(0x39, tab, std::nullopt);
        } else {
            press(0x38, 7, std::nullopt);
            for (int t = 8; t <= tab; ++t) {
                press(0xff56, t, t - 1);
            }
        }
    }

    // Quits the browser the way a user does: its windows closed, it ends with the last.
    void quitBrowser() {
        for (const X11Client& w : browserWindows()) {
            windows->close(w.window);
        }
        ASSERT_TRUE(waitUntil([this] { return browserProcesses().isEmpty(); }, 20000));
    }

    // Opens the windows one by one through the browser's own command line, frames them and shows
    // their active tabs.
    void arrange(const QList<BrowserWindow>& scene, const QString& profile = QString()) {
        for (const BrowserWindow& window : scene) {
            QSet<xcb_window_t> before;
            for (const X11Client& w : browserWindows()) {
                before.insert(w.window);
            }
            QStringList arguments{QStringLiteral("--new-window"), QStringLiteral("--")};
            if (!profile.isEmpty()) {
                arguments.prepend(QStringLiteral("--user-data-dir=") + profile);
            }
            for (const QString& path : window.paths) {
                arguments << url(path);
            }
            ASSERT_TRUE(
                DesktopEntries::launchWithArguments(QLatin1String(kEntry), arguments).error.isEmpty());
            // The new window, whichever place the manager gave it in the stacking (a manager that
            // keeps a new window from taking the focus puts it behind the focused one).
            xcb_window_t made = XCB_WINDOW_NONE;
            ASSERT_TRUE(waitUntil(
                [&] {
                    for (const X11Client& w : browserWindows()) {
                        if (!before.contains(w.window)) {
                            made = w.window;
                            return true;
                        }
                    }
                    return false;
                },
                40000));
            // Given the focus, as a user clicking it would, for the keys that follow.
            windows->activate(made);
            ASSERT_TRUE(waitUntil([&] { return windows->activeWindow() == made; }));
            windows->resizeFrame(made, window.frame.size());
            windows->moveFrame(made, window.frame.topLeft());
            ASSERT_TRUE(waitUntil(
                [&] { return windows->client(made).value_or(X11Client()).frameRect() == window.frame; }));
            if (window.active > 0) {
                // Opened with its first tab shown.
                ASSERT_TRUE(waitUntil([&] {
                    return windows->client(made).value_or(X11Client()).title ==
                           windowTitleOf(window.paths.first());
                }));
                showTab(made, window.paths, window.active);
                ASSERT_FALSE(HasFatalFailure());
            }
        }
        ASSERT_TRUE(waitForSession(scene, profile)) << "the session file never showed the arranged windows";
    }

    // The saved browser's windows: each one's addresses, active tab and frame (in root
    // coordinates, where saved frames are relative to the primary monitor), by first address.
    QMap<QString, BrowserWindow> savedWindows(const Workspace& workspace) {
        QMap<QString, BrowserWindow> saved;
        for (const AppSnapshot& app : workspace.appSnapshots) {
            if (app.bundleIdentifier != QLatin1String(kEntry)) {
                continue;
            }
            for (const WindowSnapshot& window : app.windowSnapshots) {
                BrowserWindow w;
                for (qsizetype i = 0; i < window.tabSnapshots.size(); ++i) {
                    w.paths << QUrl(window.tabSnapshots[i].url).path();
                    if (window.tabSnapshots[i].isActive) {
                        w.active = static_cast<int>(i);
                    }
                }
                w.frame = QRectF(window.frame.x, window.frame.y, window.frame.width, window.frame.height)
                              .toRect()
                              .translated(monitors->primaryOrigin());
                saved.insert(w.paths.value(0), w);
            }
        }
        return saved;
    }

    // Every window shows the scene's tabs in order, its active tab, and sits within 50 points of
    // its frame.
    void expectScene(const QList<BrowserWindow>& scene) {
        ASSERT_TRUE(waitForSession(scene))
            << "the session file does not show the scene's tabs: " << describe(sessionState()).toStdString();
        const std::optional<Workspace> now =
            QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Now")));
        ASSERT_TRUE(now);
        const QMap<QString, BrowserWindow> shown = savedWindows(*now);
        ASSERT_EQ(shown.size(), scene.size());
        for (const BrowserWindow& expected : scene) {
            SCOPED_TRACE(expected.paths.join(u' ').toStdString());
            ASSERT_TRUE(shown.contains(expected.paths.first()));
            const BrowserWindow& w = shown[expected.paths.first()];
            EXPECT_EQ(w.paths, expected.paths);
            EXPECT_EQ(w.active, expected.active);
            EXPECT_LE(std::abs(w.frame.x() - expected.frame.x()), 50)
                << w.frame.x() << "," << w.frame.y() << " " << w.frame.width() << "x" << w.frame.height();
            EXPECT_LE(std::abs(w.frame.y() - expected.frame.y()), 50)
                << w.frame.x() << "," << w.frame.y() << " " << w.frame.width() << "x" << w.frame.height();
            EXPECT_LE(std::abs(w.frame.width() - expected.frame.width()), 50)
                << w.frame.x() << "," << w.frame.y() << " " << w.frame.width() << "x" << w.frame.height();
            EXPECT_LE(std::abs(w.frame.height() - expected.frame.height()), 50)
                << w.frame.x() << "," << w.frame.y() << " " << w.frame.width() << "x" << w.frame.height();
        }
    }

    RestoreReport restore(const Workspace& workspace) {
        RevertStateManager revertStates;
        RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
        return QCoro::waitFor(coordinator.restore(workspace, false));
    }

    // Three windows with 5, 1 and 2 tabs, a later tab active in two of them, one on the right monitor.
    const QList<BrowserWindow> m_scene{
        {{"/page1", "/page2", "/page3", "/page4", "/page5"}, 2, QRect(60, 40, 1100, 700)},
        {{"/page6"}, 0, QRect(2100, 120, 1000, 760)},
        {{"/page7", "/page8"}, 1, QRect(500, 300, 1200, 650)},
    };

    QTemporaryDir m_folder;
    QString m_profile;
    TestHttpServer m_server;
    std::shared_ptr<X11KeyPresses> m_keys;
    bool m_ready = false;
};
