// The file-manager scripts on the real desktop, with a file manager of the test's own on the
// session bus: one that takes every folder and never shows a window for it.
#include "Platform/Linux/LinuxFolderScripting.h"
#include "Platform/Simulated/VirtualClock.h"
#include "Services/Scripting/FinderScriptService.h"
#include "Support/X11DesktopTest.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
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

// A file manager that answers every property read with one value of the test's choosing.
class PublishingFileManager : public QDBusVirtualObject {
public:
    QVariant published;

    QString introspect(const QString&) const override { return QString(); }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Get")) {
            return false;
        }
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(published))));
        return true;
    }
};

QVariant structure(const std::function<void(QDBusArgument&)>& fill) {
    QDBusArgument argument;
    argument.beginStructure();
    fill(argument);
    argument.endStructure();
    return QVariant::fromValue(argument);
}

using LinuxFolderScriptingTest = X11DesktopTest;

// What the file manager publishes is another program's answer: any type but a map of string lists
// gives no folders (reading one as such a map used to crash Ordella).
TEST_F(LinuxFolderScriptingTest, ReadsOpenFoldersOnlyFromAMapOfStringLists) {
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("publishing-fm"));
    qDBusRegisterMetaType<QMap<QString, QStringList>>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
    PublishingFileManager fileManager;
    ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager));
    ASSERT_TRUE(bus.registerService(kService)) << "another program holds the file manager's name";

    const QMap<QString, QStringList> folders{{"/org/fm/window/1", {"file:///tmp/a", "file:///tmp/b"}},
                                             {"/org/fm/window/2", {}}};
    const struct {
        const char* type;
        QVariant published;
        QMap<QString, QStringList> read;
    } cases[] = {
        {"a{sas}", QVariant::fromValue(folders), folders},
        {"(y)", structure([](QDBusArgument& a) { a << uchar(7); }), {}},
        {"(si)", structure([](QDBusArgument& a) { a << QStringLiteral("/org/fm/window/1") << 3; }), {}},
        {"ai", QVariant::fromValue(QList<int>{1, 2, 3}), {}},
        {"ao", QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath("/org/fm/window/1")}), {}},
        {"ad", QVariant::fromValue(QList<double>{0.5}), {}},
        {"as", QVariant(QStringList{"file:///tmp/a"}), {}},
        {"a{ss}", QVariant::fromValue(QMap<QString, QString>{{"/org/fm/window/1", "file:///tmp/a"}}), {}},
        {"s", QVariant(QStringLiteral("file:///tmp/a")), {}},
    };
    for (const auto& c : cases) {
        fileManager.published = c.published;
        EXPECT_EQ(QCoro::waitFor(LinuxFolderScripting::openWindowsWithLocations()), c.read) << c.type;
    }
    bus.unregisterService(kService);
    bus.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("publishing-fm"));
}

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
    // A file manager that takes folders, of which no window runs: this program, which owns the
    // interface on the bus.
    const QString handler = installTestFileManager(QCoreApplication::applicationFilePath());
    LinuxFolderScripting scripting(windows, monitors, applications, virtualClock, [&] {
        ++lookups;
        return handler;
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

// A folder goes to the file manager by the rules of documents: nothing under /proc, /sys or /dev,
// named directly or through a link.
TEST_F(LinuxFolderScriptingTest, HandsTheFileManagerOnlyTheUsersOwnFolders) {
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-fm"));
    SilentFileManager fileManager;
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                   QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(bus.registerService(kService)) << "another program holds the file manager's name";
    auto virtualClock = std::make_shared<VirtualClock>();
    virtualClock->setRealWorkPending([&] { return virtualClock->pendingCount() == 0; });
    const QString handler = installTestFileManager(QCoreApplication::applicationFilePath());
    LinuxFolderScripting scripting(windows, monitors, applications, virtualClock, [&] { return handler; });
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Projects")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self"), home.filePath(QStringLiteral("self"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/shm"), home.filePath(QStringLiteral("shm"))));
    const struct {
        QString folder;
        int shown;
    } cases[] = {
        {home.filePath(QStringLiteral("Projects")), 1},
        {QStringLiteral("/proc/self"), 0},
        {QStringLiteral("/sys/kernel"), 0},
        {QStringLiteral("/dev/shm"), 0},
        {home.filePath(QStringLiteral("self")), 0},
        {home.filePath(QStringLiteral("shm")) + u'/', 0},
    };
    for (const auto& c : cases) {
        fileManager.shown = 0;
        QString problem;
        const std::optional<ScriptProgram> program =
            ScriptProgram::compile(FinderScriptService::batchRestoreScript({c.folder}, {}), &problem);
        ASSERT_TRUE(program) << problem.toStdString();
        ASSERT_TRUE(virtualClock->runUntilDone(scripting.execute(*program))) << c.folder.toStdString();
        EXPECT_EQ(fileManager.shown, c.shown) << c.folder.toStdString();
    }
    bus.unregisterService(kService);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-fm"));
}

} // namespace

#include "LinuxFolderScriptingTest.moc"
