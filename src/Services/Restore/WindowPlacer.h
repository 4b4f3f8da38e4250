#pragma once

#include "Models/DisplaySnapshot.h"
#include "Models/WindowRestoreResult.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"
#include "Services/Desktop/WindowMatcher.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QSet>
#include <QString>

#include <qcoro/qcorotask.h>

#include <memory>
#include <optional>

// Puts the windows of one application back on their saved frames: pairs each saved window with
// a live one, maps the frame onto today's screens, and leaves the window alone, minimises it again
// or moves it with read-back and retries. The outcome is one result per saved window.
class WindowPlacer {
public:
    WindowPlacer() = delete;

    // The live window a saved window is placed on, and how the two were paired.
    struct Partner {
        AXElement window;
        WindowMatchQuality quality = WindowMatchQuality::none;
    };
    // Each saved window's live partner (nothing for a window without one): the matcher's pair
    // (with useMatcher, which never takes a window whose clues speak against the saved one), else
    // the live window at its saved index unless another saved window took it already. Pairs are
    // one to one.
    static QList<std::optional<Partner>> pairWindows(const RunningApplication& app,
                                                     const QList<WindowSnapshot>& snapshots, bool useMatcher,
                                                     const WindowMatcher::Bystanders& bystanders = {});

    // One result per saved window, in their order, each saying what was done to its window. With
    // useMatcher false, windows are paired by their saved index alone. A window that is not among
    // the bystanders' windowsBefore (the application's windows before the restore touched it,
    // where known) was started by the restore; one among minimisedBefore (those of them minimised
    // then) that is not minimised now, and not saved minimised, was shown by it. readAtRest, where
    // given, holds the windows an earlier attempt of the same restore read at rest already: they
    // are not read again, and those read now are added.
    static QCoro::Task<QList<WindowRestoreResult>>
    restoreWindowPositions(RunningApplication app, QList<WindowSnapshot> snapshots,
                           QList<DisplaySnapshot> savedDisplays, bool useMatcher,
                           WindowMatcher::Bystanders bystanders = {}, QSet<AXElement> minimisedBefore = {},
                           std::shared_ptr<QSet<AXElement>> readAtRest = nullptr);
    // For an application that shows only a splash or other transient window: waits up to 40
    // seconds for a real window and then places the windows once more (once only), under the same
    // bystanders as the first pass.
    static QCoro::Task<QList<WindowRestoreResult>>
    waitForRealWindowAndRetry(RunningApplication app, QList<WindowSnapshot> snapshots,
                              QList<DisplaySnapshot> savedDisplays,
                              WindowMatcher::Bystanders bystanders = {});
    // Brings a minimised window back and takes a full-screen one out of full screen, waiting for
    // each change, so that its frame can be set. A minimised window of a desktop not shown that a
    // manager does not show there is shown through the desktop shown, which does not switch.
    static QCoro::Task<void> prepareWindowForGeometry(AXElement window);
    // Puts the window on its saved virtual desktop (the one shown when none was saved), and waits
    // until the manager shows it there.
    static QCoro::Task<void> returnToDesktop(AXElement window, std::optional<qint64> desktop);
    // The same for several windows: all asked at once and waited for together.
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
    // The frame of a window just shown again, once it has come to rest: a manager may draw it
    // coming back from its icon over a few frames.
    static QCoro::Task<std::optional<QRectF>> frameAtRest(AXElement window);
    // The frames of several such windows, read together, each until it has come to rest.
    static QCoro::Task<QHash<AXElement, std::optional<QRectF>>> framesAtRest(QList<AXElement> windows);
    // Whether every window saved shown now has a live window (paired by frame alone) within 50
    // points of its target; windows saved minimised are judged by their read-back, not here.
    static bool verifyWindowPositionsWithMatcher(const RunningApplication& app,
                                                 const QList<WindowSnapshot>& snapshots,
                                                 const QList<DisplaySnapshot>& savedDisplays);

private:
    static QCoro::Task<QList<WindowRestoreResult>>
    placeWindows(RunningApplication app, QList<WindowSnapshot> snapshots,
                 QList<DisplaySnapshot> savedDisplays, bool useMatcher, bool mayWaitForRealWindow,
                 WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore,
                 std::shared_ptr<QSet<AXElement>> readAtRest);
    // A window saved minimised, already on its desktop; before is where it stood before the
    // restore touched it.
    struct Minimising {
        AXElement window;
        WindowSnapshot snapshot;
        Whereabouts before;
        bool wasMinimized = false;
    };
    // Puts each on its frame and minimises it again, all at once; the outcome of each.
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
    };
    // Puts each on its frame, all at once, and reads them back together; the outcome of each.
    static QCoro::Task<QHash<AXElement, WindowRestoreResult>>
    placeShown(QList<Showing> windows, QList<DisplaySnapshot> savedDisplays);
};
