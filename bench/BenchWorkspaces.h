// Workspaces of typical size for the benchmarks that load or show a well-used installation.
#pragma once

#include "Models/WorkspaceJson.h"

#include <QDir>
#include <QFile>
#include <QUuid>

namespace bench {

// 8 applications with 3 windows each, two of them browser windows holding 10 tabs each, on two
// displays: about 25 KB of JSON.
inline Workspace typicalWorkspace(int number) {
    const QDateTime date = QDateTime(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC).addSecs(number * 61);
    Workspace w;
    w.id = QUuid::createUuid();
    w.name = QStringLiteral("Workspace ") + QString::number(number);
    w.createdAt = date;
    w.updatedAt = date;
    for (int a = 0; a < 8; ++a) {
        const QString app = QString::number(a);
        AppSnapshot snapshot{QUuid::createUuid(),
                             QStringLiteral("org.example.app") + app,
                             QStringLiteral("Application ") + app,
                             {},
                             a == 7};
        for (int i = 0; i < 3; ++i) {
            const QString index = QString::number(i);
            WindowSnapshot window;
            window.id = QUuid::createUuid();
            window.frame = {100.0 * i, 50.0 + 25 * a, 1280, 800};
            window.displayUUID = QStringLiteral("37D8832A-2D66-02CA-B9F7-8F30A301B230");
            window.windowTitle =
                QStringLiteral("Document ") + index + QStringLiteral(" of application ") + app;
            window.windowIndex = i;
            if (a == 0 && i < 2) {
                for (int t = 0; t < 10; ++t) {
                    const QString tab = QString::number(t);
                    window.tabSnapshots.append(
                        {QUuid::createUuid(),
                         QStringLiteral("https://www.example.org/articles/") + tab +
                             QStringLiteral("?page=") + index,
                         QStringLiteral("Article ") + tab + QStringLiteral(" - Example"), t == 0});
                }
            } else {
                window.documentURL = QStringLiteral("file:///home/user/Documents/file-") + app + u'-' +
                                     index + QStringLiteral(".txt");
            }
            snapshot.windowSnapshots.append(window);
        }
        w.appSnapshots.append(snapshot);
    }
    w.displaySnapshots = {
        {QUuid::createUuid(),
         1,
         QStringLiteral("37D8832A-2D66-02CA-B9F7-8F30A301B230"),
         {0, 0, 2560, 1440},
         QStringLiteral("Built-in Display")},
        {QUuid::createUuid(), 2, std::nullopt, {2560, 0, 1920, 1080}, QStringLiteral("Monitor")}};
    w.triggers = {{QUuid::createUuid(), WorkspaceTrigger::Login{}}};
    w.globalShortcut = GlobalKeyShortcut{18, GlobalKeyShortcut::commandFlag, QStringLiteral("⌘1")};
    return w;
}

// Writes count typical workspaces into folder as the store names them; the bytes written, or -1
// when a file cannot be written.
inline qint64 writeTypicalWorkspaces(const QString& folder, int count) {
    qint64 bytes = 0;
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const Workspace w = typicalWorkspace(i);
        QFile file(QDir(folder).filePath(WorkspaceJson::uuidString(w.id) + QStringLiteral(".json")));
        if (!file.open(QIODevice::WriteOnly)) {
            return -1;
        }
        bytes += file.write(WorkspaceJson::encodeFile(w).value());
    }
    return bytes;
}

} // namespace bench
