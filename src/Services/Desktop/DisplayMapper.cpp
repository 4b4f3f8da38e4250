#include "Services/Desktop/DisplayMapper.h"

#include "Extensions/RectConversion.h"
#include "Platform/Platform.h"

#include <QUuid>

#include <cmath>
#include <limits>

namespace {

// The one flip between the two conventions; it is its own inverse.
QRectF flip(const QRectF& r, double primaryHeight) {
    return QRectF(r.x(), primaryHeight - r.y() - r.height(), r.width(), r.height());
}

} // namespace

QList<Screen> DisplayMapper::screens() {
    const auto& port = Platform::current().screens;
    return port ? port->screens() : QList<Screen>();
}

std::optional<Screen> DisplayMapper::mainScreen() {
    const auto& port = Platform::current().screens;
    return port ? port->mainScreen() : std::nullopt;
}

std::optional<QString> DisplayMapper::identityString(const Screen& screen) {
    if (!screen.displayNumber || !screen.identity || screen.identity->isNull()) {
        return std::nullopt;
    }
    return screen.identity->toString(QUuid::WithoutBraces).toUpper();
}

bool DisplayMapper::containsPoint(const QRectF& rect, const QPointF& point) {
    const QRectF r = rect.normalized();
    return point.x() >= r.left() && point.x() < r.right() && point.y() >= r.top() && point.y() < r.bottom();
}

QList<DisplaySnapshot> DisplayMapper::captureDisplays() {
    QList<DisplaySnapshot> result;
    for (const Screen& screen : screens()) {
        if (!screen.displayNumber) {
            continue;
        }
        DisplaySnapshot display;
        display.id = QUuid::createUuid();
        display.displayID = *screen.displayNumber;
        display.uuid = identityString(screen);
        display.frame = RectConversion::toSnapshotRect(screen.frame);
        display.localizedName = screen.localizedName;
        result.append(display);
    }
    return result;
}

std::optional<Screen> DisplayMapper::findScreenByPositionHeuristic(const QList<Screen>& screens,
                                                                   const QRectF& savedFrame) {
    const QPointF centre = savedFrame.center();
    std::optional<Screen> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (const Screen& screen : screens) {
        const QPointF d = screen.frame.center() - centre;
        const double distance = std::hypot(d.x(), d.y());
        // Strictly smaller only: the earlier screen wins a tie.
        if (!best || distance < bestDistance) {
            best = screen;
            bestDistance = distance;
        }
    }
    return best;
}

std::optional<Screen> DisplayMapper::findScreenByWindowFrame(const QList<Screen>& screens,
                                                             const QRectF& frame) {
    if (screens.isEmpty()) {
        return std::nullopt;
    }
    const double h = screens.first().frame.height();
    const QPointF probe(frame.center().x(), h - frame.center().y());
    for (const Screen& screen : screens) {
        if (containsPoint(screen.frame, probe)) {
            return screen;
        }
    }
    return findScreenByPositionHeuristic(screens, flip(frame, h));
}

std::optional<Screen> DisplayMapper::findScreen(const std::optional<QString>& displayUUID,
                                                const QList<DisplaySnapshot>& savedDisplays,
                                                const std::optional<QRectF>& windowFrame) {
    const QList<Screen> current = screens();
    if (!displayUUID) {
        if (windowFrame) {
            if (auto screen = findScreenByWindowFrame(current, *windowFrame)) {
                return screen;
            }
        }
        return mainScreen();
    }
    for (const Screen& screen : current) {
        if (identityString(screen) == *displayUUID) {
            return screen;
        }
    }
    for (const DisplaySnapshot& saved : savedDisplays) {
        if (saved.uuid == *displayUUID) {
            return findScreenByPositionHeuristic(current, RectConversion::toRectF(saved.frame));
        }
    }
    return mainScreen();
}

QRectF DisplayMapper::cocoaToCG(const QList<Screen>& screens, const QRectF& frame) {
    if (screens.isEmpty()) {
        return frame;
    }
    return flip(frame, screens.first().frame.height());
}

QRectF DisplayMapper::clampToVisibleBounds(const QRectF& frame, const Screen& screen) {
    const QRectF v = cocoaToCG(screens(), screen.visibleFrame);
    const double w = std::min(v.width(), frame.width());
    const double h = std::min(v.height(), frame.height());
    double x = frame.x();
    if (x + w < v.left() + 100) {
        x = v.left();
    }
    if (x > v.right() - 100) {
        x = v.right() - w;
    }
    double y = frame.y();
    if (y + h < v.top() + 100) {
        y = v.top();
    }
    if (y > v.bottom() - 100) {
        y = v.bottom() - h;
    }
    return QRectF(x, y, w, h);
}
