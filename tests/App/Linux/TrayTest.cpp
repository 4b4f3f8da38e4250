#include "App/SingleInstance.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/X11DockedWindow.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Support/ChromiumSessionFile.h"
#include "Support/X11DesktopTest.h"
#include "ViewModels/AppRootModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>

#include <sys/inotify.h>
#include <unistd.h>

#include <array>

namespace {

// Ordella as a user meets it on the X11 desktop: `ordella --demo` next to a system tray, its
// window opened by a click on the tray icon, a second start handed to the first.
class TrayTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        // A runtime folder of this test's own, so the instance socket is not another test's.
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        AppRootModel().finishOnboarding();
    }

    // The output of xdotool with these arguments, trimmed; empty when it fails.
    static QString xdotool(const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), arguments);
        if (!process.waitForFinished(5000) || process.exitCode() != 0) {
            return QString();
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    static QString visibleWindow(const QString& name) {
        return xdotool({"search", "--onlyvisible", "--name", "^" + name + "$"}).section('\n', 0, 0);
    }
    static QRect geometry(const QString& window) {
        QRect r;
        for (const QString& line : xdotool({"getwindowgeometry", "--shell", window}).split('\n')) {
            const QString value = line.section('=', 1);
            if (line.startsWith("X="))
                r.moveLeft(value.toInt());
            if (line.startsWith("Y="))
                r.moveTop(value.toInt());
            if (line.startsWith("WIDTH="))
                r.setWidth(value.toInt());
            if (line.startsWith("HEIGHT="))
                r.setHeight(value.toInt());
        }
        return r;
    }

    // What xprop says of one property of a window ("_NET_WM_STATE(ATOM) = ..."); empty when it fails.
    static QString xprop(const QString& window, const QString& property) {
        QProcess process;
        process.start(QStringLiteral("xprop"), {"-id", window, property});
        if (!process.waitForFinished(5000) || process.exitCode() != 0) {
            return QString();
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    static void forgetOnboarding() {
        const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
        settings->remove(AppRootModel::onboardingCompleteKey);
        settings->sync();
    }
    void startTray() {
        start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "40",
                         "--heighttype", "pixel", "--height", "28", "--transparent", "false"});
        ASSERT_TRUE(waitUntil([] { return !xdotool({"search", "--name", "^panel$"}).isEmpty(); }));
    }

    QTemporaryDir runtime;
    const QString ordella = QStringLiteral(ORDELLA_BINARY_DIR "/ordella");
};

TEST_F(TrayTest, AClickOnTheTrayIconOpensTheWindowNextToIt) {
    startTray();
    start(ordella, {"--demo"});
    const QString socket = SingleInstance::defaultServerName(true);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(socket); }, 20000)) << socket.toStdString();
    // The tray embeds the icon (Ordella's first window); the menu-bar window stays closed.
    ASSERT_TRUE(waitUntil([] { return !xdotool({"search", "--class", "ordella"}).isEmpty(); }, 10000));
    EXPECT_TRUE(visibleWindow("Ordella").isEmpty());

    const QRect tray = geometry(xdotool({"search", "--name", "^panel$"}).section('\n', 0, 0));
    ASSERT_TRUE(tray.isValid());
    xdotool(
        {"mousemove", QString::number(tray.center().x()), QString::number(tray.center().y()), "click", "1"});
    ASSERT_TRUE(waitUntil([] { return !visibleWindow("Ordella").isEmpty(); }, 10000));
    const QRect window = geometry(visibleWindow("Ordella"));
    EXPECT_EQ(window.width(), 450);
    // Below the icon, centred on it as far as the screen allows.
    EXPECT_GE(window.top(), tray.bottom());
    EXPECT_LE(std::abs(window.center().x() - tray.center().x()), 450);

    // A second start opens the running one's window and ends at once.
    QProcess second;
    second.start(ordella, {"--demo"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(second.readAllStandardOutput()).contains("already running"));
}

