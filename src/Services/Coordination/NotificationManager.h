#pragma once

#include "Models/RestoreReport.h"

#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

// Tells the user through the notification centre that a workspace was restored, with a Revert
// action, when the settings allow it and the user gave permission. Holds no state; prints its
// outcome as "[NotificationManager] ..." lines. Main thread.
class NotificationManager {
public:
    NotificationManager() = delete;

    static inline const QString categoryIdentifier = QStringLiteral("WORKSPACE_RESTORED_CATEGORY");
    static inline const QString revertActionIdentifier = QStringLiteral("REVERT_WORKSPACE_ACTION");
    static inline const QString requestIdentifierPrefix = QStringLiteral("workspace-restored-");
    static inline const QString soundName = QStringLiteral("blow.aiff");
    // Keys of a restore notification's user info.
    static inline const QString workspaceNameKey = QStringLiteral("workspaceName");
    static inline const QString revertStateIDKey = QStringLiteral("revertStateID");

    // Registers the one category with its Revert action, replacing what was registered.
    static void configureNotificationCategories();
    // Whether the centre reports the permission as granted (and nothing less).
    static QCoro::Task<bool> isAuthorized();
    // Registers the category and asks for permission to show alerts and play sounds.
    static QCoro::Task<void> requestPermission();
    // Posts the notification of a restore that restored the workspace fully or in part; the
    // Revert action carries revertStateID when there is one. Never fails.
    static QCoro::Task<void> showWorkspaceRestored(QString workspaceName, RestoreReport report,
                                                   std::optional<QString> revertStateID);

private:
    static void print(const QString& message);
};
