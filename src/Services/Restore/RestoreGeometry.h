#pragma once

#include "Models/DisplaySnapshot.h"
#include "Models/WindowSnapshot.h"
#include "Platform/Screens.h"

#include <QList>
#include <QRectF>

#include <optional>

// Where a saved window belongs on today's screens, and when a live frame counts as being there.
class RestoreGeometry {
public:
    RestoreGeometry() = delete;

    // Each of x, y, width and height may be off by this much (inclusive).
    static constexpr double tolerance = 50.0;

    static bool withinTolerance(const QRectF& live, const QRectF& target);
    // The sum of the four absolute differences.
    static double delta(const QRectF& live, const QRectF& target);
    // The screen the saved window belongs on: its saved display's screen (or the one standing in
    // for it), else the main screen, else the first screen; nothing without any screen.
    static std::optional<Screen> targetScreen(const WindowSnapshot& window,
                                              const QList<DisplaySnapshot>& savedDisplays);
    // The saved frame kept within the screen's visible area.
    static QRectF targetFrame(const WindowSnapshot& window, const Screen& screen);
};
