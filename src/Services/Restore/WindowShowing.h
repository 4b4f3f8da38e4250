#pragma once

#include "Platform/Accessibility.h"

#include <QList>

#include <qcoro/qcorotask.h>

// Brings windows back from their icons and out of full screen, all asked at once and waited for
// together, so that the waits do not add up window by window. How a window manager shows a
// minimised window of a desktop not shown is the platform's to know: a request to show such a
// window shows it where it is, without switching the desktop.
class WindowShowing {
public:
    WindowShowing() = delete;

    // Shows the minimised windows and takes the full-screen ones out of full screen, waiting for
    // each change (bounded). A window that stays minimised is left so: the caller reads it.
    static QCoro::Task<void> prepareForGeometry(QList<AXElement> windows);
};
