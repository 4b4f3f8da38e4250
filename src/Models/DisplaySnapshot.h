#pragma once

#include "Models/SnapshotRect.h"

#include <QString>
#include <QUuid>

#include <optional>

// One display connected at capture. frame has its origin at the bottom left.
struct DisplaySnapshot {
    QUuid id;
    quint32 displayID = 0;
    std::optional<QString> uuid;
    SnapshotRect frame;
    std::optional<QString> localizedName;

    bool operator==(const DisplaySnapshot&) const = default;
};
