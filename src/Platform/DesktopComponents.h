#pragma once

#include <QString>

// The programs that keep a desktop alive: the shell, its panels and docks, the window manager,
// the notification daemon and the session's own helpers. They may show windows, but they are
// never regular applications: a running-application list reports them with another activation
// policy than Regular, and nothing that quits or hides applications may touch them. Identifiers
// are bundle identifiers on one desktop and desktop-file ids (with or without ".desktop") or
// executable paths (known by the program's file name) on the other; the test ignores case.
class DesktopComponents {
public:
    DesktopComponents() = delete;

    static bool isDesktopComponent(const QString& identifier);
};
