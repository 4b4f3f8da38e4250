#include "Support/SnapshotBuilders.h"

namespace Snapshots {

TabSnapshot tab(const QString& url, bool active) {
    return {QUuid::createUuid(), url, url, active};
}

WindowSnapshot window(std::optional<QString> title, std::optional<QString> document,
                      QList<TabSnapshot> tabs) {
    WindowSnapshot w;
    w.id = QUuid::createUuid();
    w.frame = {0, 25, 800, 600};
    w.windowTitle = std::move(title);
    w.documentURL = std::move(document);
    w.tabSnapshots = std::move(tabs);
    return w;
}

AppSnapshot app(const QString& bundleID, QList<WindowSnapshot> windows) {
    return {QUuid::createUuid(), bundleID, bundleID.section('.', -1), std::move(windows), false};
}

Workspace workspace(QList<AppSnapshot> apps) {
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = "preview";
    w.appSnapshots = std::move(apps);
    DisplaySnapshot d;
    d.id = QUuid::createUuid();
    d.displayID = 1;
    d.frame = {0, 0, 1440, 900};
    w.displaySnapshots = {d};
    return w;
}

WorkspacePreviewViewModel::Capturer fixed(std::optional<Workspace> result) {
    return [result](QString name) -> QCoro::Task<std::optional<Workspace>> {
        std::optional<Workspace> copy = result;
        if (copy) {
            copy->name = name;
        }
        co_return copy;
    };
}

} // namespace Snapshots
