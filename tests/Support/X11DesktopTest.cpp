#include "Support/X11DesktopTest.h"

#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/Linux/LinuxProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

#include <qcoro/qcorotask.h>

#include <csignal>
#include <cstdlib>
#include <utility>

namespace {

QString userEntries() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/applications");
}

QString userDefaults() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/mimeapps.list");
}

// GLib notices a new entry or default through a file monitor, a moment later: after an earlier
// test of the process removed the same entry, it may still miss it at first. Whether it sees the
// entry at path under id (and, given a type, as the type's default) within the patience of a test.
bool glibSees(const QString& id, const QString& path, const QString& defaultOf = QString()) {
    SystemClock clock;
    const std::function<bool()> seen = [&] {
        const std::optional<DesktopEntry> found = DesktopEntries::find(id);
        return found && QFileInfo(found->filePath).absoluteFilePath() == QFileInfo(path).absoluteFilePath() &&
               (defaultOf.isEmpty() || DesktopEntries::defaultFor(defaultOf) == id);
    };
    return QCoro::waitFor(clock.pollUntil(seen, Clock::seconds(10.0), Clock::Duration(10)));
}

const QString kTestEntry = QStringLiteral("ordella-test-window.desktop");
// The environment variable that marks the processes started during one test.
constexpr const char* kMarkVariable = "ORDELLA_X11_TEST";

// The keycode that types keysym on the server's keyboard map; 0 when none does.
xcb_keycode_t keycodeOf(xcb_connection_t* c, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, quint8(count)), nullptr);
    xcb_keycode_t found = 0;
    for (int i = 0; map && i < count && found == 0; ++i) {
        if (xcb_get_keyboard_mapping_keysyms(map)[i * map->keysyms_per_keycode] == keysym) {
            found = xcb_keycode_t(setup->min_keycode + i);
        }
    }
    std::free(map);
    return found;
}

} // namespace

void X11DesktopTest::SetUp() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (qEnvironmentVariableIsSet("ORDELLA_X11_SESSION")) {
            FAIL() << "the X session of the test fixture cannot be reached";
        }
        GTEST_SKIP() << "no X session: run these tests through ctest";
    }
    m_entriesBefore = QDir(userEntries()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    if (QFile defaults(userDefaults()); defaults.open(QIODevice::ReadOnly)) {
        m_defaultsBefore = defaults.readAll();
    }
    // Inherited by every program started from here on, whoever starts it.
    m_mark = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    qputenv(kMarkVariable, m_mark);
    connection = X11Connection::open();
    ASSERT_TRUE(connection);
    windows = std::make_shared<X11Windows>(connection);
    monitors = std::make_shared<X11Monitors>(connection);
    applications = std::make_shared<LinuxRunningApplications>(windows);
    accessibility = std::make_shared<LinuxAccessibility>(windows, monitors, applications);
    windowServer = std::make_shared<LinuxWindowServer>(windows, monitors, applications);
    screens = std::make_shared<LinuxScreens>(windows, monitors);
    screenCapture = std::make_shared<LinuxScreenCapture>(
        windows, monitors, std::shared_ptr<Clock>(&clock, [](Clock*) {}), applications);
    ASSERT_TRUE(windows->managerReady()) << windows->missingSupport().toStdString();
}

void X11DesktopTest::restoreEntries() {
    const QDir entries(userEntries());
    for (const QString& name : entries.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!m_entriesBefore.contains(name)) {
            QFile::remove(entries.filePath(name));
        }
    }
    if (!m_defaultsBefore) {
        QFile::remove(userDefaults());
    } else if (QFile defaults(userDefaults()); defaults.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        defaults.write(*m_defaultsBefore);
    }
}

