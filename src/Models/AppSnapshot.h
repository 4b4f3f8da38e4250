#pragma once

#include "Models/WindowSnapshot.h"

#include <QList>
#include <QString>
#include <QUuid>

// One saved application with its windows.
struct AppSnapshot {
    QUuid id;
    QString bundleIdentifier;
    QString appName;
    QList<WindowSnapshot> windowSnapshots;
    bool isHidden = false;

    bool operator==(const AppSnapshot&) const = default;
};
