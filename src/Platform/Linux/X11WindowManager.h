#pragma once

#include "Platform/Linux/X11Connection.h"

#include <QString>

// The window manager that runs on one X11 connection: whether it offers what reading, moving and
// stacking windows needs, and the habits it is known by. Its name is read once per manager (a
// manager that replaces another brings a new check window), so what is known of one desktop's
// manager is never taken for another's: each connection to a desktop has its own.
class X11WindowManager {
public:
    explicit X11WindowManager(X11Connection& connection);

    // What is missing for windows to be listed, moved and stacked, for a message to the user;
    // empty when nothing is. Asks the server on each call.
    QString missingSupport();
    // The manager's own name (_NET_WM_NAME of its check window); empty when none runs.
    QString name();

    // Whether it activates a window of a desktop not shown that is mapped while no window holds
    // the focus, which switches the desktop (KWin): such a window is mapped on the desktop shown
    // and sent straight back, in one go.
    bool mapActivatesAway();
    // Whether it shows a minimised window of a desktop not shown only when the window is
    // activated, which switches the desktop (mutter, and GNOME's shell built on it): a plain map
    // request or taking the hidden state away leaves it minimised. Brought to the desktop shown,
    // activated and sent straight back, in one go, the window comes up on its own desktop.
    bool showsAwayOnlyWhenActivated();
    // Whether it raises a window on another program's stacking request (openbox, xfwm4, fluxbox).
    // Others (mutter, KWin, and any not known) raise it only when it is activated; an activation
    // of each window raised keeps a manager that takes raises busy for nothing: on a loaded
    // machine, a few hundred of them hold it back for seconds from drawing the windows shown
    // again back from their icons.
    bool takesRaises();
    // Whether it takes a stacking request for a window of a desktop not shown for an activation
    // that brings the window over to the desktop shown (xfwm4), where it shows until it is sent
    // back. A request to lower a window there is carried out where it stands.
    bool bringsRaisedWindowsOver();

private:
    // Reads the manager's name when no manager was seen yet.
    void know();

    X11Connection& m_connection;
    // The manager's check window, as last seen, and the name it gave.
    xcb_window_t m_checkWindow = XCB_WINDOW_NONE;
    QString m_name;
};