void X11DesktopTest::TearDown() {
    letOtherClientGo();
    if (m_previousPlatform) {
        Platform::install(std::exchange(m_previousPlatform, nullptr));
    }
    if (!applications) {
        qunsetenv(kMarkVariable);
        return;
    }
    // What the ports launched runs under the test entry; everything else was started here. It all
    // ends with the test.
    QList<qint32> pids = m_started;
    for (const RunningApplication& app : applications->runningApplications()) {
        if (app.bundleIdentifier == kTestEntry && !pids.contains(app.processIdentifier)) {
            pids.append(app.processIdentifier);
        }
    }
    for (const qint32 pid : markedProcesses()) {
        if (!pids.contains(pid)) {
            pids.append(pid);
        }
    }
    stopProcesses(pids);
    qunsetenv(kMarkVariable);
    restoreEntries();
    // So do the notifications it posted, and the monitors it set up (the screen's own one stays).
    QProcess::execute(QStringLiteral("dunstctl"), {QStringLiteral("close-all")});
    for (const X11Monitor& monitor : monitors->monitors()) {
        if (monitor.name != QLatin1String("screen")) {
            xrandr({QStringLiteral("--delmonitor"), monitor.name});
        }
    }
}

bool X11DesktopTest::installProductionPlatform() {
    const LinuxPlatform::Assembly assembly = LinuxPlatform::create();
    EXPECT_TRUE(assembly.problem.isEmpty()) << assembly.problem.toStdString();
    if (!assembly.problem.isEmpty()) {
        return false;
    }
    const std::shared_ptr<Platform> previous = Platform::install(assembly.platform);
    if (!m_previousPlatform) {
        m_previousPlatform = previous;
    }
    return true;
}

bool X11DesktopTest::grabInAnotherClient(quint32 keysym, quint16 modifiers) {
    if (!m_otherClient) {
        m_otherClient = xcb_connect(qgetenv("DISPLAY").constData(), nullptr);
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_otherClient)).data->root;
    const xcb_keycode_t keycode = keycodeOf(m_otherClient, keysym);
    xcb_generic_error_t* error =
        xcb_request_check(m_otherClient, xcb_grab_key_checked(m_otherClient, 0, root, modifiers, keycode,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::free(error);
    return keycode != 0 && !error;
}

void X11DesktopTest::letOtherClientGo() {
    if (m_otherClient) {
        xcb_disconnect(m_otherClient);
        m_otherClient = nullptr;
    }
}

bool X11DesktopTest::pickFromNotificationMenu(const std::function<bool()>& invoked) {
    const Clock::TimePoint deadline = clock.now() + Clock::Duration(kPatienceMs);
    while (!invoked() && clock.now() < deadline) {
        QProcess::execute(QStringLiteral("dunstctl"), {QStringLiteral("context")});
        waitUntil(invoked, 3000);
    }
    return invoked();
}

void X11DesktopTest::stopProcesses(const QList<qint32>& pids) {
    for (const qint32 pid : pids) {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
        }
    }
    const auto ended = [&pids] {
        return std::none_of(pids.cbegin(), pids.cend(),
                            [](qint32 pid) { return LinuxProcess::isAlive(pid); });
    };
    if (!waitUntil(ended, 10000)) {
        for (const qint32 pid : pids) {
            if (LinuxProcess::isAlive(pid)) {
                ::kill(pid, SIGKILL);
            }
        }
        // Gone before the next test looks at the desktop.
        waitUntil(ended);
    }
}

QList<qint32> X11DesktopTest::markedProcesses() const {
    QList<qint32> marked;
    if (m_mark.isEmpty()) {
        return marked;
    }
    const qint32 self = qint32(QCoreApplication::applicationPid());
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint32 pid = entry.toInt(&number);
        if (number && pid != self && LinuxProcess::environmentValue(pid, kMarkVariable) == m_mark) {
            marked.append(pid);
        }
    }
    return marked;
}

