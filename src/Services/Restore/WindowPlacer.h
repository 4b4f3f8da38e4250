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

// Puts the windows of an application back on their saved desktops and frames, minimised or shown
// as they were: pairs each saved window with a live one, and has WindowPlacement place them all
// at once. The outcome is one result per saved window. A revert places its recorded windows the
// same way, as a restore of the state it recorded.
class WindowPlacer {
public:
    WindowPlacer() = delete;

    // The live window a saved window is placed on, and how the two were paired.
    struct Partner {
        AXElement window;
        WindowMatchQuality quality = WindowMatchQuality::none;
    };
    // Each saved window's live partner (nothing for a window without one): the matcher's pair,
    // which never takes a window whose clues speak against the saved one. Pairs are one to one.
    static QList<std::optional<Partner>> pairWindows(const RunningApplication& app,
                                                     const QList<WindowSnapshot>& snapshots,
                                                     const WindowMatcher::Bystanders& bystanders = {});

    // One result per saved window, in their order, each saying what was done to its window. A
    // window that is not among
    // the bystanders' windowsBefore (the application's windows before the restore touched it,
    // where known) was started by the restore; one among minimisedBefore (those of them minimised
    // then) that is not minimised now, and not saved minimised, was shown by it. readAtRest, where
    // given, holds the windows an earlier attempt of the same restore read at rest already: they
    // are not read again, and those read now are added.
    static QCoro::Task<QList<WindowRestoreResult>>
    restoreWindowPositions(RunningApplication app, QList<WindowSnapshot> snapshots,
                           QList<DisplaySnapshot> savedDisplays, WindowMatcher::Bystanders bystanders = {},
                           QSet<AXElement> minimisedBefore = {},
                           std::shared_ptr<QSet<AXElement>> readAtRest = nullptr);
    // For an application that shows only a splash or other transient window: waits up to 40
    // seconds for a real window and then places the windows once more (once only), under the same
    // bystanders as the first pass.
    static QCoro::Task<QList<WindowRestoreResult>>
    waitForRealWindowAndRetry(RunningApplication app, QList<WindowSnapshot> snapshots,
                              QList<DisplaySnapshot> savedDisplays,
                              WindowMatcher::Bystanders bystanders = {});
    // The saved windows of one application.
    struct Application {
        RunningApplication app;
        QList<WindowSnapshot> snapshots;
    };
    // The windows of several applications placed at once, each saved window paired by the
    // matcher with a window of its own application, and placed as a restore places them (without
    // the terminal's or a splash screen's wait, and without bystanders): one list of results per
    // application, in their order. No application may be listed twice: a window is placed for
    // one saved window only.
    static QCoro::Task<QList<QList<WindowRestoreResult>>> placeTogether(QList<Application> applications,
                                                                        QList<DisplaySnapshot> savedDisplays);
    // Brings a minimised window back and takes a full-screen one out of full screen, waiting for
    // each change, so that its frame can be set. A minimised window of a desktop not shown is
    // shown there, as the platform knows how, without switching the desktop.
    static QCoro::Task<void> prepareWindowForGeometry(AXElement window);
    // Whether every window saved shown now has a live window (paired by frame alone) within 50
    // points of its target; windows saved minimised are judged by their read-back, not here.
    static bool verifyWindowPositionsWithMatcher(const RunningApplication& app,
                                                 const QList<WindowSnapshot>& snapshots,
                                                 const QList<DisplaySnapshot>& savedDisplays);

private:
    static QCoro::Task<QList<WindowRestoreResult>>
    placeWindows(RunningApplication app, QList<WindowSnapshot> snapshots,
                 QList<DisplaySnapshot> savedDisplays, bool mayWaitForRealWindow,
                 WindowMatcher::Bystanders bystanders, QSet<AXElement> minimisedBefore,
                 std::shared_ptr<QSet<AXElement>> readAtRest);
};
