#pragma once

#include "Models/DisplaySnapshot.h"
#include "Platform/Screens.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// Which displays are connected, which current screen stands for a saved display, and how frames
// are converted and kept reachable. Screen frames have their origin at the bottom left of the
// primary (first) screen; window frames at its top left. Every call reads the screens afresh.
class DisplayMapper {
public:
    DisplayMapper() = delete;

    // One record per connected screen that has a display number, in screen-list order.
    static QList<DisplaySnapshot> captureDisplays();
    // The current screen for a saved display identity: the screen with that identity; else the
    // screen nearest to where the saved display was; else the main screen. Without an identity,
    // the screen under the window's centre, else the main screen.
    static std::optional<Screen> findScreen(const std::optional<QString>& displayUUID,
                                            const QList<DisplaySnapshot>& savedDisplays,
                                            const std::optional<QRectF>& windowFrame);
    // A top-left frame cut to the screen's visible size and moved so that at least 100 points of
    // it stay inside the visible area in each direction.
    static QRectF clampToVisibleBounds(const QRectF& frame, const Screen& screen);

    // The identity string of a screen (upper-case, hyphenated UUID); none without a display
    // number or an identity.
    static std::optional<QString> identityString(const Screen& screen);
    // Whether point lies in rect, counting the left and bottom edges in and the right and top
    // edges out, so that a point on the border of two screens belongs to one of them only.
    static bool containsPoint(const QRectF& rect, const QPointF& point);

private:
    static QList<Screen> screens();
    static std::optional<Screen> mainScreen();
    static std::optional<Screen> findScreenByPositionHeuristic(const QList<Screen>& screens,
                                                               const QRectF& savedFrame);
    static std::optional<Screen> findScreenByWindowFrame(const QList<Screen>& screens, const QRectF& frame);
    static QRectF cocoaToCG(const QList<Screen>& screens, const QRectF& frame);
};
