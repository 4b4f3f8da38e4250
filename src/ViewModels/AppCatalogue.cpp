#include "ViewModels/AppCatalogue.h"

#include <QSet>

#include <algorithm>

namespace {

// Names compare by their canonical form, so a composed and a decomposed accent sort alike.
bool nameLess(const AppInfo& a, const AppInfo& b) {
    return a.name.normalized(QString::NormalizationForm_D) < b.name.normalized(QString::NormalizationForm_D);
}

} // namespace

QString AppCatalogue::ownIdentifier() {
    return QStringLiteral("ordella.desktop");
}

QList<AppInfo> AppCatalogue::catalogue(const QList<InstalledApplications::Application>& applications) {
    QList<AppInfo> result;
    QSet<QString> taken;
    for (const InstalledApplications::Application& app : applications) {
        if (app.identifier.isEmpty() || app.identifier == ownIdentifier() || taken.contains(app.identifier)) {
            continue;
        }
        taken.insert(app.identifier);
        result.append({app.identifier, app.name, app.icon});
    }
    std::stable_sort(result.begin(), result.end(), nameLess);
    return result;
}

QList<AppInfo> AppCatalogue::withRunningPrograms(QList<AppInfo> catalogue,
                                                 const QList<RunningApplication>& running) {
    QSet<QString> taken;
    for (const AppInfo& app : catalogue) {
        taken.insert(app.bundleIdentifier);
    }
    for (const RunningApplication& app : running) {
        const QString id = app.bundleIdentifier.value_or(QString());
        if (app.activationPolicy != ActivationPolicy::Regular || !id.startsWith(QLatin1Char('/')) ||
            taken.contains(id)) {
            continue;
        }
        taken.insert(id);
        const QString name = app.localizedName.value_or(QString());
        catalogue.append(
            {id, name.isEmpty() ? id : name + QStringLiteral(" (") + id + QStringLiteral(")"), QString()});
    }
    std::stable_sort(catalogue.begin(), catalogue.end(), nameLess);
    return catalogue;
}

QCoro::Task<QList<AppInfo>> AppCatalogue::load(std::shared_ptr<InstalledApplications> installed,
                                               std::shared_ptr<RunningApplications> running) {
    if (!installed) {
        co_return QList<AppInfo>();
    }
    QList<AppInfo> apps = catalogue(co_await installed->applications());
    co_return running ? withRunningPrograms(std::move(apps), running->runningApplications()) : apps;
}