TEST_F(TrayTest, AFirstStartOpensTheWindowWithTheOnboardingByTheTrayIcon) {
    forgetOnboarding();
    startTray();
    start(ordella, {"--demo"});
    ASSERT_TRUE(waitUntil([] { return !visibleWindow("Ordella").isEmpty(); }, 20000));
    const QRect window = geometry(visibleWindow("Ordella"));
    // The onboarding's width, below the icon.
    EXPECT_EQ(window.width(), 420);
    const QRect tray = geometry(xdotool({"search", "--name", "^panel$"}).section('\n', 0, 0));
    EXPECT_GE(window.top(), tray.bottom());
    EXPECT_LE(std::abs(window.center().x() - tray.center().x()), 420);
}

// A tray takes its icon in by making it a child of a window of its own; until then the icon is a
// window of the root at 0,0 (where Qt still puts it a moment after), which is no place to open by.
TEST_F(TrayTest, AnIconHasAPlaceOnceATrayHoldsIt) {
    const Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint;
    QWidget icon(nullptr, flags);
    icon.setFixedSize(22, 22);
    icon.show();
    QWidget tray(nullptr, flags);
    tray.setGeometry(1000, 0, 40, 28);
    tray.show();
    EXPECT_EQ(X11DockedWindow::geometry(icon.winId()), std::nullopt);

    xcb_reparent_window(connection->xcb(), xcb_window_t(icon.winId()), xcb_window_t(tray.winId()), 9, 3);
    connection->flush();
    EXPECT_TRUE(waitUntil([&] { return X11DockedWindow::geometry(icon.winId()) == QRect(1009, 3, 22, 22); }));
}

// Also run under the other window managers of the end-to-end tests (see CMakeLists.txt).
TEST_F(TrayTest, TheWindowIsNoTaskAndStaysAboveUndecorated) {
    // Two monitors, the right one primary, a panel reserving the top 27 rows of the right one:
    // Qt's work area of a monitor knows nothing of it.
    xrandr({"--setmonitor", "LEFT", "1920/508x1080/286+0+0", "screen"});
    xrandr({"--setmonitor", "*RIGHT", "1920/508x1080/286+1920+0", "none"});
    const qint32 pid = start(testWindowProgram(), {"--type", "dock", "--size", "1920x27"});
    X11Client panel;
    // Managers frame no panel: it counts once it shows.
    ASSERT_TRUE(waitUntil([&] {
        for (const X11Client& client : windows->clients()) {
            if (client.pid == pid && client.viewable) {
                panel = client;
            }
        }
        return panel.window != XCB_WINDOW_NONE;
    }));
    const std::array<quint32, 12> strut{0, 0, 27, 0, 0, 0, 0, 0, 1920, 3839, 0, 0};
    connection->discard(xcb_change_property_checked(connection->xcb(), XCB_PROP_MODE_REPLACE, panel.window,
                                                    connection->atom("_NET_WM_STRUT_PARTIAL"),
                                                    XCB_ATOM_CARDINAL, 32, 12, strut.data()));
    connection->flush();
    ASSERT_TRUE(waitUntil([&] {
        const QList<Screen> now = screens->screens();
        return now.size() == 2 && now[0].visibleFrame.height() == 1080 - 27;
    }));
    // Without a tray the window opens on its own, at the top right of what the panel leaves of the
    // monitor with the pointer.
    xdotool({"mousemove", "2500", "500"});
    start(ordella, {"--demo"});
    ASSERT_TRUE(waitUntil([] { return !visibleWindow("Ordella").isEmpty(); }, 20000));
    const QString window = visibleWindow("Ordella");
    const QRect placed = geometry(window);
    EXPECT_EQ(placed.top(), 27 + 8);
    // Mutter moves it to a monitor of its own choosing, keeping its place in the corner.
    EXPECT_EQ(placed.right() % 1920, 1920 - 8 - 1) << placed.right();
    EXPECT_TRUE(waitUntil([&] {
        return xprop(window, "_NET_WM_STATE").contains("_NET_WM_STATE_SKIP_TASKBAR");
    })) << xprop(window, "_NET_WM_STATE").toStdString();
    const QString state = xprop(window, "_NET_WM_STATE");
    EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_PAGER")) << state.toStdString();
    EXPECT_TRUE(state.contains("_NET_WM_STATE_ABOVE")) << state.toStdString();
    const QString type = xprop(window, "_NET_WM_WINDOW_TYPE");
    EXPECT_TRUE(type.contains("_NET_WM_WINDOW_TYPE_UTILITY")) << type.toStdString();
    // No frame drawn around it; a manager that sets no extents at all draws none either.
    const QString extents = xprop(window, "_NET_FRAME_EXTENTS");
    EXPECT_TRUE(extents.endsWith("= 0, 0, 0, 0") || extents.contains("not found")) << extents.toStdString();
}

