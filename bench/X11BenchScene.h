#pragma once

// The scene the desktop benchmarks that restore and revert arrange: P programs of the test window
// program showing N windows between them, each program an application of its own (started as
// from a desktop entry of its own), the windows arranged over both monitors at places of their
// own, with two desktops every other one on the second.

#include "X11BenchSession.h"
#include "X11BenchWindows.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace bench {

inline constexpr int kMonitorWidth = 1920;

// Asks for what isSo says of each window until all are so (again every two seconds: a loaded
// manager now and then drops a request that comes while it is busy with the window); false when
// they are not all so within a minute.
inline bool arrange(const QList<xcb_window_t>& windows, const std::function<bool(int)>& isSo,
                    const std::function<void(int)>& ask) {
    QElapsedTimer asked;
    asked.start();
    for (int i = 0; i < windows.size(); ++i) {
        ask(i);
    }
    xcb_flush(g_session->xcb());
    return X11BenchSession::waitFor(
        [&] {
            const bool again = asked.elapsed() > 2000;
            bool all = true;
            for (int i = 0; i < windows.size(); ++i) {
                if (!isSo(i)) {
                    all = false;
                    if (again) {
                        ask(i);
                    }
                }
            }
            if (again) {
                xcb_flush(g_session->xcb());
                asked.restart();
            }
            return all;
        },
        60000);
}

class X11BenchScene {
public:
    X11BenchScene() = default;
    X11BenchScene(const X11BenchScene&) = delete;
    X11BenchScene& operator=(const X11BenchScene&) = delete;
    ~X11BenchScene() { end(); }

    // Starts processCount programs showing windowCount windows between them, each from an entry
    // of its own ("<name> Program N", in ordella-<name>-N.desktop). False when an entry cannot be
    // written.
    bool start(const QString& name, int windowCount, int processCount) {
        for (int p = 0; p < processCount; ++p) {
            const int count = windowCount / processCount + (p < windowCount % processCount ? 1 : 0);
            const QString entry = applicationsFolder() + QStringLiteral("/ordella-") + name.toLower() +
                                  QStringLiteral("-") + QString::number(p + 1) + QStringLiteral(".desktop");
            QFile file(entry);
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=%1 Program %2\n")
                               .arg(name, QString::number(p + 1))
                               .toUtf8() +
                           "Exec=" ORDELLA_BINARY_DIR "/programs/ordella-test-window\n") < 0) {
                return false;
            }
            file.close();
            m_entries << entry;
            qputenv("GIO_LAUNCHED_DESKTOP_FILE", QFile::encodeName(entry));
            QProcess* process = g_session->launch(
                QStringLiteral(ORDELLA_BINARY_DIR "/programs/ordella-test-window"),
                {QStringLiteral("--caption"), QStringLiteral("Program ") + QString::number(p + 1),
                 QStringLiteral("--count"), QString::number(count), QStringLiteral("--size"),
                 QStringLiteral("400x300")});
            process->waitForStarted();
            qunsetenv("GIO_LAUNCHED_DESKTOP_FILE");
            m_processes << process;
            m_pids << process->processId();
        }
        return true;
    }

    const QList<qint64>& pids() const { return m_pids; }

    // Where window i of a scene stands, in root coordinates: over both monitors, each at a place of
    // its own.
    static QPoint place(int i) {
        return QPoint((i % 2) * kMonitorWidth + 20 + (i * 53) % 1400, 40 + (i * 31) % 700);
    }
    // The desktop of window i: with two desktops every other window on the second.
    static quint32 desktop(int i, int desktops) { return quint32(desktops > 1 ? (i / 2) % 2 : 0); }

    // Moves the windows to their places and desktops; false when they do not all stand there
    // within a minute.
    static bool arrangeWindows(const QList<xcb_window_t>& windows, int desktops) {
        return arrange(
            windows,
            [&](int i) {
                return frameTopLeft(windows[i]) == place(i) && desktopOf(windows[i]) == desktop(i, desktops);
            },
            [&](int i) {
                moveFrame(windows[i], place(i));
                if (desktop(i, desktops) != 0) {
                    sendRootMessage(windows[i], "_NET_WM_DESKTOP", {desktop(i, desktops), 2, 0, 0, 0});
                }
            });
    }

    // Ends the programs, waits until their windows are gone and removes their entries.
    void end() {
        if (m_processes.isEmpty()) {
            return;
        }
        for (QProcess* process : m_processes) {
            process->terminate();
        }
        X11BenchSession::waitFor([&] { return windowsOf(m_pids).isEmpty(); }, 20000);
        for (const QString& entry : m_entries) {
            QFile::remove(entry);
        }
        m_processes.clear();
        m_pids.clear();
        m_entries.clear();
    }

private:
    QList<QProcess*> m_processes;
    QList<qint64> m_pids;
    QStringList m_entries;
};

} // namespace bench
