#pragma once

#include "Models/WindowRestoreResult.h"

#include <QList>
#include <QString>

// The outcome of restoring one application and its windows.
struct AppRestoreResult {
    QString bundleIdentifier;
    QString appName;
    RestoreStatus status = RestoreStatus::skipped;
    QString reason;
    QList<WindowRestoreResult> windowResults;

    bool operator==(const AppRestoreResult&) const = default;
};
