#pragma once

#include "Models/Workspace.h"

#include <QList>
#include <QString>

#include <optional>

// A text summary of a workspace made when a restore session opens, so the analysis log shows the
// workspace as it was asked for.
struct RestoredWorkspaceState {
    struct WindowEntry {
        std::optional<QString> title;
        QString frame;
    };
    struct AppEntry {
        QString bundleIdentifier;
        QString appName;
        qint64 windowCount = 0;
        bool isHidden = false;
        QList<WindowEntry> windows;
    };
    struct DisplayEntry {
        std::optional<QString> uuid;
        std::optional<QString> name;
        QString frame;
    };

    QString id; // upper-case canonical form
    QString name;
    QList<AppEntry> apps;
    QList<DisplayEntry> displays;

    static RestoredWorkspaceState from(const Workspace& workspace);
    // "(x, y, width×height)", each number truncated toward zero.
    static QString frameText(const SnapshotRect& frame);
};
