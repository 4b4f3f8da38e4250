#pragma once

#include "Models/SnapshotRect.h"

#include <QRectF>

#include <cmath>

// Conversions between the saved rectangle record and Qt's rectangle, which the desktop services
// work with. Neither normalises negative sizes: a rectangle comes back exactly as it went in.
class RectConversion {
public:
    static QRectF toRectF(const SnapshotRect& r) { return QRectF(r.x, r.y, r.width, r.height); }
    static SnapshotRect toSnapshotRect(const QRectF& r) {
        return SnapshotRect{r.x(), r.y(), r.width(), r.height()};
    }
    static bool isFinite(const QRectF& r) {
        return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
               std::isfinite(r.height());
    }
};
