#include "App/RestoreRunText.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Support/SnapshotBuilders.h"
#include "Support/StatusPostRecorder.h"
#include "Support/X11DesktopTest.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
        // Drawn through the software GL of a display without a graphics card, a folder that is
        // loading animates a spinner that, on a loaded machine, takes the file manager's whole
        // main loop: the folder never finishes loading. Drawn in software without GL it is cheap.
        qDBusRegisterMetaType<QMap<QString, QString>>();
        qDBusRegisterMetaType<QList<QDBusVariant>>();
        QDBusMessage environment = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
        environment << QVariant::fromValue(
            QMap<QString, QString>{{QStringLiteral("GSK_RENDERER"), QStringLiteral("cairo")}});
        const QDBusMessage updated = QDBusConnection::sessionBus().call(environment, QDBus::Block, 5000);
        ASSERT_EQ(updated.type(), QDBusMessage::ReplyMessage) << updated.errorMessage().toStdString();
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

    // Each window's tabs, in tab order, as the file manager publishes them.
    static QMap<QString, QStringList> publishedTabs() {
        QDBusMessage get = QDBusMessage::createMethodCall(
            kService, QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << kService << QStringLiteral("OpenWindowsWithLocations");
        const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
        QMap<QString, QStringList> locations;
        if (!reply.arguments().isEmpty()) {
            reply.arguments().first().value<QDBusVariant>().variant().value<QDBusArgument>() >> locations;
        }
        return locations;
    }

    // The folders the file manager says its windows show (the first tab of each).
    static QStringList publishedFolders() {
        QStringList folders;
        for (const QStringList& shown : publishedTabs()) {
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
    QString uri(const char* name) const { return QUrl::fromLocalFile(folder(name)).toString(); }

    // Runs one of a file-manager window's own actions, as its menus and keys do.
    static void act(const QString& window, const QString& action, const QVariantList& parameter = {}) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Nautilus"), window,
                                           QStringLiteral("org.gtk.Actions"), QStringLiteral("Activate"));
        QList<QDBusVariant> wrapped;
        for (const QVariant& value : parameter) {
            wrapped << QDBusVariant(value);
        }
        call << action << QVariant::fromValue(wrapped) << QVariantMap();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << action.toStdString() << ": " << reply.errorMessage().toStdString();
    }

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
    StatusPostRecorder recorder;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreRun run = QCoro::waitFor(coordinator.restoreRun(*workspace, false));
    EXPECT_EQ(run.report.status, RestoreStatus::restored) << run.report.summary().toStdString();
    // The folder step opened one window and moved the other back: the report says so.
    const QString text = RestoreRunText::describe(run);
    EXPECT_EQ(text.count(QStringLiteral(": restored - started")), 1) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral(": restored - moved")), 1) << text.toStdString();

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

    // The revert closes the window the restore opened in the running file manager.
    ASSERT_TRUE(!recorder.posts.isEmpty() && recorder.posts.last().revertStateID);
    const RestoreReport reverted =
        QCoro::waitFor(revertStates.revertToState(*recorder.posts.last().revertStateID));
    EXPECT_EQ(reverted.status, RestoreStatus::restored) << reverted.summary().toStdString();
    // (The file manager may go on publishing a closed window's folder for a while.)
    EXPECT_TRUE(waitUntil([&] {
        const QList<X11Client> left = folderWindows();
        return left.size() == 1 && left.first().title == QStringLiteral("Projects");
    }));
}

