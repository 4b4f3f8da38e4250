#pragma once

#include "ViewModels/SelectionRowModel.h"

#include <optional>

// The selection row of a captured application that is not a browser: the include switch, for a
// document application the "App Only" / "Files" choice, and a strip of window pictures. In Files
// mode the strip shows up to maxVisibleWindows document cards that can be ticked off one by one;
// otherwise it shows the first window's picture alone.
class AppSelectionRowModel : public SelectionRowModel {
    Q_OBJECT
    Q_PROPERTY(bool hasDocumentWindows READ hasDocumentWindows CONSTANT)
    Q_PROPERTY(bool isAppOnlyExcluded READ isAppOnlyExcluded CONSTANT)
    // Saved with its document windows ("Files"); false means app-only.
    Q_PROPERTY(bool restoreFilesMode READ restoreFilesMode NOTIFY modeChanged)
    Q_PROPERTY(bool showsModeSelector READ showsModeSelector NOTIFY modeChanged)
    // "1 window" / "3 windows" under the name, for a document application only.
    Q_PROPERTY(bool showsWindowCount READ showsWindowCount CONSTANT)
    Q_PROPERTY(QString windowCountText READ windowCountText CONSTANT)
    // The strip shows document cards (Files mode of a document application) rather than one plain
    // picture.
    Q_PROPERTY(bool filesMode READ filesMode NOTIFY cellsChanged)

public:
    AppSelectionRowModel(WorkspacePreviewViewModel* preview, const AppSnapshot& app, PreviewBadge::Kind badge,
                         int maxVisibleWindows = 5, QObject* parent = nullptr);

    bool isBrowser() const override { return false; }
    bool hasDocumentWindows() const { return appSnapshot().hasDocumentWindows(); }
    bool isAppOnlyExcluded() const;
    bool restoreFilesMode() const;
    bool showsModeSelector() const;
    bool showsWindowCount() const;
    QString windowCountText() const;
    bool showsStrip() const override;
    bool filesMode() const;
    // maxVisibleWindows in Files mode, otherwise 1.
    int maxWindowsToShow() const;

    // The label under a document card: the document's file name, else the window's title.
    static std::optional<QString> fileName(const WindowSnapshot& window);

    // The two halves of the mode selector; choosing the side already chosen changes nothing.
    Q_INVOKABLE void chooseAppOnly();
    Q_INVOKABLE void chooseFiles();

signals:
    void modeChanged();

private:
    void rebuildCells();

    int m_maxVisibleWindows;
    bool m_cellsInFilesMode = false;
};
