// The X session the desktop benchmarks run in: the tests' own fixture (Xvfb with two monitors'
// worth of screen, openbox, a session bus), started and stopped by the benchmark, and a plain xcb
// connection to look at the desktop from outside Ordella.
#pragma once

#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/Platform.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>

namespace bench {

class X11BenchSession {
public:
    X11BenchSession() = default;
    X11BenchSession(const X11BenchSession&) = delete;
    X11BenchSession& operator=(const X11BenchSession&) = delete;
    ~X11BenchSession() { stop(); }

    // Starts the session (under the window manager named, openbox when none is) and points
    // DISPLAY and the session bus of this process at it.
    bool start(QString* error, const QString& manager = QString()) {
        if (!m_dir.isValid()) {
            *error = QStringLiteral("no temporary folder");
            return false;
        }
        // Run through the shell, so that this works before the Qt application exists (a GUI
        // benchmark needs DISPLAY before it makes one).
        const QString log = m_dir.filePath(QStringLiteral("start.log"));
        const QByteArray chosen = manager.isEmpty() ? QByteArray() : " " + shellQuote(manager);
        const QByteArray command = shellQuote(sessionScript()) + " start " + shellQuote(m_dir.path()) +
                                   chosen + " >" + shellQuote(log) + " 2>&1";
        if (std::system(command.constData()) != 0) {
            QFile output(log);
            output.open(QIODevice::ReadOnly);
            *error = QStringLiteral("the X session did not start: ") + QString::fromUtf8(output.readAll());
            return false;
        }
        m_started = true;
        QFile env(m_dir.filePath(QStringLiteral("session.env")));
        if (!env.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("the X session wrote no session.env");
            return false;
        }
        for (const QByteArray& line : env.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0) {
                qputenv(line.left(eq).constData(), line.mid(eq + 1));
            }
        }
        m_connection = xcb_connect(nullptr, &m_screenNumber);
        if (xcb_connection_has_error(m_connection)) {
            *error = QStringLiteral("cannot connect to the X session");
            return false;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < m_screenNumber; ++i) {
            xcb_screen_next(&it);
        }
        m_root = it.data->root;
        return true;
    }

