#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

class WorkspacePreviewViewModel;

// One card in the strip of a selection row: a window or a browser tab of a captured application
// that the user can leave out of the workspace. The capture preview model holds the truth of what
// is left out; the card reads it and sends the user's flips there.
class SelectionCellModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString itemID READ itemIDText CONSTANT)
    Q_PROPERTY(bool isMinimized READ isMinimized CONSTANT)
    Q_PROPERTY(bool isIgnored READ isIgnored NOTIFY selectionChanged)
    Q_PROPERTY(bool isParentAppIgnored READ isParentAppIgnored NOTIFY selectionChanged)
    // The switch can be flipped only while the application itself is included.
    Q_PROPERTY(bool canToggle READ canToggle NOTIFY selectionChanged)
    // The whole card: 0.4 while the application is left out, 0.5 while the item is, else 1.
    Q_PROPERTY(qreal cardOpacity READ cardOpacity NOTIFY selectionChanged)

public:
    enum class Kind { Window, Tab };

    SelectionCellModel(Kind kind, WorkspacePreviewViewModel* preview, const QUuid& appID, const QUuid& itemID,
                       bool isMinimized, QObject* parent);

    Kind kind() const { return m_kind; }
    const QUuid& itemID() const { return m_itemID; }
    QString itemIDText() const { return m_itemID.toString(QUuid::WithoutBraces); }
    bool isMinimized() const { return m_isMinimized; }
    bool isIgnored() const;
    bool isParentAppIgnored() const;
    bool canToggle() const { return !isParentAppIgnored(); }
    qreal cardOpacity() const;

    // The include switch: flips the item's exclusion, unless the whole application is left out.
    Q_INVOKABLE void toggleIgnore();

signals:
    void selectionChanged();

private:
    Kind m_kind;
    QPointer<WorkspacePreviewViewModel> m_preview;
    QUuid m_appID;
    QUuid m_itemID;
    bool m_isMinimized;
};
