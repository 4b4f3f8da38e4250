#pragma once

#include <QtGui/qwindowdefs.h>

// A window that drops from the tray like a panel: it is no task of its own, so task bars and pagers
// leave it out (_NET_WM_STATE_SKIP_TASKBAR, _NET_WM_STATE_SKIP_PAGER), and it is a utility window
// kept above the others (_NET_WM_WINDOW_TYPE_UTILITY, _NET_WM_STATE_ABOVE), which window managers
// keep above and, being frameless, leave undecorated. Window managers drop a window's state when it
// is withdrawn, so it is set again before every show, while the window is unmapped (Qt keeps what
// it finds there when it adds its own states). Nothing happens without an X display.
class X11PanelWindow {
public:
    X11PanelWindow() = delete;

    static void markBeforeShow(WId window);
};