    // Ordella on the running session, as the desktop benchmarks that restore run it: with a home
    // of its own (the restore's log, revert states and desktop entries go there, see home()), the
    // Qt application on the session's display, and the Linux desktop's ports, every one waiting
    // on clock, as the current platform. False with the problem in error.
    bool startOrdella(int& argc, char** argv, std::shared_ptr<Clock> clock, QString* error) {
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_DATA_HOME", (m_home.path() + QStringLiteral("/data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_home.path() + QStringLiteral("/config")).toUtf8());
        qunsetenv("QT_QPA_PLATFORM");
        m_application = std::make_unique<QGuiApplication>(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
        const LinuxPlatform::Assembly assembly = LinuxPlatform::create(std::move(clock));
        if (!assembly.problem.isEmpty()) {
            *error = assembly.problem;
            return false;
        }
        Platform::install(assembly.platform);
        m_platformInstalled = true;
        return true;
    }

    // Two monitors of 1920 x 1080 side by side, the right one primary. False when they could not
    // be set up.
    static bool useTwoMonitors() {
        return std::system("xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null 2>&1 && "
                           "xrandr --setmonitor '*RIGHT' 1920/508x1080/286+1920+0 none >/dev/null 2>&1") == 0;
    }

    // The home folder startOrdella gives the benchmark, to fill before it starts.
    QString home() const { return m_home.path(); }

    void stop() {
        if (m_platformInstalled) {
            Platform::install(nullptr);
            m_platformInstalled = false;
        }
        m_application.reset();
        for (QProcess* process : m_processes) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
            delete process;
        }
        m_processes.clear();
        if (m_connection) {
            xcb_disconnect(m_connection);
            m_connection = nullptr;
        }
        if (m_started) {
            const QByteArray command =
                shellQuote(sessionScript()) + " stop " + shellQuote(m_dir.path()) + " >/dev/null 2>&1";
            if (std::system(command.constData()) != 0) {
                QTextStream(stderr) << "the X session did not stop cleanly\n";
            }
            m_started = false;
        }
    }

    // Starts a program in the session; it is ended with the session.
    QProcess* launch(const QString& program, const QStringList& arguments) {
        auto* process = new QProcess;
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->start(program, arguments);
        m_processes.append(process);
        return process;
    }

    // Starts a system tray (trayer) and waits until it owns the tray selection.
    bool startTray() {
        launch(QStringLiteral("trayer"),
               {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                QStringLiteral("--width"), QStringLiteral("40"), QStringLiteral("--heighttype"),
                QStringLiteral("pixel"), QStringLiteral("--height"), QStringLiteral("28")});
        const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S" + QByteArray::number(m_screenNumber));
        return waitFor(
            [&] {
                auto* owner = xcb_get_selection_owner_reply(
                    m_connection, xcb_get_selection_owner(m_connection, selection), nullptr);
                const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
                std::free(owner);
                return owned;
            },
            20000);
    }

    xcb_connection_t* xcb() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    xcb_atom_t atom(const QByteArray& name) const {
        auto* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return atom;
    }

    // The 32-bit items of a window's property.
    QList<quint32> items(xcb_window_t window, xcb_atom_t property) const {
        auto* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, property, XCB_ATOM_ANY, 0, 4096),
            nullptr);
        QList<quint32> result;
        if (reply && reply->format == 32) {
            const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply));
            result = QList<quint32>(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return result;
    }

    QList<xcb_window_t> clientList() const {
        const QList<quint32> list = items(m_root, atom("_NET_CLIENT_LIST"));
        return QList<xcb_window_t>(list.cbegin(), list.cend());
    }

    // A viewable managed window of process pid, if there is one.
    std::optional<xcb_window_t> viewableClientOf(qint64 pid) const {
        const xcb_atom_t pidAtom = atom("_NET_WM_PID");
        for (const xcb_window_t window : clientList()) {
            const QList<quint32> owner = items(window, pidAtom);
            if (owner.isEmpty() || owner.first() != pid) {
                continue;
            }
            auto* attributes = xcb_get_window_attributes_reply(
                m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            std::free(attributes);
            if (viewable) {
                return window;
            }
        }
        return std::nullopt;
    }

    // Checks every millisecond until check holds, for at most timeoutMs.
    static bool waitFor(const std::function<bool()>& check, int timeoutMs) {
        QElapsedTimer timer;
        timer.start();
        while (!check()) {
            if (timer.elapsed() > timeoutMs) {
                return false;
            }
            QThread::usleep(1000);
        }
        return true;
    }

    static QByteArray shellQuote(const QString& text) {
        return "'" + QFile::encodeName(text).replace("'", "'\\''") + "'";
    }

    static QString sessionScript() {
        return QStringLiteral(ORDELLA_SOURCE_DIR "/tests/Platform/Linux/x11-session");
    }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_home;
    std::unique_ptr<QGuiApplication> m_application;
    bool m_platformInstalled = false;
    bool m_started = false;
    xcb_connection_t* m_connection = nullptr;
    int m_screenNumber = 0;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    QList<QProcess*> m_processes;
};

// What /proc says of a process.
struct ProcessFigures {
    // Private memory (Private_Clean + Private_Dirty of smaps_rollup), in kB.
    static qint64 privateKb(qint64 pid) { return smapsKb(pid, {"Private_Clean:", "Private_Dirty:"}); }
    // Private_Dirty alone: what the process wrote itself, whatever else runs on the machine
    // (Private_Clean counts the pages of libraries that no other process maps at the moment).
    static qint64 privateDirtyKb(qint64 pid) { return smapsKb(pid, {"Private_Dirty:"}); }

    static qint64 smapsKb(qint64 pid, const QList<QByteArray>& fields) {
        QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!file.open(QIODevice::ReadOnly)) {
            return -1;
        }
        qint64 total = 0;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && fields.contains(line.left(colon + 1))) {
                total += line.mid(colon + 1).trimmed().split(' ').value(0).toLongLong();
            }
        }
        return total;
    }

    // User and system CPU time so far, in clock ticks.
    static qint64 cpuTicks(qint64 pid) {
        QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!file.open(QIODevice::ReadOnly)) {
            return -1;
        }
        const QByteArray stat = file.readAll();
        // Fields after the command name (which may hold spaces): state is field 3, utime 14.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        return fields.value(11).toLongLong() + fields.value(12).toLongLong();
    }

    // Waits until the process has used no CPU for quietMs (at most timeoutMs): it has done what
    // it does on its own.
    static void settle(qint64 pid, int quietMs = 300, int timeoutMs = 10000) {
        QElapsedTimer total;
        total.start();
        qint64 last = cpuTicks(pid);
        QElapsedTimer quiet;
        quiet.start();
        while (quiet.elapsed() < quietMs && total.elapsed() < timeoutMs) {
            QThread::usleep(20000);
            const qint64 now = cpuTicks(pid);
            if (now != last) {
                last = now;
                quiet.restart();
            }
        }
    }
};

inline double median(QList<double> values) {
    if (values.isEmpty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace bench
