#include "ViewModels/PreferencesViewModel.h"

#include "Platform/Platform.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Update/AutoUpdateManager.h"
#include "ViewModels/AppCatalogue.h"

#include <QPointer>
#include <QVariantMap>

PreferencesViewModel::PreferencesViewModel(WorkspaceStore& store, QObject* parent)
    : PreferencesViewModel(store, SettingsManager::shared(), AutoUpdateManager::shared(), parent) {
}

PreferencesViewModel::PreferencesViewModel(WorkspaceStore& store, SettingsManager& settings,
                                           AutoUpdateManager& updater, QObject* parent)
    : QObject(parent)
    , m_settings(new SettingsViewModel(settings, this))
    , m_exclusions(new AppExclusionPickerModel(settings, this))
    , m_permissions(new PermissionsModel(this))
    , m_updates(new UpdateSectionModel(updater, this))
    , m_data(new DataTabModel(store, this))
    , m_support(new SupportTabModel(this))
    , m_about(new AboutTabModel(this)) {
}

PreferencesViewModel::~PreferencesViewModel() = default;

namespace {

struct TabInfo {
    PreferencesViewModel::Tab tab;
    const char* rawValue;
    const char* title;
    const char* symbol;
};

// The tabs in sidebar order.
constexpr TabInfo kTabs[] = {
    {PreferencesViewModel::Tab::general, "general", "General", "gearshape.fill"},
    {PreferencesViewModel::Tab::appearance, "appearance", "Appearance", "paintbrush.fill"},
    {PreferencesViewModel::Tab::data, "data", "Data", "externaldrive.fill"},
    {PreferencesViewModel::Tab::support, "support", "Support", "questionmark.circle.fill"},
    {PreferencesViewModel::Tab::about, "about", "About", "info.circle.fill"},
};

const TabInfo& info(PreferencesViewModel::Tab tab) {
    return kTabs[int(tab)];
}

} // namespace

QList<PreferencesViewModel::Tab> PreferencesViewModel::allTabs() {
    QList<Tab> tabs;
    for (const TabInfo& entry : kTabs) {
        tabs.append(entry.tab);
    }
    return tabs;
}

QString PreferencesViewModel::rawValue(Tab tab) {
    return QLatin1String(info(tab).rawValue);
}

std::optional<PreferencesViewModel::Tab> PreferencesViewModel::tabFromRawValue(const QString& raw) {
    for (const TabInfo& entry : kTabs) {
        if (raw == QLatin1String(entry.rawValue)) {
            return entry.tab;
        }
    }
    return std::nullopt;
}

QString PreferencesViewModel::title(Tab tab) {
    return QLatin1String(info(tab).title);
}

QString PreferencesViewModel::symbol(Tab tab) {
    return QLatin1String(info(tab).symbol);
}

QVariantList PreferencesViewModel::tabs() {
    QVariantList result;
    for (Tab tab : allTabs()) {
        result.append(QVariantMap{{QStringLiteral("tab"), int(tab)},
                                  {QStringLiteral("title"), title(tab)},
                                  {QStringLiteral("icon"), symbol(tab)}});
    }
    return result;
}

void PreferencesViewModel::selectTab(Tab tab) {
    if (tab == m_selectedTab) {
        return;
    }
    // The tab's view is built anew, so its own state starts over.
    switch (tab) {
    case Tab::general:
        m_permissions->refresh();
        m_updates->reset();
        break;
    case Tab::data:
        m_data->reset();
        break;
    case Tab::support:
        m_support->reset();
        break;
    case Tab::appearance:
    case Tab::about:
        break;
    }
    m_selectedTab = tab;
    emit selectedTabChanged();
}

void PreferencesViewModel::appear() {
    if (!m_animateIn) {
        m_animateIn = true;
        emit animateInChanged();
    }
    m_permissions->refresh();
    m_permissions->setWatching(true);
    m_support->appear();
    loadAvailableApps();
}

void PreferencesViewModel::disappear() {
    m_permissions->setWatching(false);
}

void PreferencesViewModel::setCatalogue(const QList<AppInfo>& apps, bool isLoading) {
    m_availableApps = apps;
    m_isLoadingApps = isLoading;
    m_exclusions->setCatalogue(apps, isLoading);
    emit availableAppsChanged();
}

QCoro::Task<void> PreferencesViewModel::loadAvailableApps() {
    QPointer<PreferencesViewModel> self(this);
    setCatalogue(m_availableApps, true);
    const QList<AppInfo> apps = co_await AppCatalogue::load(Platform::current().installedApplications,
                                                            Platform::current().runningApplications);
    // Two scans may overlap when the window comes on screen twice; each publishes its own list.
    if (self) {
        self->setCatalogue(apps, false);
    }
}
