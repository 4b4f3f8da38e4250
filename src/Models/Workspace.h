#pragma once

#include "Models/AppSnapshot.h"
#include "Models/DisplaySnapshot.h"
#include "Models/GlobalKeyShortcut.h"
#include "Models/WorkspaceAppearance.h"
#include "Models/WorkspaceTrigger.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// A saved arrangement of the desktop: a plain value, copied between subsystems, never shared.
struct Workspace {
    QUuid id;
    QString name;
    QDateTime createdAt;
    QDateTime updatedAt;
    QList<AppSnapshot> appSnapshots;
    QList<DisplaySnapshot> displaySnapshots;
    qint64 schemaVersion = 1;
    std::optional<QString> iconName;
    std::optional<qint64> gradientIndex;
    std::optional<GlobalKeyShortcut> globalShortcut;
    bool closeOtherApps = false;
    QList<WorkspaceTrigger> triggers;

    // True when a login trigger is present. Setting true appends one login trigger when there is
    // none; setting false removes every login trigger.
    bool restoreAfterLogin() const;
    void setRestoreAfterLogin(bool value);

    // The search of the workspace list (query non-empty): name, application names, window
    // titles, tab titles and tab URLs, case-insensitively.
    bool matches(const QString& query) const;

    // The icon shown for the workspace: iconName, else one derived from the name.
    QString resolvedIconName() const;
    // The index into availableGradients() shown for the workspace: gradientIndex mapped into
    // range, else one derived from the name.
    qsizetype resolvedGradientIndex() const;
    WorkspaceAppearance::ColourPair gradient() const;

    static const QList<WorkspaceAppearance::IconCategory>& categorizedIcons();
    static const QStringList& availableIcons();
    static const QList<WorkspaceAppearance::ColourPair>& availableGradients();

    bool operator==(const Workspace&) const = default;
};
