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

QCoro::Task<QList<AppInfo>> AppCatalogue::load(std::shared_ptr<InstalledApplications> installed) {
    if (!installed) {
        co_return QList<AppInfo>();
    }
    co_return catalogue(co_await installed->applications());
}