// Another program's record that takes seconds to read (a browser's session record, crafted so)
// is read beside Ordella's main thread: a command that comes while a save reads it is answered
// at once, not once the record is read.
TEST_F(TrayTest, AnswersAnotherCommandWhileASaveReadsALargeBrowserRecord) {
    // The browser: the test window under the browser's desktop-file id, started as a desktop
    // starts it.
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                 QStringLiteral("/applications");
    QDir().mkpath(applications);
    QFile entry(applications + QStringLiteral("/chromium.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Chromium\nExec=" +
                QFile::encodeName(testWindowProgram()) + " --caption Chromium\n");
    entry.close();
    ASSERT_TRUE(waitUntil([&] {
        const std::optional<DesktopEntry> found = DesktopEntries::find(QStringLiteral("chromium.desktop"));
        return found &&
               QFileInfo(found->filePath).absolutePath() == QFileInfo(applications).absoluteFilePath();
    }));
    const DesktopEntries::Launch browser =
        DesktopEntries::launch(QStringLiteral("chromium.desktop"), {}, false);
    ASSERT_TRUE(browser.error.isEmpty()) << browser.error.toStdString();
    ASSERT_EQ(browser.pids.size(), 1);
    waitForWindows(browser.pids.first());

    // Its record, written since it started: one tab whose history is cut from the front over a
    // million times, each cut moving the rest of the history (seconds of reading, however read).
    const QString sessions = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                             QStringLiteral("/chromium/Default/Sessions");
    ASSERT_TRUE(QDir().mkpath(sessions));
    ChromiumSessionFile record;
    record.tabInWindow(1, 10).tabIndex(10, 0);
    for (int n = 0; n < 128; ++n) {
        record.navigation(10, n, QStringLiteral("https://site.example/page") + QString::number(n), QString());
    }
    for (int n = 0; n < 1200000; ++n) {
        record.pruned(10, 0, 0);
    }
    const QString path = sessions + QStringLiteral("/Session_13300000000000000");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(record.data()), record.data().size());
    file.close();

    start(ordella);
    const QString socket = SingleInstance::defaultServerName(false);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(socket); }, 20000)) << socket.toStdString();
    // The moment Ordella opens the record, another command.
    const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(opens, 0);
    ASSERT_GE(::inotify_add_watch(opens, QFile::encodeName(path).constData(), IN_OPEN), 0);
    QProcess save;
    save.start(ordella, {QStringLiteral("--save"), QStringLiteral("Desk")});
    std::array<char, 4096> events{};
    const bool opened = waitUntil([&] { return ::read(opens, events.data(), events.size()) > 0; }, 60000);
    ::close(opens);
    ASSERT_TRUE(opened) << "the record was never read";
    QElapsedTimer since;
    since.start();
    QProcess other;
    other.start(ordella, {QStringLiteral("--restore"), QStringLiteral("Nothing")});
    ASSERT_TRUE(other.waitForFinished(120000));
    const qint64 answered = since.elapsed();
    EXPECT_EQ(other.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(other.readAllStandardError()).contains("No workspace is named"));
    ASSERT_TRUE(save.waitForFinished(120000));
    const qint64 saved = since.elapsed();
    // Answered while the record was read, well before the save that read it.
    EXPECT_LT(answered * 2, saved) << "the other command took " << answered << " ms, the save " << saved
                                   << " ms";
}

} // namespace
