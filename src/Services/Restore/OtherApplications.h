#pragma once

#include "Models/Workspace.h"
#include "Platform/RunningApplications.h"

#include <QList>
#include <QSet>

#include <memory>

#include <qcoro/qcorotask.h>

class RestoreRequest;

// The regular applications that a restored workspace does not hold: asked to quit, or hidden.
// This application and whatever keeps the desktop alive are never touched.
class OtherApplications {
public:
    OtherApplications() = delete;

    // Quits the others, except the ones the user excluded, which are only hidden, and waits (half a
    // second at most) for those asked to quit to go; with none asked it does not wait. Those asked
    // to quit are noted in request (RestoreRequest::quitApplications), when given.
    static QCoro::Task<void> closeAppsNotInWorkspace(Workspace workspace,
                                                     std::shared_ptr<RestoreRequest> request = {});
    // Hides the others, the excluded ones too.
    static void hideAppsNotInWorkspace(const Workspace& workspace);

    static inline const QString ownBundleID = QStringLiteral("com.tremmick.ordella");

    // The excluded identifiers with every identifier the same programs may run under.
    static QSet<QString> protectedIdentifiers(const QSet<QString>& excluded);

private:
    // The running regular applications with an identifier that are not in the workspace.
    static QList<RunningApplication> candidates(const Workspace& workspace);
    static QString names(const QList<RunningApplication>& apps);
};
