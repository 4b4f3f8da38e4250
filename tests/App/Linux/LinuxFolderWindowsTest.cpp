#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Support/X11DesktopTest.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <qcoro/qcorotask.h>

#include <csignal>

namespace {

const QString kFileManager = QStringLiteral("org.gnome.Nautilus.desktop");
const QString kService = QStringLiteral("org.freedesktop.FileManager1");

// The file manager of scripts/bootstrap as the desktop's folder handler, started on the session
// bus the way desktops start it, with two folder windows. It ends with the test.
class LinuxFolderWindowsTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("nautilus")).isEmpty())
            << "nautilus is missing: scripts/bootstrap installs it";
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QDir().mkpath(config);
        QFile defaults(config + QStringLiteral("/mimeapps.list"));
        ASSERT_TRUE(defaults.open(QIODevice::WriteOnly));
        defaults.write("[Default Applications]\ninode/directory=" + kFileManager.toUtf8() + "\n");
        defaults.close();
        for (const char* name : {"Projects", "Photos"}) {
            ASSERT_TRUE(QDir(m_folder.path()).mkpath(QString::fromLatin1(name)));
        }
        m_ready = installProductionPlatform();
    }

    void TearDown() override {
        // The file manager the bus started for the test.
        if (const std::optional<qint32> pid = fileManagerPid()) {
            ::kill(*pid, SIGTERM);
            waitUntil(
                [] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(kService); });
        }
        X11DesktopTest::TearDown();
    }

    static std::optional<qint32> fileManagerPid() {
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        if (!bus->isServiceRegistered(kService)) {
            return std::nullopt;
        }
        const QDBusReply<uint> pid = bus->servicePid(kService);
        return pid.isValid() ? std::optional<qint32>(static_cast<qint32>(pid.value())) : std::nullopt;
    }

    // The folders the file manager says its windows show.
    static QStringList publishedFolders() {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kService, QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << kService << QStringLiteral("OpenWindowsWithLocations");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
        QMap<QString, QStringList> locations;
        if (!reply.arguments().isEmpty()) {
            reply.arguments().first().value<QDBusVariant>().variant().value<QDBusArgument>() >> locations;
        }
        QStringList folders;
        for (const QStringList& shown : locations) {
            folders << shown.value(0);
        }
        folders.sort();
        return folders;
    }

    // The file manager publishes a window's folder once it has loaded it.
    bool waitForFolders(QStringList names) {
        QStringList expected;
        for (const QString& name : names) {
            expected << QUrl::fromLocalFile(m_folder.filePath(name)).toString();
        }
        expected.sort();
        return waitUntil([&] { return publishedFolders() == expected; }, 10000);
    }

    QString folder(const char* name) const { return m_folder.filePath(QString::fromLatin1(name)); }

    QList<X11Client> folderWindows() {
        QList<X11Client> found;
        for (const X11Client& w : windows->stackedClients()) {
            if (w.type == X11Client::Type::Normal && w.viewable &&
                applications->identityOf(w).identifier == kFileManager) {
                found << w;
            }
        }
        return found;
    }

    void show(const char* name, const QRect& frame) {
        const qsizetype before = folderWindows().size();
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/FileManager1"),
                                           kService, QStringLiteral("ShowFolders"));
        call << QStringList(QUrl::fromLocalFile(folder(name)).toString()) << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 30000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        ASSERT_TRUE(waitUntil([&] { return folderWindows().size() == before + 1; }, 30000));
        const X11Client made = folderWindows().first();
        place(made.window, frame);
    }

    void place(xcb_window_t window, const QRect& frame) {
        windows->resizeFrame(window, frame.size());
        windows->moveFrame(window, frame.topLeft());
        ASSERT_TRUE(waitUntil([&] { return windows->client(window)->frameRect() == frame; }));
    }

    // The captured file manager's windows: frame by folder (saved with a trailing slash).
    static QMap<QString, QRect> savedFolders(const Workspace& workspace) {
        QMap<QString, QRect> folders;
        for (const AppSnapshot& app : workspace.appSnapshots) {
            if (app.bundleIdentifier != kFileManager) {
                continue;
            }
            for (const WindowSnapshot& window : app.windowSnapshots) {
                folders.insert(
                    window.documentURL.value_or(QString()),
                    QRectF(window.frame.x, window.frame.y, window.frame.width, window.frame.height).toRect());
            }
        }
        return folders;
    }

    QTemporaryDir m_folder;
    bool m_ready = false;
};

TEST_F(LinuxFolderWindowsTest, SavesFolderWindowsAndReopensAndPlacesThem) {
    ASSERT_TRUE(m_ready);
    const QRect projects(100, 80, 900, 600);
    const QRect photos(1100, 200, 800, 500);
    show("Projects", projects);
    ASSERT_FALSE(HasFatalFailure());
    show("Photos", photos);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForFolders({QStringLiteral("Projects"), QStringLiteral("Photos")}));

    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Folders")));
    ASSERT_TRUE(workspace);
    const QMap<QString, QRect> saved = savedFolders(*workspace);
    const QMap<QString, QRect> expected{{folder("Projects") + u'/', projects},
                                        {folder("Photos") + u'/', photos}};
    EXPECT_EQ(saved, expected);

    // One window closed, the other moved.
    QList<X11Client> shown = folderWindows();
    ASSERT_EQ(shown.size(), 2);
    windows->close(shown.first().window);
    ASSERT_TRUE(waitUntil([&] { return folderWindows().size() == 1; }));
    place(folderWindows().first().window, QRect(300, 400, 700, 450));
    ASSERT_FALSE(HasFatalFailure());

    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreReport report = QCoro::waitFor(coordinator.restore(*workspace, false));
    EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();

    EXPECT_TRUE(waitForFolders({QStringLiteral("Projects"), QStringLiteral("Photos")}));
    const std::optional<Workspace> now = QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Now")));
    ASSERT_TRUE(now);
    const QMap<QString, QRect> restored = savedFolders(*now);
    ASSERT_EQ(restored.keys(), expected.keys());
    for (const QString& path : expected.keys()) {
        const QRect a = restored[path];
        const QRect b = expected[path];
        EXPECT_TRUE(std::abs(a.x() - b.x()) <= 50 && std::abs(a.y() - b.y()) <= 50 &&
                    std::abs(a.width() - b.width()) <= 50 && std::abs(a.height() - b.height()) <= 50)
            << path.toStdString() << ": " << a.x() << "," << a.y() << " " << a.width() << "x" << a.height();
    }
}

} // namespace