// A window with two tabs is saved with the folder of the tab it shows, which here is not its
// first: the file manager lists both tabs, and only the title tells which one is shown.
TEST_F(LinuxFolderWindowsTest, SavesTheShownTabOfAWindowWithTwoTabsAndReopensIt) {
    ASSERT_TRUE(m_ready);
    const QRect frame(150, 100, 900, 600);
    show("Projects", frame);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForFolders({QStringLiteral("Projects")}));
    const QString window = publishedTabs().firstKey();

    // A second tab, shown at once, on the same folder; then that tab goes to the other folder.
    act(window, QStringLiteral("new-tab"));
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitUntil([&] { return publishedTabs().value(window).size() == 2; }, 20000))
        << publishedTabs().value(window).join(u',').toStdString();
    act(window, QStringLiteral("open-location"), {uri("Photos")});
    ASSERT_FALSE(HasFatalFailure());
    const QStringList tabs{uri("Projects"), uri("Photos")};
    ASSERT_TRUE(waitUntil([&] { return publishedTabs().value(window) == tabs; }, 20000))
        << publishedTabs().value(window).join(u',').toStdString();
    ASSERT_TRUE(waitUntil([&] {
        const QList<X11Client> shown = folderWindows();
        return shown.size() == 1 && shown.first().title == QStringLiteral("Photos");
    }));

    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Tabs")));
    ASSERT_TRUE(workspace);
    const QMap<QString, QRect> expected{{folder("Photos") + u'/', frame}};
    EXPECT_EQ(savedFolders(*workspace), expected);

    windows->close(folderWindows().first().window);
    ASSERT_TRUE(waitUntil([&] { return folderWindows().isEmpty(); }));

    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreReport report = QCoro::waitFor(coordinator.restore(*workspace, false));
    EXPECT_EQ(report.status, RestoreStatus::restored) << report.summary().toStdString();
    EXPECT_TRUE(waitForFolders({QStringLiteral("Photos")}));
    const QList<X11Client> reopened = folderWindows();
    ASSERT_EQ(reopened.size(), 1);
    EXPECT_EQ(reopened.first().title, QStringLiteral("Photos"));
}

// A file manager the restore starts for a saved folder window starts in that folder, not in the
// folder Ordella runs in: the saved folder's window is the only one, and the report says it was
// started.
TEST_F(LinuxFolderWindowsTest, AFileManagerTheRestoreStartsStartsInTheSavedFolder) {
    ASSERT_TRUE(m_ready);
    const QRect frame(150, 100, 900, 600);
    show("Projects", frame);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitForFolders({QStringLiteral("Projects")}));
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Started")));
    ASSERT_TRUE(workspace);
    const std::optional<qint32> pid = fileManagerPid();
    ASSERT_TRUE(pid);
    ::kill(*pid, SIGTERM);
    ASSERT_TRUE(
        waitUntil([] { return !QDBusConnection::sessionBus().interface()->isServiceRegistered(kService); }));
    ASSERT_TRUE(waitUntil([&] { return folderWindows().isEmpty(); }));

    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreRun run = QCoro::waitFor(coordinator.restoreRun(*workspace, false));
    const QString text = RestoreRunText::describe(run);
    EXPECT_TRUE(text.contains(QStringLiteral("\"Projects\": restored - started"))) << text.toStdString();
    EXPECT_TRUE(waitForFolders({QStringLiteral("Projects")}));
    EXPECT_EQ(folderWindows().size(), 1);
    QStringList lines;
    for (const auto& entry : AnalysisLogger::shared().entries()) {
        lines << entry.message;
    }
    EXPECT_TRUE(
        lines.contains(QStringLiteral("launchApp: Launching ") + kFileManager + QStringLiteral(" docs=1")))
        << lines.join(u'\n').toStdString();
}

// A file manager that takes seconds to load a folder: until then its window is titled "Loading…"
// and published without a folder. It notes each folder it is asked to show.
class SlowFileManagerTest : public X11DesktopTest {
protected:
    static constexpr int kLoadingMs = 10000;

