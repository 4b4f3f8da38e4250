#pragma once

#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/SimulatedPrompts.h"
#include "Platform/Simulated/SimulatedScriptHost.h"
#include "Support/TestPlatform.h"

#include <QStringList>

#include <gtest/gtest.h>

// A test platform in virtual time with a fresh, empty simulated desktop and its script host
// installed, plus helpers to build a scene on it. One per test.
class ScriptedDesktop {
public:
    ScriptedDesktop();

    VirtualClock& clock() { return m_platform.clock(); }
    Platform& platform() { return m_platform.platform(); }
    SimulatedDesktop& desktop() { return m_desktop; }
    SimulatedScriptHost& host() { return m_host; }
    SimulatedPrompts& prompts() { return m_desktop.prompts(); }

    // Loads a scene file; fails the test when it cannot be loaded.
    void loadScene(const QString& path);
    // One screen of width x height with its identity and display number 1.
    void addScreen(double width = 1440, double height = 900);
    // A running application; its pid.
    qint32 addApp(const QString& bundleIdentifier, const QString& name);
    // A running application named after the last part of its identifier, with one window per frame
    // in list order, behind every window there already is.
    qint32 addApp(const QString& bundleIdentifier, const QList<QRectF>& frames = {},
                  const QStringList& titles = {});
    // A window at the front of the stacking order; its number.
    quint32 addWindow(qint32 pid, const QRectF& frame, const QString& title = QString());
    // A browser window with these URLs, the active one marked with a trailing "*".
    quint32 addBrowserWindow(qint32 pid, const QStringList& urls,
                             const QRectF& frame = QRectF(50, 50, 900, 700));
    // The application's windows front to back, each as its URLs ("*" after the active one).
    QList<QStringList> browserWindows(qint32 pid);
    // The application's windows, front to back.
    QList<quint32> windowsFrontToBack(qint32 pid);

private:
    TestPlatform m_platform;
    SimulatedDesktop m_desktop;
    SimulatedScriptHost m_host;
};

// The same as a GoogleTest fixture.
class SimulatedDesktopFixture : public ::testing::Test, public ScriptedDesktop {};
