#pragma once

#include "Models/RestoreStatus.h"

#include <QRectF>
#include <QString>

#include <optional>

// The outcome of restoring one saved window.
struct WindowRestoreResult {
    std::optional<QString> windowTitle;
    RestoreStatus status = RestoreStatus::skipped;
    QString reason;
    // The frame that was asked for and the one read back afterwards.
    std::optional<QRectF> requestedFrame;
    std::optional<QRectF> actualFrame;

    bool operator==(const WindowRestoreResult&) const = default;
};
