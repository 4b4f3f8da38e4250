#pragma once

#include "Models/Workspace.h"

#include <QList>
#include <QString>

// The two rules behind the menu-bar window's list: which workspaces it shows in which order, and
// how high the window is.
class WorkspaceListRules {
public:
    WorkspaceListRules() = delete;

    static constexpr double windowWidth = 450;
    static constexpr double panelHeight = 600;
    static constexpr double emptyStoreHeight = 280;
    static constexpr double maximumHeight = 1000;
    static constexpr double rowHeight = 65;
    static constexpr double chromeHeight = 200;

    // The store's workspaces sorted (stably) by the option the stored sort text names - names in
    // the locale's natural order (numbers by value), dates newest first - and, for a non-empty
    // search text (not trimmed), only those that match it.
    static QList<Workspace> filteredWorkspaces(const QList<Workspace>& stored,
                                               const QString& storedSortOption, const QString& searchText);

    // 600 while a panel fills the window, 280 for an empty store, otherwise 65 per listed
    // workspace plus 200, kept between 600 and 1000.
    static double dynamicPopoverHeight(bool panelOpen, qsizetype storedCount, qsizetype listedCount);
};
