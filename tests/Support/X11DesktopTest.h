#pragma once

#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Linux/LinuxRunningApplications.h"
#include "Platform/Linux/LinuxScreenCapture.h"
#include "Platform/Linux/LinuxScreens.h"
#include "Platform/Linux/LinuxWindowServer.h"
#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11Monitors.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/Platform.h"
#include "Platform/SystemClock.h"
#include "Support/QtPrinters.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

// A test against the real X session of the test fixture (Xvfb, openbox, a session bus), with
// every Linux desktop port built on this program's own connection. Programs a test starts (itself,
// through the ports or through programs it started), the notifications it posts and the monitors
// it sets up are gone again when it ends. Waits poll the real clock in short steps up to a
// deadline, a generous one: the machine may be loaded, and a wait that holds ends at once.
class X11DesktopTest : public ::testing::Test {
protected:
    // How long a wait for the server, a window manager or a program gives it by default.
    static constexpr int kPatienceMs = 30000;

    void SetUp() override;
    void TearDown() override;

    // Makes the production platform (LinuxPlatform) the current one until the test ends; false
    // (with a failure) when it reports a problem.
    bool installProductionPlatform();

    // Starts a program; its pid. The test fails when it cannot be started.
    qint32 start(const QString& program, const QStringList& arguments = {});
    // Whether check() held within timeoutMs.
    bool waitUntil(const std::function<bool()>& check, int timeoutMs = kPatienceMs);
    // The windows of pid once it shows at least count of them (in the manager's list order).
    QList<X11Client> waitForWindows(qint32 pid, int count = 1);
    // The frame of a window as the accessibility port reads it.
    std::optional<QRectF> axFrame(xcb_window_t window);
    // Runs xrandr with arguments and waits for it.
    void xrandr(const QStringList& arguments);
    // Another client of the server grabs the key that types keysym, with the X modifiers, until
    // it lets go or the test ends; whether the server let it.
    bool grabInAnotherClient(quint32 keysym, quint16 modifiers);
    void letOtherClientGo();
    // Opens the session's notification menu (dunstctl context), whose pick is the first entry with
    // the text of the session's dunst-pick file, until invoked() holds; whether it did. A busy
    // dunst may not list a new notification's actions yet when the menu is first opened.
    bool pickFromNotificationMenu(const std::function<bool()>& invoked);

    // The test window program and its desktop entry ("ordella-test-window.desktop") in the test's
    // own data folder, which takes text files as %F; options are added to its command.
    static QString testWindowProgram();
    static QString installTestWindowEntry(const QString& options = QString());
    // The tests' own file manager (ordella-test-file-manager, slow to load folders when asked to
    // be) and its entry, made the desktop's folder handler; the entry's id. The entry may name
    // another program (the test's own, for a file manager the test itself plays on the bus).
    static QString testFileManagerProgram();
    static QString installTestFileManager(const QString& program = testFileManagerProgram());

    SystemClock clock;
    std::shared_ptr<X11Connection> connection;
    std::shared_ptr<X11Windows> windows;
    std::shared_ptr<X11Monitors> monitors;
    std::shared_ptr<LinuxRunningApplications> applications;
    std::shared_ptr<LinuxAccessibility> accessibility;
    std::shared_ptr<LinuxWindowServer> windowServer;
    std::shared_ptr<LinuxScreens> screens;
    std::shared_ptr<LinuxScreenCapture> screenCapture;

private:
    void stopProcesses(const QList<qint32>& pids);
    // The running processes that carry this test's mark in their environment: every program it
    // started, however (the mark is inherited), except those the session bus started for it.
    QList<qint32> markedProcesses() const;
    // Puts back the user's entries and default applications as the test found them: tests of one
    // process share a home folder, and an entry one test installed ("chromium.desktop" starting
    // the test window) would name the programs of the next.
    void restoreEntries();

    QByteArray m_mark;
    QStringList m_entriesBefore;
    std::optional<QByteArray> m_defaultsBefore;
    QList<qint32> m_started;
    xcb_connection_t* m_otherClient = nullptr;
    std::shared_ptr<Platform> m_previousPlatform;
};
