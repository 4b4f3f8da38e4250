#pragma once

#include "Models/Workspace.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <optional>

// Short builders of captured or saved items for tests; every item gets a fresh id.
namespace Snapshots {

// A tab whose title is its address.
TabSnapshot tab(const QString& url, bool active = false);
WindowSnapshot window(std::optional<QString> title = std::nullopt,
                      std::optional<QString> document = std::nullopt, QList<TabSnapshot> tabs = {});
// An application named after the last part of its identifier.
AppSnapshot app(const QString& bundleID, QList<WindowSnapshot> windows = {});
// A workspace named "preview" with these applications and one display.
Workspace workspace(QList<AppSnapshot> apps);
// A capturer that yields result (named as asked).
WorkspacePreviewViewModel::Capturer fixed(std::optional<Workspace> result);

} // namespace Snapshots
