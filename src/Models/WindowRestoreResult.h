#pragma once

#include "Models/RestoreStatus.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

// The outcome of restoring one saved window.
struct WindowRestoreResult {
    std::optional<QString> windowTitle;
    RestoreStatus status = RestoreStatus::skipped;
    QString reason;
    // The frame that was asked for and the one read back afterwards.
    std::optional<QRectF> requestedFrame;
    std::optional<QRectF> actualFrame;
    // What the restore did to the window over all its attempts, each at most once and in this
    // order: "started" (the restore opened it), "shown" (it was minimised), "moved", "minimised".
    // Empty when the window was left as it was.
    QStringList actions{};

    // Adds what another attempt did.
    void addActions(const QStringList& more) {
        static const QStringList order{QStringLiteral("started"), QStringLiteral("shown"),
                                       QStringLiteral("moved"), QStringLiteral("minimised")};
        QStringList all;
        for (const QString& action : order) {
            if (actions.contains(action) || more.contains(action)) {
                all.append(action);
            }
        }
        actions = all;
    }

    bool operator==(const WindowRestoreResult&) const = default;
};
