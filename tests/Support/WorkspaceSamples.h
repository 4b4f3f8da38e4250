#pragma once

#include "Models/Workspace.h"

// Workspaces for tests: one with every optional field set and every trigger kind, and plain
// ones that differ only by name and date.
class WorkspaceSamples {
public:
    static QDateTime date(int secondsSince2024);
    static Workspace full();
    static Workspace plain(const QString& name, const QDateTime& updatedAt);
    // A plain workspace with one application per bundle identifier (named after its last part),
    // each with windowsEach windows.
    static Workspace withApps(const QString& name, const QStringList& bundleIdentifiers, int windowsEach);
};
