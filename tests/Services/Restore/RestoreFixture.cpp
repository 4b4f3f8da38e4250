#include "RestoreFixture.h"

#include "Services/Desktop/DisplayMapper.h"

RestoreFixture::RestoreFixture() {
    addScreen();
    AnalysisLogger::shared().beginSession(Workspace{});
}

RestoreFixture::~RestoreFixture() {
    AnalysisLogger::shared().endSession(std::nullopt);
}

QStringList RestoreFixture::restorerLines() {
    QStringList lines;
    for (const auto& entry : AnalysisLogger::shared().entries()) {
        if (entry.tag == QLatin1String("WorkspaceRestorer")) {
            lines << entry.message;
        }
    }
    return lines;
}

WindowSnapshot RestoreFixture::savedWindow(const QRectF& frame, const QString& title, qint64 index) {
    WindowSnapshot w;
    w.id = QUuid::createUuid();
    w.frame = {frame.x(), frame.y(), frame.width(), frame.height()};
    w.displayUUID = QStringLiteral("11111111-2222-3333-4444-555555555555");
    if (!title.isEmpty()) {
        w.windowTitle = title;
    }
    w.windowIndex = index;
    return w;
}

AppSnapshot RestoreFixture::savedApp(const QString& bundleIdentifier, const QList<WindowSnapshot>& windows,
                                     bool hidden) {
    return AppSnapshot{QUuid::createUuid(), bundleIdentifier, bundleIdentifier.section('.', -1), windows,
                       hidden};
}

Workspace RestoreFixture::workspace(const QList<AppSnapshot>& apps) {
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = QStringLiteral("Desk");
    w.appSnapshots = apps;
    w.displaySnapshots = DisplayMapper::captureDisplays();
    return w;
}

void RestoreFixture::install(const QString& bundleIdentifier, const QList<QRectF>& launchFrames,
                             Clock::Duration launchDelay) {
    SimulatedDesktop::InstalledApp app;
    app.bundleIdentifier = bundleIdentifier;
    app.name = bundleIdentifier.section('.', -1);
    app.launchDelay = launchDelay;
    for (int i = 0; i < launchFrames.size(); ++i) {
        SimulatedDesktop::Window w;
        w.frame = launchFrames[i];
        w.title = app.name + QStringLiteral(" ") + QString::number(i + 1);
        app.windowsOnLaunch.append(w);
    }
    desktop().installApplication(app);
}
