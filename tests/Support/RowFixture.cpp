#include "Support/RowFixture.h"

#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Support/WorkspaceSamples.h"
#include "ViewModels/DisplayPickerModel.h"
#include "ViewModels/ShortcutRecorderModel.h"

RowFixture::RowFixture()
    : hotkeys(platform().hotKeys)
    , store(folder.path()) {
    loadScene(QStringLiteral(ORDELLA_SOURCE_DIR "/src/Platform/Simulated/scenes/demo.json"));
    clock().setWallNow(now());
}

SimulatedHotKeys& RowFixture::hotKeys() {
    return static_cast<SimulatedHotKeys&>(*platform().hotKeys);
}

QDateTime RowFixture::now() {
    return QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
}

Workspace RowFixture::sample(const QString& name) {
    Workspace w =
        WorkspaceSamples::withApps(name,
                                   {QStringLiteral("org.example.Editor"), QStringLiteral("com.google.Chrome"),
                                    QStringLiteral("com.apple.Terminal")},
                                   2);
    w.updatedAt = now().addSecs(-5 * 60);
    return w;
}

std::unique_ptr<WorkspaceRowModel> RowFixture::makeRow(const Workspace& workspace) {
    return std::make_unique<WorkspaceRowModel>(
        workspace, new ShortcutRecorderModel(hotkeys),
        new DisplayPickerModel(DisplayPickerModel::Kind::connected),
        new DisplayPickerModel(DisplayPickerModel::Kind::disconnected));
}

Workspace RowFixture::stored(const QUuid& id) const {
    for (const Workspace& w : store.workspaces()) {
        if (w.id == id) {
            return w;
        }
    }
    ADD_FAILURE() << "no stored workspace " << id.toString().toStdString();
    return {};
}