    void SetUp() override {
        X11DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        m_entry = installTestFileManager();
        for (const char* name : {"alpha", "beta"}) {
            ASSERT_TRUE(QDir(m_folder.path()).mkpath(QString::fromLatin1(name)));
        }
        start(testFileManagerProgram(), {QStringLiteral("--loading-ms"), QString::number(kLoadingMs),
                                         QStringLiteral("--shown"), log()});
        ASSERT_TRUE(waitUntil(
            [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService); }));
        m_ready = installProductionPlatform();
    }

    QString log() const { return m_folder.filePath(QStringLiteral("shown.log")); }
    QString uri(const char* name) const {
        return QUrl::fromLocalFile(m_folder.filePath(QString::fromLatin1(name))).toString();
    }

    // The folders the file manager was asked to show, in order.
    QStringList asked() const {
        QFile file(log());
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    static void showFolders(const QStringList& uris) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/FileManager1"),
                                           kService, QStringLiteral("ShowFolders"));
        call << uris << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 10000);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }

    QList<X11Client> folderWindows() {
        QList<X11Client> found;
        for (const X11Client& w : windows->stackedClients()) {
            if (w.type == X11Client::Type::Normal && w.viewable &&
                applications->identityOf(w).identifier == m_entry) {
                found << w;
            }
        }
        return found;
    }

    QStringList titles() {
        QStringList all;
        for (const X11Client& w : folderWindows()) {
            all << w.title.value_or(QString());
        }
        all.sort();
        return all;
    }

    QTemporaryDir m_folder;
    QString m_entry;
    bool m_ready = false;
};

// The restore opens each folder once: the check that follows it finds the windows still loading,
// and takes each for its folder's window instead of opening the folder again.
TEST_F(SlowFileManagerTest, AFolderWindowStillLoadingIsNeverOpenedAgain) {
    ASSERT_TRUE(m_ready);
    showFolders({uri("alpha"), uri("beta")});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitUntil(
        [&] {
            return titles() == QStringList{"alpha", "beta"};
        },
        kLoadingMs + 20000))
        << titles().join(u',').toStdString();
    const QList<X11Client> shown = folderWindows();
    windows->moveFrame(shown[0].window, QPoint(100, 80));
    windows->moveFrame(shown[1].window, QPoint(700, 300));
    ASSERT_TRUE(
        waitUntil([&] { return folderWindows().value(1).frameRect().topLeft() == QPoint(700, 300); }));
    const std::optional<Workspace> workspace =
        QCoro::waitFor(WorkspaceCapturer::capture(QStringLiteral("Slow folders")));
    ASSERT_TRUE(workspace);
    qsizetype saved = 0;
    for (const AppSnapshot& app : workspace->appSnapshots) {
        if (app.bundleIdentifier == m_entry) {
            saved = app.windowSnapshots.size();
        }
    }
    ASSERT_EQ(saved, 2);
    for (const X11Client& w : shown) {
        windows->close(w.window);
    }
    ASSERT_TRUE(waitUntil([&] { return folderWindows().isEmpty(); }));
    QFile::remove(log());

    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreRun run = QCoro::waitFor(coordinator.restoreRun(*workspace, false));
    QStringList once = asked();
    once.sort();
    EXPECT_EQ(once, (QStringList{uri("alpha"), uri("beta")}));
    EXPECT_EQ(folderWindows().size(), 2);
    const QString report = RestoreRunText::describe(run);
    EXPECT_TRUE(report.contains(QStringLiteral("\"alpha\": restored - started"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("\"beta\": restored - started"))) << report.toStdString();
}

// Folders under /proc, /sys and /dev, named directly, through a link or as a file address, go to
// the file manager no more than documents go to any program: each is refused, and reported with its
// reason.
TEST_F(SlowFileManagerTest, RefusesSystemFoldersAndSaysWhy) {
    ASSERT_TRUE(m_ready);
    // The file manager runs, showing a folder of the user's.
    showFolders({uri("alpha")});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(waitUntil([&] { return folderWindows().size() == 1; }));
    ASSERT_TRUE(QFile::link(QStringLiteral("/sys/kernel"), m_folder.filePath(QStringLiteral("kernel"))));
    QList<WindowSnapshot> saved;
    for (const QString& folder : {QStringLiteral("/proc/self/"), m_folder.filePath(QStringLiteral("kernel/")),
                                  QStringLiteral("file:///proc/sys/")}) {
        WindowSnapshot window = Snapshots::window(QFileInfo(folder.chopped(1)).fileName(), folder);
        window.frame = SnapshotRect{200, 150, 600, 400};
        saved << window;
    }
    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreRun run =
        QCoro::waitFor(coordinator.restoreRun(Snapshots::workspace({Snapshots::app(m_entry, saved)}), false));
    EXPECT_EQ(asked(), QStringList{uri("alpha")});
    const QString report = RestoreRunText::describe(run);
    for (const char* title : {"self", "kernel", "sys"}) {
        EXPECT_TRUE(
            report.contains(QStringLiteral("\"%1\": failed - Folder not handed to the file manager: a "
                                           "device or system file (/proc, /sys or /dev)")
                                .arg(QString::fromLatin1(title))))
            << report.toStdString();
    }
}

