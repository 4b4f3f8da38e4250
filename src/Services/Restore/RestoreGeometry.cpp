#include "Services/Restore/RestoreGeometry.h"

#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"
#include "Services/Desktop/DisplayMapper.h"

#include <cmath>

bool RestoreGeometry::withinTolerance(const QRectF& live, const QRectF& target) {
    return std::abs(live.x() - target.x()) <= tolerance && std::abs(live.y() - target.y()) <= tolerance &&
           std::abs(live.width() - target.width()) <= tolerance &&
           std::abs(live.height() - target.height()) <= tolerance;
}

double RestoreGeometry::delta(const QRectF& live, const QRectF& target) {
    return std::abs(live.x() - target.x()) + std::abs(live.y() - target.y()) +
           std::abs(live.width() - target.width()) + std::abs(live.height() - target.height());
}

std::optional<Screen> RestoreGeometry::targetScreen(const WindowSnapshot& window,
                                                    const QList<DisplaySnapshot>& savedDisplays) {
    if (auto screen = DisplayMapper::findScreen(window.displayUUID, savedDisplays,
                                                RectConversion::toRectF(window.frame))) {
        return screen;
    }
    const std::shared_ptr<Screens> screens = Platform::current().screens;
    if (!screens) {
        return std::nullopt;
    }
    if (auto main = screens->mainScreen()) {
        return main;
    }
    const QList<Screen> all = screens->screens();
    return all.isEmpty() ? std::nullopt : std::optional<Screen>(all.first());
}

QRectF RestoreGeometry::targetFrame(const WindowSnapshot& window, const Screen& screen) {
    return DisplayMapper::clampToVisibleBounds(RectConversion::toRectF(window.frame), screen);
}
