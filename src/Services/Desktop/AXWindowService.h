#pragma once

#include "Models/WindowSnapshot.h"
#include "Platform/Accessibility.h"
#include "Platform/RunningApplications.h"

#include <QList>
#include <QRectF>
#include <QStringList>

#include <optional>

// Reads and changes the windows of other applications through the accessibility interface. Frames
// are global, origin at the top left of the primary display. Nothing here fails loudly: every
// operation answers with a value, an optional, an empty list or a success flag, and prints a
// diagnostic where a write went wrong. A window index is a position in the application's full
// "AXWindows" list.
class AXWindowService {
public:
    AXWindowService() = delete;

    static std::optional<QList<AXElement>> axWindowList(const RunningApplication& app);
    static std::optional<QRectF> windowFrame(AXElement window);
    static bool isMinimized(AXElement window);
    static bool isFullScreen(AXElement window);
    // Asks for the windows in one go where the platform can: reads of them that follow at once
    // cost no wait for the window server each.
    static void readTogether(const QList<AXElement>& windows);
    // The windows will be read together after a short pause: asked for now where the platform can.
    static void readAhead(const QList<AXElement>& windows);
    // Whether every window, read together, now stands on a frame other than the one given beside
    // it (any frame at all where none is given).
    static bool allMovedFrom(const QList<std::pair<AXElement, std::optional<QRectF>>>& windows);

    // The application's windows of at least 50 x 50 points as records, in window-list order,
    // each keeping its true window index.
    static QList<WindowSnapshot> captureWindows(const RunningApplication& app);

    // Writes the position, then the size (both always attempted); true when both were taken.
    static bool setWindowFrame(AXElement window, const QRectF& frame);
    // Makes the window at windowIndex main and focused, raises it and sets its frame.
    static bool restoreWindow(const RunningApplication& app, qint64 windowIndex, const QRectF& frame);
    // The same for a window already taken from the list.
    static bool restoreWindow(AXElement window, const QRectF& frame);
    static void raiseWindow(const RunningApplication& app, qint64 windowIndex);

    // Frames of the windows whose frame can be read (positions here are not window indexes).
    static QList<QRectF> currentWindowFrames(const RunningApplication& app);
    // One title per window ("" when a window has none); positions are window indexes.
    static QStringList currentWindowTitles(const RunningApplication& app);
    // Whether the application shows windows but none of them is a standard window.
    static bool hasOnlyTransientWindows(const RunningApplication& app);
    // The documents of the windows that have one (positions here are not window indexes).
    static QStringList currentDocumentURLs(const RunningApplication& app);

    static bool minimize(AXElement window);
    static bool deminimize(AXElement window);
    static bool exitFullScreen(AXElement window);

private:
    static std::optional<AXElement> axApplication(const RunningApplication& app);
    static std::optional<QString> displayUUIDForWindow(const QRectF& frame);
    static bool writeFlag(AXElement window, const QString& attribute, bool value, const QString& operation);
};
