// The browser scripts on the real desktop, with a browser of the test's own: a test window that
// runs under the browser's desktop-file id.
#include "Platform/Linux/LinuxBrowserScripting.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Services/Scripting/BrowserScriptService.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

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
    // The user's own window, with the focus, notes every key it gets.
    const qint32 editor = start(testWindowProgram(), {QStringLiteral("--caption"), QStringLiteral("Editor"),
                                                      QStringLiteral("--keys"), typed});
    const xcb_window_t editorWindow = waitForWindows(editor).first().window;
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
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                 QStringLiteral("/applications");
    QDir().mkpath(applications);
    QFile entry(applications + QStringLiteral("/chromium.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Chromium\nExec=" +
                QFile::encodeName(testWindowProgram()) + " --caption Browser --no-focus\n");
    entry.close();
    // GLib notices a new entry through a file monitor, a moment later: until then the id still
    // names the system's own browser, which must not be started.
    ASSERT_TRUE(waitUntil([&] {
        const std::optional<DesktopEntry> found = DesktopEntries::find(QStringLiteral("chromium.desktop"));
        return found &&
               QFileInfo(found->filePath).absolutePath() == QFileInfo(applications).absoluteFilePath();
    }));
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
        BrowserScriptService::activateTabScript(QStringLiteral("chromium.desktop"), 1, 2), &problem);
    ASSERT_TRUE(program) << problem.toStdString();
    const std::optional<ScriptResult> result = virtualClock->runUntilDone(scripting.execute(*program));
    ASSERT_TRUE(result) << virtualClock->lastFailure().toStdString();

    // Whatever reached the editor would be there by now.
    EXPECT_FALSE(waitUntil([&] { return !linesOf(typed).isEmpty(); }, 500))
        << linesOf(typed).join(u',').toStdString();
}

} // namespace
