#include "ViewModels/AppExclusionPickerModel.h"

#include "Services/Storage/SettingsManager.h"

#include <QVariantMap>

#include <algorithm>

namespace {

QVariantMap entry(const QString& bundleIdentifier, const QString& name, const QString& icon) {
    return {{QStringLiteral("bundleIdentifier"), bundleIdentifier},
            {QStringLiteral("name"), name},
            {QStringLiteral("icon"), icon}};
}

} // namespace

AppExclusionPickerModel::AppExclusionPickerModel(SettingsManager& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings) {
    connect(&m_settings, &SettingsManager::settingChanged, this, [this](SettingsManager::Setting setting) {
        if (setting == SettingsManager::Setting::excludedAppBundleIDs) {
            emit chipsChanged();
            emit filteredAppsChanged();
        }
    });
}

void AppExclusionPickerModel::setCatalogue(const QList<AppInfo>& apps, bool isLoading) {
    m_apps = apps;
    m_isLoading = isLoading;
    emit catalogueChanged();
    emit chipsChanged();
    emit filteredAppsChanged();
}

const AppInfo* AppExclusionPickerModel::find(const QString& bundleIdentifier) const {
    const auto it = std::find_if(m_apps.begin(), m_apps.end(), [&](const AppInfo& app) {
        return app.bundleIdentifier == bundleIdentifier;
    });
    return it == m_apps.end() ? nullptr : &*it;
}

QVariantList AppExclusionPickerModel::chips() const {
    const QSet<QString> excluded = m_settings.excludedAppBundleIDs();
    QStringList ids(excluded.begin(), excluded.end());
    std::sort(ids.begin(), ids.end());
    QVariantList result;
    for (const QString& id : ids) {
        if (const AppInfo* app = find(id)) {
            result.append(entry(id, app->name, app->icon));
        } else {
            result.append(entry(id, m_isLoading ? QStringLiteral("Loading...") : id, QString()));
        }
    }
    return result;
}

bool AppExclusionPickerModel::hasExclusions() const {
    return !m_settings.excludedAppBundleIDs().isEmpty();
}

void AppExclusionPickerModel::setShowingPicker(bool showing) {
    if (showing == m_isShowingPicker) {
        return;
    }
    if (showing) {
        setSearchText(QString());
    }
    m_isShowingPicker = showing;
    emit isShowingPickerChanged();
}

void AppExclusionPickerModel::togglePicker() {
    if (!m_isLoading) {
        setShowingPicker(!m_isShowingPicker);
    }
}

void AppExclusionPickerModel::setSearchText(const QString& text) {
    if (text != m_searchText) {
        m_searchText = text;
        emit filteredAppsChanged();
    }
}

QList<AppInfo> AppExclusionPickerModel::filteredAppList() const {
    const QSet<QString> excluded = m_settings.excludedAppBundleIDs();
    QList<AppInfo> result;
    for (const AppInfo& app : m_apps) {
        if (excluded.contains(app.bundleIdentifier)) {
            continue;
        }
        // The search is taken as typed: a lone space is a search too.
        if (m_searchText.isEmpty() || app.name.contains(m_searchText, Qt::CaseInsensitive) ||
            app.bundleIdentifier.contains(m_searchText, Qt::CaseInsensitive)) {
            result.append(app);
        }
    }
    return result;
}

QVariantList AppExclusionPickerModel::filteredApps() const {
    QVariantList result;
    for (const AppInfo& app : filteredAppList()) {
        result.append(entry(app.bundleIdentifier, app.name, app.icon));
    }
    return result;
}

QString AppExclusionPickerModel::emptySymbol() const {
    return m_searchText.isEmpty() ? QStringLiteral("checkmark.circle.fill")
                                  : QStringLiteral("magnifyingglass");
}

QString AppExclusionPickerModel::emptyText() const {
    return m_searchText.isEmpty() ? QStringLiteral("No more apps to add")
                                  : QStringLiteral("No apps match '") + m_searchText + u'\'';
}

void AppExclusionPickerModel::remove(const QString& bundleIdentifier) {
    QSet<QString> excluded = m_settings.excludedAppBundleIDs();
    excluded.remove(bundleIdentifier);
    m_settings.setExcludedAppBundleIDs(excluded);
}

void AppExclusionPickerModel::select(const QString& bundleIdentifier) {
    QSet<QString> excluded = m_settings.excludedAppBundleIDs();
    excluded.insert(bundleIdentifier);
    m_settings.setExcludedAppBundleIDs(excluded);
    setShowingPicker(false);
}
