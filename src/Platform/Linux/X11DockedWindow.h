#pragma once

#include <QRect>
#include <QtGui/qwindowdefs.h>

#include <optional>

// A window a system tray holds (a tray icon): where it stands on the screen, as the X server says.
// A tray takes an icon in by making it a child of one of its own windows; until then the icon is a
// window of the root, whose place means nothing (a program's own idea of it is the corner 0,0), so
// it has none. Nothing without an X display either.
class X11DockedWindow {
public:
    X11DockedWindow() = delete;

    // The window's rectangle in the root window's coordinates while a tray holds it.
    static std::optional<QRect> geometry(WId window);
};
