#pragma once

#include "ViewModels/SelectionRowModel.h"

// The selection row of a captured browser: the include switch, a summary of its tabs and one card
// per tab of every window, each of which can be ticked off. The strip stays while the browser is
// left out, its cards dimmed. Every tab is shown: the strip scrolls.
class BrowserSelectionRowModel : public SelectionRowModel {
    Q_OBJECT
    Q_PROPERTY(bool hasTabs READ hasTabs CONSTANT)
    // "3 tabs", "1 tab", or "7 tabs across 2 windows" when more than one window has tabs.
    Q_PROPERTY(QString summaryText READ summaryText CONSTANT)

public:
    BrowserSelectionRowModel(WorkspacePreviewViewModel* preview, const AppSnapshot& app,
                             PreviewBadge::Kind badge, QObject* parent = nullptr);

    bool isBrowser() const override { return true; }
    bool hasTabs() const { return !cells().isEmpty(); }
    QString summaryText() const;
    bool showsStrip() const override { return hasTabs(); }
};
