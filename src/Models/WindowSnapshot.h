#pragma once

#include "Models/SnapshotRect.h"
#include "Models/TabSnapshot.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One saved window of an application.
struct WindowSnapshot {
    QUuid id;
    SnapshotRect frame;
    std::optional<QString> displayUUID;
    std::optional<qint64> spaceIndex;
    QList<TabSnapshot> tabSnapshots;
    std::optional<QString> windowTitle;
    // Position in the application's full accessibility window list at capture, counted from 0.
    qint64 windowIndex = 0;
    std::optional<QString> documentURL;
    bool isMinimized = false;

    // The window shows a document: its address is present and not empty.
    bool hasDocument() const { return documentURL.has_value() && !documentURL->isEmpty(); }

    bool operator==(const WindowSnapshot&) const = default;
};
