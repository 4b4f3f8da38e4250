#pragma once

#include "Platform/Accessibility.h"

#include <QList>

#include <qcoro/qcorotask.h>

// Brings windows back from their icons and out of full screen, all asked at once and waited for
// together, so that the waits do not add up window by window.
//
// A manager shows a minimised window of a desktop not shown either when asked the usual way, or
// (mutter) only through the desktop shown: brought over, shown and sent straight back in one go,
// which does not switch the desktop. The way that worked is kept for the desktop in use, so that
// on a manager that never honours the usual way only the first such window sits out its wait.
class WindowShowing {
public:
    WindowShowing() = delete;

    // Shows the minimised windows and takes the full-screen ones out of full screen, waiting for
    // each change (bounded). A window that stays minimised is left so: the caller reads it.
    static QCoro::Task<void> prepareForGeometry(QList<AXElement> windows);

    // Whether such windows are shown through the desktop shown straight away, as learnt on the
    // desktop in use.
    static bool showsAwayThroughShownDesktop();

private:
    static void learn(bool throughShownDesktop);
};
