#include "Services/Coordination/RevertState.h"

#include "Services/Capture/WorkspaceCapturer.h"

#include <algorithm>

namespace {

bool listsBundle(const QList<AppSnapshot>& apps, const QString& bundleIdentifier) {
    return std::any_of(apps.begin(), apps.end(),
                       [&](const AppSnapshot& app) { return app.bundleIdentifier == bundleIdentifier; });
}

} // namespace

QList<AppSnapshot> RevertState::appsToCloseOnRevert() const {
    QList<AppSnapshot> apps;
    for (const AppSnapshot& app : restoredWorkspace.appSnapshots) {
        const QString& bundleID = app.bundleIdentifier;
        if (!bundleID.isEmpty() && !listsBundle(preRestoreApps, bundleID) &&
            !preRestoreRunningBundleIDs.contains(bundleID) &&
            !WorkspaceCapturer::excludedBundleIDs().contains(bundleID)) {
            apps.append(app);
        }
    }
    return apps;
}

QList<AppSnapshot> RevertState::appsToReopenOnRevert() const {
    QList<AppSnapshot> apps;
    if (!closeOtherApps) {
        return apps;
    }
    for (const AppSnapshot& app : preRestoreApps) {
        if (!listsBundle(restoredWorkspace.appSnapshots, app.bundleIdentifier)) {
            apps.append(app);
        }
    }
    return apps;
}
