#pragma once

#include "Models/Workspace.h"

#include <QColor>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

class DisplayPickerModel;
class IconPickerModel;
class ShortcutRecorderModel;

// The rules behind one workspace's row in the menu-bar window: what the collapsed header shows
// (symbol, colours, name, application icons, counts, age, shortcut), the editing panel's state
// (rename, the pickers, the recorder, the triggers, the delete confirmation) and hover state.
//
// The row never changes the workspace or the store. Every decision of the user leaves as one of
// the *Requested signals; the owner applies it and hands the row the updated workspace through
// setWorkspace(), which is what the row then shows (see WorkspaceEditor for the edits).
class WorkspaceRowModel : public QObject {
    Q_OBJECT
    // Inputs from the owner.
    Q_PROPERTY(bool isExpanded READ isExpanded NOTIFY isExpandedChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    // What the workspace shows.
    Q_PROPERTY(QString name READ name NOTIFY workspaceChanged)
    Q_PROPERTY(QString iconName READ iconName NOTIFY workspaceChanged)
    Q_PROPERTY(int gradientIndex READ gradientIndex NOTIFY workspaceChanged)
    Q_PROPERTY(QColor gradientStart READ gradientStart NOTIFY workspaceChanged)
    Q_PROPERTY(QColor gradientEnd READ gradientEnd NOTIFY workspaceChanged)
    Q_PROPERTY(int appCount READ appCount NOTIFY workspaceChanged)
    Q_PROPERTY(int windowCount READ windowCount NOTIFY workspaceChanged)
    Q_PROPERTY(QStringList appIcons READ appIcons NOTIFY workspaceChanged)
    Q_PROPERTY(QString overflowText READ overflowText NOTIFY workspaceChanged)
    Q_PROPERTY(QString ageText READ ageText NOTIFY ageTextChanged)
    Q_PROPERTY(bool hasShortcut READ hasShortcut NOTIFY shortcutChanged)
    Q_PROPERTY(QString shortcutText READ shortcutText NOTIFY shortcutChanged)
    Q_PROPERTY(bool closeOtherApps READ closeOtherApps NOTIFY workspaceChanged)
    // One entry per trigger, in stored order: {"id", "symbol", "text"}.
    Q_PROPERTY(QVariantList triggers READ triggers NOTIFY workspaceChanged)
    Q_PROPERTY(QString deleteQuestion READ deleteQuestion NOTIFY workspaceChanged)
    // View state.
    Q_PROPERTY(bool isHovered READ isHovered NOTIFY viewStateChanged)
    Q_PROPERTY(bool restoreButtonHovered READ restoreButtonHovered WRITE setRestoreButtonHovered NOTIFY
                   viewStateChanged)
    Q_PROPERTY(bool previewButtonHovered READ previewButtonHovered WRITE setPreviewButtonHovered NOTIFY
                   viewStateChanged)
    Q_PROPERTY(bool showsHoverControls READ showsHoverControls NOTIFY viewStateChanged)
    Q_PROPERTY(qreal backgroundOpacity READ backgroundOpacity NOTIFY viewStateChanged)
    Q_PROPERTY(bool isRenaming READ isRenaming NOTIFY viewStateChanged)
    Q_PROPERTY(QString renameText READ renameText WRITE setRenameText NOTIFY renameTextChanged)
    Q_PROPERTY(bool isConfirmingDelete READ isConfirmingDelete NOTIFY viewStateChanged)
    Q_PROPERTY(
        bool showingIconPicker READ showingIconPicker WRITE setShowingIconPicker NOTIFY popoversChanged)
    Q_PROPERTY(
        bool showingColorPicker READ showingColorPicker WRITE setShowingColorPicker NOTIFY popoversChanged)
    Q_PROPERTY(bool showingTriggerPicker READ showingTriggerPicker WRITE setShowingTriggerPicker NOTIFY
                   popoversChanged)
    Q_PROPERTY(bool showingDisplayPicker READ showingDisplayPicker WRITE setShowingDisplayPicker NOTIFY
                   popoversChanged)
    Q_PROPERTY(bool showingDisplayDisconnectPicker READ showingDisplayDisconnectPicker WRITE
                   setShowingDisplayDisconnectPicker NOTIFY popoversChanged)
    // The editors of the panel.
    Q_PROPERTY(ShortcutRecorderModel* recorder READ recorder CONSTANT)
    Q_PROPERTY(IconPickerModel* iconPicker READ iconPicker CONSTANT)
    Q_PROPERTY(DisplayPickerModel* displayPicker READ displayPicker CONSTANT)
    Q_PROPERTY(DisplayPickerModel* displayDisconnectPicker READ displayDisconnectPicker CONSTANT)

public:
    // The editors take their services from the current platform.
    explicit WorkspaceRowModel(const Workspace& workspace, QObject* parent = nullptr);
    // For tests: a recorder and pickers made by the caller (the row takes them over).
    WorkspaceRowModel(const Workspace& workspace, ShortcutRecorderModel* recorder,
                      DisplayPickerModel* displayPicker, DisplayPickerModel* displayDisconnectPicker,
                      QObject* parent = nullptr);
    ~WorkspaceRowModel() override;

    static constexpr int maxAppIcons = 6;

    const Workspace& workspace() const { return m_workspace; }
    void setWorkspace(const Workspace& workspace);
    bool isExpanded() const { return m_isExpanded; }
    void setExpanded(bool expanded);
    bool isProcessing() const { return m_isProcessing; }
    void setProcessing(bool processing);

    QString name() const { return m_workspace.name; }
    QString iconName() const { return m_workspace.resolvedIconName(); }
    int gradientIndex() const;
    QColor gradientStart() const;
    QColor gradientEnd() const;
    int appCount() const;
    int windowCount() const;
    // The bundle identifiers of the first six applications, in saved order, leaving out those
    // without an installed application to take the icon from.
    QStringList appIcons() const;
    // "+N" for the applications past the first six; empty for six or fewer.
    QString overflowText() const;
    QString ageText() const { return m_ageText; }
    // The workspace's shortcut, as long as the system holds it (as the recorder shows it).
    bool hasShortcut() const;
    QString shortcutText() const;
    bool closeOtherApps() const { return m_workspace.closeOtherApps; }
    QVariantList triggers() const;
    static QString triggerSymbol(const WorkspaceTrigger& trigger);
    QString deleteQuestion() const;

    bool isHovered() const { return !m_hoveringViews.isEmpty(); }
    void setHovered(bool hovered) { setViewHovered(this, hovered); }
    // A view of the row says whether the pointer is on it. The row is hovered while a view that
    // still exists says so: a view that goes away under the pointer (the list scrolled it off or
    // rebuilt its rows) is never told the pointer left, so its hover, and its buttons', go with it.
    Q_INVOKABLE void setViewHovered(QObject* view, bool hovered);
    bool restoreButtonHovered() const { return m_restoreButtonHovered; }
    void setRestoreButtonHovered(bool hovered);
    bool previewButtonHovered() const { return m_previewButtonHovered; }
    void setPreviewButtonHovered(bool hovered);
    // The rename button and the expand chevron show while the row is hovered or expanded.
    bool showsHoverControls() const { return isHovered() || m_isExpanded; }
    // The row's fill: primary at 6 % expanded, 4 % hovered, none otherwise.
    qreal backgroundOpacity() const;
    bool isRenaming() const { return m_isRenaming; }
    const QString& renameText() const { return m_renameText; }
    void setRenameText(const QString& text);
    bool isConfirmingDelete() const { return m_isConfirmingDelete; }
    bool showingIconPicker() const { return m_showingIconPicker; }
    void setShowingIconPicker(bool showing);
    bool showingColorPicker() const { return m_showingColorPicker; }
    void setShowingColorPicker(bool showing);
    bool showingTriggerPicker() const { return m_showingTriggerPicker; }
    void setShowingTriggerPicker(bool showing);
    bool showingDisplayPicker() const { return m_showingDisplayPicker; }
    void setShowingDisplayPicker(bool showing);
    bool showingDisplayDisconnectPicker() const { return m_showingDisplayDisconnectPicker; }
    void setShowingDisplayDisconnectPicker(bool showing);

    ShortcutRecorderModel* recorder() const { return m_recorder; }
    IconPickerModel* iconPicker() const { return m_iconPicker; }
    DisplayPickerModel* displayPicker() const { return m_displayPicker; }
    DisplayPickerModel* displayDisconnectPicker() const { return m_displayDisconnectPicker; }

    // A tap anywhere on the header: toggles the row unless it is renaming.
    Q_INVOKABLE void tapHeader();
    Q_INVOKABLE void restore();
    Q_INVOKABLE void showPreview();
    Q_INVOKABLE void startRename();
    // Return or the check mark: reports the trimmed name when it is not empty and differs.
    Q_INVOKABLE void confirmRename();
    // Escape or the cross: leaves rename mode without a report.
    Q_INVOKABLE void cancelRename();
    // The action block: Update, Delete (asks first), Cancel, and the red Delete that confirms.
    Q_INVOKABLE void requestUpdate();
    Q_INVOKABLE void askDelete();
    Q_INVOKABLE void cancelDelete();
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void selectGradient(int index);
    Q_INVOKABLE void setCloseOtherApps(bool closeOtherApps);
    Q_INVOKABLE void removeTrigger(const QString& triggerID);
    // An entry of the trigger menu: closes the menu and opens the matching display picker.
    Q_INVOKABLE void chooseDisplayTrigger(bool connected);
    // Reads the age text again (it is computed when the workspace is handed in).
    Q_INVOKABLE void refreshAge();

    // The rename rule: spaces and tabs trimmed at both ends (line breaks stay).
    static QString trimmedName(const QString& text);

signals:
    void toggleExpandRequested();
    void restoreRequested();
    void deleteRequested();
    void updateRequested();
    void renameRequested(const QString& newName);
    void showPreviewRequested();
    void iconUpdateRequested(const QString& iconName);
    void gradientUpdateRequested(int gradientIndex);
    void shortcutUpdateRequested(const std::optional<GlobalKeyShortcut>& shortcut);
    void closeOtherAppsUpdateRequested(bool closeOtherApps);
    void triggerAddRequested(const WorkspaceTrigger& trigger);
    void triggerRemoveRequested(const QUuid& triggerID);
    // A recorded shortcut was not assigned: another workspace holds it or the system refused it.
    void duplicateErrorRequested();

    void workspaceChanged();
    void shortcutChanged();
    void ageTextChanged();
    void isExpandedChanged();
    void isProcessingChanged();
    void viewStateChanged();
    void renameTextChanged();
    void popoversChanged();

private:
    void connectEditors();
    void viewGone(QObject* view);
    template <typename T> void assign(T& field, const T& value, void (WorkspaceRowModel::*changed)());

    Workspace m_workspace;
    bool m_isExpanded = false;
    bool m_isProcessing = false;
    QString m_ageText;
    QSet<QObject*> m_hoveringViews;
    bool m_restoreButtonHovered = false;
    bool m_previewButtonHovered = false;
    bool m_isRenaming = false;
    QString m_renameText;
    bool m_isConfirmingDelete = false;
    bool m_showingIconPicker = false;
    bool m_showingColorPicker = false;
    bool m_showingTriggerPicker = false;
    bool m_showingDisplayPicker = false;
    bool m_showingDisplayDisconnectPicker = false;
    ShortcutRecorderModel* m_recorder;
    IconPickerModel* m_iconPicker;
    DisplayPickerModel* m_displayPicker;
    DisplayPickerModel* m_displayDisconnectPicker;
};
