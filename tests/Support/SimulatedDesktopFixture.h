#pragma once

#include "Platform/Simulated/SimulatedDesktop.h"
#include "Platform/Simulated/SimulatedPrompts.h"
#include "Support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>

// A test on a simulated desktop in virtual time: installs a TestPlatform whose accessibility,
// workspace, window-server, screens and prompts ports are those of a fresh, empty
// SimulatedDesktop. Tests build their scene with the desktop's methods or loadScene().
class SimulatedDesktopFixture : public ::testing::Test {
protected:
    SimulatedDesktopFixture();
    ~SimulatedDesktopFixture() override;

    SimulatedDesktop& desktop() { return *m_desktop; }
    SimulatedPrompts& prompts() { return m_desktop->prompts(); }
    VirtualClock& clock() { return m_platform.clock(); }
    Platform& platform() { return m_platform.platform(); }

    // Loads a scene file; fails the test when it cannot be loaded.
    void loadScene(const QString& path);
    // One screen of width x height with its identity and display number 1.
    void addScreen(double width = 1440, double height = 900);
    // A running regular application with one window per frame, in list order, behind every window
    // there already is.
    qint32 addApp(const QString& bundleIdentifier, const QList<QRectF>& frames = {},
                  const QStringList& titles = {});

private:
    TestPlatform m_platform;
    std::shared_ptr<SimulatedDesktop> m_desktop;
};
