#pragma once

#include "Models/WindowSnapshot.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <algorithm>

// One saved application with its windows.
struct AppSnapshot {
    QUuid id;
    QString bundleIdentifier;
    QString appName;
    QList<WindowSnapshot> windowSnapshots;
    bool isHidden = false;

    // At least one window shows a document.
    bool hasDocumentWindows() const {
        return std::any_of(windowSnapshots.begin(), windowSnapshots.end(),
                           [](const WindowSnapshot& w) { return w.hasDocument(); });
    }

    bool operator==(const AppSnapshot&) const = default;
};
