#pragma once

#include "ViewModels/CapturePanelModel.h"

#include <QString>

// The panel in which a new workspace is captured, reviewed and named. Save (or Return) hands the
// trimmed name and the preview model to the window, which builds and stores the workspace; the
// panel itself stores nothing and closes only when its owner removes it.
class SaveWorkspacePanelModel : public CapturePanelModel {
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(bool canSave READ canSave NOTIFY canSaveChanged)

public:
    // The name field takes the focus at once and again this long after the panel comes on screen.
    static constexpr double refocusDelaySeconds = 0.1;

    // A panel with a capture of the current desktop.
    explicit SaveWorkspacePanelModel(QObject* parent = nullptr);
    // A panel over the given preview model (tests give one with a capturer of their own).
    explicit SaveWorkspacePanelModel(WorkspacePreviewViewModel* preview, QObject* parent = nullptr);

    QString name() const { return m_name; }
    void setName(const QString& name);
    // A name that is not blank, and at least one ticked application.
    bool canSave() const;

    // The name without the spaces and tabs around it; line breaks are kept.
    static QString trimmedName(const QString& name);

    // Save and Return: asks the window to save, when canSave() holds; nothing happens otherwise.
    Q_INVOKABLE void save();

signals:
    void nameChanged();
    void canSaveChanged();
    // The name field should take the keyboard focus.
    void focusRequested();
    // The user saved: the trimmed name and the panel's preview model, which stays with the panel.
    void saveRequested(const QString& name, WorkspacePreviewViewModel* preview);

protected:
    QCoro::Task<void> capture() override;
    // The name field is focused at once and again a moment later.
    void comingOnScreen() override;

private:
    QCoro::Task<void> refocusLater();

    QString m_name;
};
