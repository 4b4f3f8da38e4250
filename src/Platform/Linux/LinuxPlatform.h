#pragma once

#include "Platform/Platform.h"

#include <QString>

#include <memory>

// The one place where Ordella's production platform is put together on Linux: the real clock,
// system information, login items, notifications through the desktop's notification server and,
// in an X11 session with an EWMH window manager, the desktop ports (windows, applications, window
// list, screens, window pictures, global shortcuts) and the script host that answers the browser
// and file-manager scripts from the real browsers and file manager. Alerts and panels belong to
// the user interface, which sets them.
class LinuxPlatform {
public:
    LinuxPlatform() = delete;

    struct Assembly {
        std::shared_ptr<Platform> platform;
        // What keeps the desktop ports from working, for the user; empty when nothing does.
        QString problem;
    };

    // Needs the QGuiApplication to exist. Every part waits on clock (a system clock when none is
    // given), so whoever measures the waits sees all of them.
    static Assembly create(std::shared_ptr<Clock> clock = nullptr);
    // The screens of the X11 desktop alone, for Ordella's own windows while the other ports are
    // simulated (the demo); nothing outside an X11 session. Needs the QGuiApplication to exist.
    static std::shared_ptr<Screens> createScreens();
};
