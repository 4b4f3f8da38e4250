#pragma once

#include "Models/RestoreStatus.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

// How a restore found or left a window, where that says more than its status: the texts made for
// people tell these in words of their own.
enum class WindowFinding {
    none,
    // On its saved frame: found there, or placed and read back there.
    inPlace,
    // Its application kept a frame of its own, near the saved one.
    keptOwnFrame,
    // Minimised, as it was saved.
    minimised,
};

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
    // What the reason says in words of its own (none once the reason tells something else).
    WindowFinding finding = WindowFinding::none;
    // A browser window back with every saved tab, only in the browser's default profile because its
    // own was refused, and placed: it counts as back.
    bool backInDefaultProfile = false;
    // A browser window placed and shown whose tabs cannot be read (the browser records none of its
    // windows): it counts as back, and its reason says what cannot be told.
    bool tabsUnread = false;

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
