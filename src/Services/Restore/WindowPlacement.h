#pragma once

#include "Models/DisplaySnapshot.h"
#include "Models/WindowRestoreResult.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Services/Desktop/WindowMatcher.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QSet>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>
#include <utility>

// Puts live windows, each paired with the saved window it stands for, on their saved desktops,
// frames and states. Every step is asked of all the windows at once and waited for together, so
// that no wait adds up window by window: a window kept minimised is minimised where it stands
// before it goes anywhere (never shown on the way), each window goes to its desktop, those saved
// shown are shown and read at rest once back from their icons; then those saved minimised are put
// on their frames, and the others moved with read-back and retries. What an outcome says moved is
// measured from where each window stood before, at rest.
class WindowPlacement {
public:
    WindowPlacement() = delete;

    // A saved window and the live window it is placed on.
    struct Paired {
        AXElement window;
        WindowSnapshot snapshot;
        WindowMatchQuality quality = WindowMatchQuality::indexFallback;
        // Minimised before an earlier step of the restore showed it: it may still be drawn back
        // from its icon.
        bool shownEarlier = false;
    };
    // The outcome of each window, by window (the pairs are one to one). readAtRest, where given,
    // holds the windows an earlier attempt of the same restore read at rest already: they are not
    // read again, and those read now are added.
    static QCoro::Task<QHash<AXElement, WindowRestoreResult>>
    place(QList<Paired> windows, QList<DisplaySnapshot> savedDisplays,
          std::shared_ptr<QSet<AXElement>> readAtRest = nullptr);

    // Puts each window on its saved virtual desktop (the one shown when none was saved), all
    // asked at once, and waits until the manager shows each there.
    static QCoro::Task<void> returnToDesktops(QList<std::pair<AXElement, std::optional<qint64>>> windows);
    // Where a window stands, as read: its frame and its virtual desktop, each when it can be read.
    struct Whereabouts {
        std::optional<QRectF> frame;
        std::optional<qint64> desktop;

        static Whereabouts of(AXElement window);
    };
    // Whether a window was moved between two readings: to another desktop, or to another frame. A
    // window whose first frame could not be read counts as moved once it reads back on the frame
    // it was asked to take.
    static bool wasMoved(const Whereabouts& before, const Whereabouts& after,
                         const std::optional<QRectF>& asked);
    // The frames of windows just shown again, read together, each until it has come to rest: a
    // manager may draw a window coming back from its icon over a few frames.
    static QCoro::Task<QHash<AXElement, std::optional<QRectF>>> framesAtRest(QList<AXElement> windows);

private:
    // A window saved minimised; before is where it stood before the restore touched it.
    struct Minimising {
        AXElement window;
        WindowSnapshot snapshot;
        Whereabouts before;
        bool wasMinimized = false;
        // Asked to minimise where it stood, and not minimised in time: not asked or waited for
        // again.
        bool givenUp = false;
    };
    // The frame a saved window is placed on: its saved frame mapped onto today's screens.
    static QRectF targetOf(const WindowSnapshot& snapshot, const QList<DisplaySnapshot>& savedDisplays);
    // Minimises each where it stands, waits until it is down, sends it to its desktop and puts it
    // on its frame; the outcome of each.
    static QCoro::Task<QHash<AXElement, WindowRestoreResult>>
    keepMinimised(QList<Minimising> windows, QList<DisplaySnapshot> savedDisplays);
    // Minimises each of toMinimise where it stands and waits until each reads minimised with its
    // frame back where it stood or standing still, and each of drawn (minimised already) until its
    // frame stands still. Those found so (the drawn ones in any case), with their frames at rest;
    // a window whose request was refused is not waited for.
    static QCoro::Task<QHash<AXElement, std::optional<QRectF>>> bringDown(QList<AXElement> toMinimise,
                                                                          QList<AXElement> drawn);
    // Puts each on its frame and minimises it where it is not minimised yet, all at once; the
    // outcome of each.
    static QCoro::Task<QHash<AXElement, WindowRestoreResult>>
    placeMinimised(QList<Minimising> windows, QList<DisplaySnapshot> savedDisplays);
    // A window saved shown, already on its desktop and shown where it can be; before is where it
    // stood before the restore touched it (its frame at rest when it was shown again).
    struct Showing {
        AXElement window;
        WindowSnapshot snapshot;
        WindowMatchQuality quality = WindowMatchQuality::indexFallback;
        Whereabouts before;
        bool wasMinimized = false;
        // Shown again by this restore (by this step or an earlier one): not raised with its move.
        bool shownAgain = false;
    };
    // Puts each on its frame, all at once, and reads them back together; the outcome of each.
    static QCoro::Task<QHash<AXElement, WindowRestoreResult>>
    placeShown(QList<Showing> windows, QList<DisplaySnapshot> savedDisplays);
};
