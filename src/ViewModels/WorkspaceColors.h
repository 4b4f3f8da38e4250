#pragma once

#include <QColor>
#include <QString>

// The colours behind the names of the workspace colour pairs. Every view that draws a workspace's
// gradient takes its colours from here, so the row, the pickers, the preview and the panels agree.
class WorkspaceColors {
public:
    WorkspaceColors() = delete;

    // The colour of one of the eleven names ("red", "orange", "yellow", "green", "mint", "teal",
    // "cyan", "blue", "indigo", "purple", "pink"), compared exactly; gray for any other text.
    static QColor color(const QString& name);
    static QColor gray();

    // The start and end colours of pair index of the 32 pairs; the index is reduced into range first.
    static QColor startColor(qint64 index);
    static QColor endColor(qint64 index);
};
