#pragma once

#include "Models/BrowserProfile.h"
#include "Models/SnapshotRect.h"
#include "Models/TabSnapshot.h"
#include "Models/WindowIdentity.h"

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
    // A browser window's profile when the browser was started with one of its own; absent for the
    // default profile and for every other application.
    std::optional<BrowserProfile> browserProfile;
    // The live window it was saved from, where the desktop could tell: a window that is still that
    // one is this snapshot's before any other clue. Absent from older files.
    std::optional<WindowIdentity> windowIdentity{};

    // The window shows a document: its address is present and not empty.
    bool hasDocument() const { return documentURL.has_value() && !documentURL->isEmpty(); }

    bool operator==(const WindowSnapshot&) const = default;
};
