// The browser scripts on the real desktop, with a browser of the test's own: a test window that
// runs under the browser's desktop-file id.
#include "Platform/Linux/LinuxBrowserScripting.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Platform/SystemClock.h"
#include "Services/Scripting/BrowserScriptText.h"
#include "Support/ChromiumSessionFile.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <csignal>

namespace {

constexpr quint32 kControl = 0xffe3; // Control_L
constexpr quint32 kDigitTwo = 0x32;

using LinuxBrowserScriptingTest = X11DesktopTest;

QStringList linesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

// A tab is shown with the browser's tab keys, which go to whichever window has the focus: they are
// typed only while the browser's window has it, never into the window of another application.
TEST_F(LinuxBrowserScriptingTest, TypesTabKeysOnlyIntoTheBrowsersWindow) {
    QTemporaryDir folder;
    const QString typed = folder.filePath(QStringLiteral("typed"));
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                 QStringLiteral("/applications");
    QDir().mkpath(applications);
    // GLib notices a new entry through a file monitor, a moment later: until then the id still
    // names the system's own program, which must not be started.
    const auto install = [&](const QString& id, const QByteArray& exec) {
        QFile entry(applications + u'/' + id);
        if (!entry.open(QIODevice::WriteOnly)) {
            return false;
        }
        entry.write("[Desktop Entry]\nType=Application\nName=" + id.toUtf8() +
                    "\nExec=" + QFile::encodeName(testWindowProgram()) + ' ' + exec + '\n');
        entry.close();
        return waitUntil([&] {
            const std::optional<DesktopEntry> found = DesktopEntries::find(id);
            return found &&
                   QFileInfo(found->filePath).absolutePath() == QFileInfo(applications).absoluteFilePath();
        });
    };
    // The user's own window, with the focus, notes every key it gets. It is an application of its
    // own: started from a shell, the program the browser's entry runs would be taken for the browser.
    ASSERT_TRUE(
        install(QStringLiteral("editor.desktop"), "--caption Editor --keys " + QFile::encodeName(typed)));
    const DesktopEntries::Launch editor = DesktopEntries::launch(QStringLiteral("editor.desktop"), {}, true);
    ASSERT_TRUE(editor.error.isEmpty()) << editor.error.toStdString();
    ASSERT_EQ(editor.pids.size(), 1);
    const auto stopEditor = qScopeGuard([&editor] { ::kill(editor.pids.first(), SIGTERM); });
    const xcb_window_t editorWindow = waitForWindows(editor.pids.first()).first().window;
    const auto focusEditor = [&] {
        windows->activate(editorWindow);
        return waitUntil([&] { return windows->activeWindow() == editorWindow; });
    };
    ASSERT_TRUE(focusEditor());
    auto keys = std::make_shared<X11KeyPresses>(connection);
    ASSERT_TRUE(keys->press({kControl}, kDigitTwo));
    ASSERT_TRUE(waitUntil([&] { return linesOf(typed) == QStringList{QStringLiteral("Ctrl+2")}; }))
        << linesOf(typed).join(u',').toStdString();
    QFile::remove(typed);

    // A browser whose window never takes the focus.
    ASSERT_TRUE(install(QStringLiteral("chromium.desktop"), "--caption Browser --no-focus"));
    const DesktopEntries::Launch browser =
        DesktopEntries::launch(QStringLiteral("chromium.desktop"), {}, false);
    ASSERT_TRUE(browser.error.isEmpty()) << browser.error.toStdString();
    ASSERT_EQ(browser.pids.size(), 1);
    const auto stopBrowser = qScopeGuard([&browser] { ::kill(browser.pids.first(), SIGTERM); });
    waitForWindows(browser.pids.first());
    ASSERT_TRUE(focusEditor());

    auto virtualClock = std::make_shared<VirtualClock>();
    LinuxBrowserScripting scripting(windows, monitors, this->applications, virtualClock, keys);
    QString problem;
    const std::optional<ScriptProgram> program = ScriptProgram::compile(
        BrowserScriptText::activateTabScript(QStringLiteral("chromium.desktop"), 1, 2), &problem);
    ASSERT_TRUE(program) << problem.toStdString();
    const std::optional<ScriptResult> result = virtualClock->runUntilDone(scripting.execute(*program));
    ASSERT_TRUE(result) << virtualClock->lastFailure().toStdString();

    // Whatever reached the editor would be there by now.
    EXPECT_FALSE(waitUntil([&] { return !linesOf(typed).isEmpty(); }, 500))
        << linesOf(typed).join(u',').toStdString();
}

// A tab past the eighth is reached from the eighth one tab to the right at a time, and the last
// tab with the browser's own key for it, each combination on its own: a browser window that shows
// its tabs by the browser's keys, and notes every key it gets, ends on the tab asked for, reached
// with exactly those keys.
TEST_F(LinuxBrowserScriptingTest, ReachesEveryTabWithTheBrowsersTabKeys) {
    QTemporaryDir folder;
    const QString typed = folder.filePath(QStringLiteral("typed"));
    const QString entries = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/applications");
    QDir().mkpath(entries);
    QFile entry(entries + QStringLiteral("/chromium.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(
        "[Desktop Entry]\nType=Application\nName=Chromium\nExec=" + QFile::encodeName(testWindowProgram()) +
        " --caption Chromium --keys " + QFile::encodeName(typed) + "\n");
    entry.close();
    ASSERT_TRUE(waitUntil([&] {
        const std::optional<DesktopEntry> found = DesktopEntries::find(QStringLiteral("chromium.desktop"));
        return found && QFileInfo(found->filePath).absolutePath() == QFileInfo(entries).absoluteFilePath();
    }));
    const QString sessions = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                             QStringLiteral("/chromium/Default/Sessions");

    const struct {
        int tabs;
        int tab;
        QStringList keys;
        bool titled = true; // whether the session file knows the tabs' titles yet
        int dropped = 0;    // the first keys the browser takes no notice of
    } cases[] = {
        {12, 10, {QStringLiteral("Ctrl+8"), QStringLiteral("Ctrl+PgDown"), QStringLiteral("Ctrl+PgDown")}},
        {12, 9, {QStringLiteral("Ctrl+8"), QStringLiteral("Ctrl+PgDown")}},
        {10, 10, {QStringLiteral("Ctrl+9")}},
        {9, 9, {QStringLiteral("Ctrl+9")}},
        {12, 8, {QStringLiteral("Ctrl+8")}},
        {12, 2, {QStringLiteral("Ctrl+2")}},
        // Tabs just opened have no title in the file: a change of the window's title may be a page
        // still loading, so the first key goes again once the title stands still, and a single
        // key is checked by going back to the tab shown before and forth again.
        {12,
         10,
         {QStringLiteral("Ctrl+8"), QStringLiteral("Ctrl+8"), QStringLiteral("Ctrl+PgDown"),
          QStringLiteral("Ctrl+PgDown")},
         false},
        {3, 2, {QStringLiteral("Ctrl+2"), QStringLiteral("Ctrl+1"), QStringLiteral("Ctrl+2")}, false},
        // The eighth tab's key was lost: the next keys wait until it shows, else they would
        // count from the first tab.
        {12,
         10,
         {QStringLiteral("Ctrl+8"), QStringLiteral("Ctrl+8"), QStringLiteral("Ctrl+PgDown"),
          QStringLiteral("Ctrl+PgDown")},
         false,
         1},
    };
    auto keys = std::make_shared<X11KeyPresses>(connection);
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("tab %1 of %2")
                         .arg(QString::number(c.tab), QString::number(c.tabs))
                         .toStdString());
        QFile::remove(typed);
        const DesktopEntries::Launch browser = DesktopEntries::launchWithArguments(
            QStringLiteral("chromium.desktop"),
            {QStringLiteral("--tabs"), QString::number(c.tabs), QStringLiteral("--ignore-keys"),
             QString::number(c.dropped)});
        ASSERT_TRUE(browser.error.isEmpty()) << browser.error.toStdString();
        ASSERT_EQ(browser.pids.size(), 1);
        const qint32 pid = browser.pids.first();
        const auto stopBrowser = qScopeGuard([this, pid] {
            ::kill(pid, SIGTERM);
            waitUntil([&] { return windows->windowCountOf(pid) == 0; });
        });
        const X11Client window = waitForWindows(pid).first();
        ASSERT_TRUE(waitUntil(
            [&] { return windows->client(window.window)->title == QStringLiteral("Tab 1 - Chromium"); }));

        // The browser's session: one window of that many tabs, the first shown.
        QDir(sessions).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(sessions));
        ChromiumSessionFile session;
        for (int i = 0; i < c.tabs; ++i) {
            const std::int32_t tab = 100 + i;
            session.tabInWindow(1, tab).tabIndex(tab, i).navigation(
                tab, 0, QStringLiteral("https://t%1.example/").arg(QString::number(i + 1)),
                c.titled ? QStringLiteral("Tab %1").arg(QString::number(i + 1)) : QString());
            session.selectedNavigation(tab, 0);
        }
        session.bounds(1, windows->client(window.window)->frameRect()).selectedTab(1, 0);
        QFile file(sessions + QStringLiteral("/Session_13300000000000000"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(session.data());
        file.close();

        LinuxBrowserScripting scripting(windows, monitors, applications, std::make_shared<SystemClock>(),
                                        keys);
        QString problem;
        const std::optional<ScriptProgram> program = ScriptProgram::compile(
            BrowserScriptText::activateTabScript(QStringLiteral("chromium.desktop"), 1, c.tab), &problem);
        ASSERT_TRUE(program) << problem.toStdString();
        QCoro::waitFor(scripting.execute(*program));

        const QString shown = QStringLiteral("Tab %1 - Chromium").arg(QString::number(c.tab));
        EXPECT_TRUE(waitUntil([&] { return windows->client(window.window)->title == shown; }))
            << windows->client(window.window)->title.value_or(QString()).toStdString();
        // The keys once where the tabs' titles are known: the window's title shows that they took.
        EXPECT_EQ(linesOf(typed), c.keys);
    }
}

} // namespace
