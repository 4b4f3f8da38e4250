#include "ViewModels/AppCatalogue.h"

#include "Platform/Linux/DesktopEntryFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFuture>
#include <QPromise>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>

#include <qcoro/qcorofuture.h>

#include <algorithm>
#include <memory>

namespace {

// Entry files of one folder, subfolders included, in a fixed order.
QStringList entryFiles(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.desktop")}, QDir::Files | QDir::Readable | QDir::CaseSensitive,
                    QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (it.hasNext()) {
        files.append(it.next());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Names compare by their canonical form, so a composed and a decomposed accent sort alike.
bool nameLess(const AppInfo& a, const AppInfo& b) {
    return a.name.normalized(QString::NormalizationForm_D) < b.name.normalized(QString::NormalizationForm_D);
}

} // namespace

QString AppCatalogue::ownIdentifier() {
    return QStringLiteral("ordella.desktop");
}

QStringList AppCatalogue::defaultFolders() {
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

QList<AppInfo> AppCatalogue::scan(const QStringList& folders) {
    QList<AppInfo> result;
    QSet<QString> taken;
    for (const QString& folder : folders) {
        const QDir root(folder);
        for (const QString& path : entryFiles(folder)) {
            QString id = root.relativeFilePath(path);
            id.replace(u'/', u'-');
            if (taken.contains(id)) {
                continue;
            }
            const std::optional<DesktopEntryFile> entry = DesktopEntryFile::read(path);
            if (!entry) {
                continue;
            }
            taken.insert(id);
            if (entry->value(QStringLiteral("Type")) != QLatin1String("Application") ||
                entry->isTrue(QStringLiteral("Hidden")) || entry->isTrue(QStringLiteral("NoDisplay")) ||
                id == ownIdentifier()) {
                continue;
            }
            // An entry without a name (which the format requires) goes by its file's.
            const QString name = entry->contains(QStringLiteral("Name"))
                                     ? entry->localizedValue(QStringLiteral("Name"))
                                     : id.chopped(QStringLiteral(".desktop").size());
            result.append({id, name, entry->value(QStringLiteral("Icon"))});
        }
    }
    std::stable_sort(result.begin(), result.end(), nameLess);
    return result;
}

QCoro::Task<QList<AppInfo>> AppCatalogue::load(QStringList folders) {
    auto promise = std::make_shared<QPromise<QList<AppInfo>>>();
    QFuture<QList<AppInfo>> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, folders] {
        promise->addResult(scan(folders));
        promise->finish();
    });
    co_return co_await future;
}