// The saved file manager does not run, and another file manager owns the interface on the bus (as
// a second file manager the user runs does): the saved folder goes to the saved file manager,
// started with it, and never to the other one.
class AnotherFileManagerTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        m_entry = installTestFileManager();
        ASSERT_TRUE(QDir(m_folder.path()).mkpath(QStringLiteral("alpha")));
        // The same program under another name is another application.
        const QString other = m_folder.filePath(QStringLiteral("other-files"));
        ASSERT_TRUE(QFile::copy(testFileManagerProgram(), other));
        ASSERT_TRUE(QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        m_other = start(other, {QStringLiteral("--shown"), log()});
        ASSERT_TRUE(waitUntil(
            [] { return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService); }));
        m_ready = installProductionPlatform();
    }

    QString log() const { return m_folder.filePath(QStringLiteral("other.log")); }

    // The titles of the windows of the saved file manager, or of the other one.
    QStringList titles(bool saved) {
        QStringList all;
        for (const X11Client& w : windows->stackedClients()) {
            const bool mine = applications->identityOf(w).identifier == m_entry;
            if (w.type == X11Client::Type::Normal && w.viewable && (saved ? mine : w.pid == m_other)) {
                all << w.title.value_or(QString());
            }
        }
        return all;
    }

    QTemporaryDir m_folder;
    QString m_entry;
    qint32 m_other = 0;
    bool m_ready = false;
};

TEST_F(AnotherFileManagerTest, TheSavedFileManagerGetsItsFolderOnceWhenAnotherOwnsTheInterface) {
    ASSERT_TRUE(m_ready);
    WindowSnapshot alpha =
        Snapshots::window(QStringLiteral("alpha"), m_folder.filePath(QStringLiteral("alpha/")));
    alpha.frame = SnapshotRect{200, 150, 600, 400};
    RevertStateManager revertStates;
    RestoreCoordinator coordinator(WorkspaceRestorer::restore, &revertStates);
    const RestoreRun run = QCoro::waitFor(
        coordinator.restoreRun(Snapshots::workspace({Snapshots::app(m_entry, {alpha})}), false));
    const QString report = RestoreRunText::describe(run);
    EXPECT_TRUE(report.contains(QStringLiteral("\"alpha\": restored - started"))) << report.toStdString();
    EXPECT_TRUE(waitUntil([&] { return titles(true) == QStringList{QStringLiteral("alpha")}; }))
        << titles(true).join(u',').toStdString();
    EXPECT_EQ(titles(false), QStringList());

    // The saved file manager runs on without a window: the folder goes to it again, by a start.
    for (const X11Client& w : windows->stackedClients()) {
        if (applications->identityOf(w).identifier == m_entry) {
            windows->close(w.window);
        }
    }
    ASSERT_TRUE(waitUntil([&] { return titles(true).isEmpty(); }));
    const RestoreRun again = QCoro::waitFor(
        coordinator.restoreRun(Snapshots::workspace({Snapshots::app(m_entry, {alpha})}), false));
    EXPECT_TRUE(RestoreRunText::describe(again).contains(QStringLiteral("\"alpha\": restored - started")))
        << RestoreRunText::describe(again).toStdString();
    EXPECT_TRUE(waitUntil([&] { return titles(true) == QStringList{QStringLiteral("alpha")}; }))
        << titles(true).join(u',').toStdString();
    EXPECT_EQ(titles(false), QStringList());
    QFile asked(log());
    EXPECT_FALSE(asked.exists() && asked.size() > 0);
}

} // namespace
