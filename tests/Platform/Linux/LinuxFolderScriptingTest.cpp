// The file-manager scripts on the real desktop, with a file manager of the test's own on the
// session bus: one that takes every folder and never shows a window for it.
#include "Platform/Linux/LinuxFolderScripting.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Services/Scripting/FinderScriptService.h"
#include "Support/X11DesktopTest.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");

class SilentFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    int shown = 0;

public slots:
    Q_SCRIPTABLE void ShowFolders(const QStringList&, const QString&) { ++shown; }
};

using LinuxFolderScriptingTest = X11DesktopTest;

// A new folder window is waited for by reading the windows every 50 ms for seconds: the folder
// handler behind them is asked for once per script, not on every read.
TEST_F(LinuxFolderScriptingTest, AsksForTheFolderHandlerOncePerScript) {
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-fm"));
    SilentFileManager fileManager;
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                   QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(bus.registerService(kService)) << "another program holds the file manager's name";

    auto virtualClock = std::make_shared<VirtualClock>();
    // The bus's answers are real work: time waits for them while no poll is asleep.
    virtualClock->setRealWorkPending([&] { return virtualClock->pendingCount() == 0; });
    int lookups = 0;
    LinuxFolderScripting scripting(windows, monitors, applications, virtualClock, [&] {
        ++lookups;
        return QStringLiteral("ordella-no-such-file-manager.desktop");
    });
    QTemporaryDir folder;
    QString problem;
    const std::optional<ScriptProgram> program =
        ScriptProgram::compile(FinderScriptService::batchRestoreScript({folder.path()}, {}), &problem);
    ASSERT_TRUE(program) << problem.toStdString();

    for (int run = 1; run <= 2; ++run) {
        const Clock::Duration before = virtualClock->elapsed();
        const std::optional<ScriptResult> result = virtualClock->runUntilDone(scripting.execute(*program));
        ASSERT_TRUE(result) << virtualClock->lastFailure().toStdString();
        EXPECT_EQ(fileManager.shown, run);
        // It waited the seconds a new window may take, reading the windows all the while.
        EXPECT_GE(virtualClock->elapsed() - before, Clock::seconds(3.0));
        EXPECT_EQ(lookups, run);
    }
    bus.unregisterService(kService);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-fm"));
}

} // namespace

#include "LinuxFolderScriptingTest.moc"
