#pragma once

#include <xcb/xcb.h>

#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

#include <optional>

// One window the window manager manages, as read in one go. Geometry is in root coordinates.
struct X11Client {
    enum class Type { Normal, Dialog, Utility, Toolbar, Menu, Splash, Dock, Desktop, Notification };

    xcb_window_t window = XCB_WINDOW_NONE;
    // The top-level window that holds it (the manager's frame), the unit of stacking.
    xcb_window_t frame = XCB_WINDOW_NONE;
    std::optional<qint32> pid;
    std::optional<QString> title;
    QString wmInstance;
    QString wmClass;
    Type type = Type::Normal;
    bool transient = false;
    bool skipTaskbar = false;
    // Minimised by the user or a program, on whichever desktop it is: see minimizedOn.
    bool minimized = false;
    // What the manager says of it: WM_STATE Iconic, and _NET_WM_STATE_HIDDEN.
    bool iconic = false;
    bool hiddenState = false;
    bool fullScreen = false;
    bool above = false;
    // Marked urgent (a taskbar flashes it).
    bool demandsAttention = false;
    // Drawn on screen now: mapped, with every ancestor mapped.
    bool viewable = false;
    // The virtual desktop it is on; 0xFFFFFFFF for every desktop, nothing when the manager says not.
    std::optional<quint32> desktop;
    QRect clientRect;
    // Left, top, right and bottom decoration the manager adds around the client.
    QMargins extents;
    // Space reserved at the root window's edges (the extended strut's 12 values, or the simple
    // strut's 4 followed by zeros); empty when the window reserves none.
    QList<quint32> strut;

    QRect frameRect() const { return clientRect.marginsAdded(extents); }
    // Whether it is drawn now: shown (not minimised) and on the current virtual desktop (or on all).
    bool isOnScreen(std::optional<quint32> currentDesktop) const;
    // Whether it is on the current virtual desktop, or on all; a window that says nothing of its
    // desktop, or a manager without desktops, counts as on it.
    bool isOnDesktop(std::optional<quint32> currentDesktop) const;
    // Whether it is minimised, read from what the manager says when the current desktop is the one
    // given. On the desktop shown, WM_STATE tells (a stale HIDDEN may stay behind a window shown
    // again). On a desktop not shown, some managers mark every window Iconic, minimised or not,
    // while each sets HIDDEN on minimised windows only: HIDDEN tells.
    bool minimizedOn(std::optional<quint32> currentDesktop) const;
};