qint32 X11DesktopTest::start(const QString& program, const QStringList& arguments) {
    qint64 pid = 0;
    // Standard output and errors of clients are of no interest here.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // A start that failed leaves pid 0, which signalled would be this process's own group.
    const bool started = process.startDetached(&pid) && pid > 0;
    EXPECT_TRUE(started) << program.toStdString();
    if (started) {
        m_started.append(qint32(pid));
    }
    return started ? qint32(pid) : 0;
}

bool X11DesktopTest::waitUntil(const std::function<bool()>& check, int timeoutMs) {
    // The program takes what it read of the desktop as current until its event loop turns, as it
    // always has between two things a user does. A test changes the desktop through a connection
    // of its own, and a check that holds at once would not turn the loop: turn it first.
    QCoreApplication::processEvents();
    return QCoro::waitFor(clock.pollUntil(check, Clock::Duration(timeoutMs), Clock::Duration(10)));
}

QList<X11Client> X11DesktopTest::waitForWindows(qint32 pid, int count) {
    QList<X11Client> found;
    waitUntil([&] {
        found.clear();
        for (const X11Client& client : windows->clients()) {
            // A window counts once the manager has framed it.
            if (client.pid == pid && client.viewable && !client.extents.isNull()) {
                found.append(client);
            }
        }
        return found.size() >= count;
    });
    EXPECT_GE(found.size(), count) << "pid " << pid;
    return found;
}

std::optional<QRectF> X11DesktopTest::axFrame(xcb_window_t window) {
    const AXResult position =
        accessibility->copyAttributeValue(AXElement{window}, QStringLiteral("AXPosition"));
    const AXResult size = accessibility->copyAttributeValue(AXElement{window}, QStringLiteral("AXSize"));
    if (!position.value.toPoint() || !size.value.toSize()) {
        return std::nullopt;
    }
    return QRectF(*position.value.toPoint(), *size.value.toSize());
}

void X11DesktopTest::xrandr(const QStringList& arguments) {
    EXPECT_EQ(QProcess::execute(QStringLiteral("xrandr"), arguments), 0)
        << arguments.join(u' ').toStdString();
}

QString X11DesktopTest::testWindowProgram() {
    // Test programs are built beside the test executables.
    return QCoreApplication::applicationDirPath() + QStringLiteral("/programs/ordella-test-window");
}

QString X11DesktopTest::testFileManagerProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/programs/ordella-test-file-manager");
}

QString X11DesktopTest::installTestFileManager(const QString& program) {
    const QString id = QStringLiteral("ordella-test-file-manager.desktop");
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(data + QStringLiteral("/applications"));
    QFile entry(data + QStringLiteral("/applications/") + id);
    EXPECT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Ordella Test Files\nCategories=System;FileManager;\n"
                "MimeType=inode/directory;\nExec=" +
                QFile::encodeName(program) + " %U\n");
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QDir().mkpath(config);
    QFile defaults(config + QStringLiteral("/mimeapps.list"));
    EXPECT_TRUE(defaults.open(QIODevice::WriteOnly));
    defaults.write("[Default Applications]\ninode/directory=" + id.toUtf8() + "\n");
    defaults.close();
    entry.close();
    EXPECT_TRUE(glibSees(id, entry.fileName(), QStringLiteral("inode/directory")));
    return id;
}

QString X11DesktopTest::installTestWindowEntry(const QString& options) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                           QStringLiteral("/applications");
    QDir().mkpath(folder);
    QFile entry(folder + u'/' + kTestEntry);
    EXPECT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(
        "[Desktop Entry]\nType=Application\nName=Ordella Test Window\nIcon=utilities-terminal\nExec=" +
        QFile::encodeName(testWindowProgram()) + " --caption Launched " +
        (options.isEmpty() ? QByteArray() : options.toUtf8() + ' ') + "%F\nMimeType=text/plain;\n");
    entry.close();
    EXPECT_TRUE(glibSees(kTestEntry, entry.fileName()));
    return kTestEntry;
}
