#pragma once

#include "ViewModels/AboutTabModel.h"
#include "ViewModels/AppExclusionPickerModel.h"
#include "ViewModels/AppInfo.h"
#include "ViewModels/DataTabModel.h"
#include "ViewModels/PermissionsModel.h"
#include "ViewModels/SettingsViewModel.h"
#include "ViewModels/SupportTabModel.h"
#include "ViewModels/UpdateSectionModel.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <qcoro/qcorotask.h>

#include <optional>

class AutoUpdateManager;
class SettingsManager;
class WorkspaceStore;

// The settings window: the sidebar of five tabs, the selected tab, the fade-in when the window
// comes on screen, and the catalogue of installed applications, scanned afresh each time the
// window comes on screen. It owns the models of the tabs; a tab selected anew starts from its
// initial state, as if it were built again (no Data status line, the log attached again).
class PreferencesViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(Tab selectedTab READ selectedTab WRITE selectTab NOTIFY selectedTabChanged)
    // One entry per tab in sidebar order: {"tab", "title", "icon"}.
    Q_PROPERTY(QVariantList tabs READ tabs CONSTANT)
    Q_PROPERTY(bool animateIn READ animateIn NOTIFY animateInChanged)
    Q_PROPERTY(bool isLoadingApps READ isLoadingApps NOTIFY availableAppsChanged)
    Q_PROPERTY(SettingsViewModel* settings READ settings CONSTANT)
    Q_PROPERTY(AppExclusionPickerModel* exclusions READ exclusions CONSTANT)
    Q_PROPERTY(PermissionsModel* permissions READ permissions CONSTANT)
    Q_PROPERTY(UpdateSectionModel* updates READ updates CONSTANT)
    Q_PROPERTY(DataTabModel* dataTab READ dataTab CONSTANT)
    Q_PROPERTY(SupportTabModel* support READ support CONSTANT)
    Q_PROPERTY(AboutTabModel* about READ about CONSTANT)

public:
    enum class Tab { general, appearance, data, support, about };
    Q_ENUM(Tab)

    // The process's settings and updater; the installed applications come from the platform.
    explicit PreferencesViewModel(WorkspaceStore& store, QObject* parent = nullptr);
    PreferencesViewModel(WorkspaceStore& store, SettingsManager& settings, AutoUpdateManager& updater,
                         QObject* parent = nullptr);
    ~PreferencesViewModel() override;

    static QList<Tab> allTabs();
    static QString rawValue(Tab tab);
    // The tab of a raw value ("general"...); nothing for any other text.
    static std::optional<Tab> tabFromRawValue(const QString& raw);
    static QString title(Tab tab);
    static QString symbol(Tab tab);
    static QVariantList tabs();

    Tab selectedTab() const { return m_selectedTab; }
    // Shows the tab; a tab other than the one shown starts from its initial state.
    void selectTab(Tab tab);
    bool animateIn() const { return m_animateIn; }
    bool isLoadingApps() const { return m_isLoadingApps; }
    const QList<AppInfo>& availableApps() const { return m_availableApps; }

    // The window comes on screen: fade in, read the permissions and the log's presence, and scan
    // the installed applications.
    Q_INVOKABLE void appear();
    // The window left the screen: permissions are no longer followed.
    Q_INVOKABLE void disappear();
    // Escape reached the window (no popover inside took it): the window closes.
    Q_INVOKABLE void cancel() { emit closeRequested(); }
    // Reads the installed applications (off the main thread where that takes time) and publishes
    // the catalogue.
    QCoro::Task<void> loadAvailableApps();

    SettingsViewModel* settings() const { return m_settings; }
    AppExclusionPickerModel* exclusions() const { return m_exclusions; }
    PermissionsModel* permissions() const { return m_permissions; }
    UpdateSectionModel* updates() const { return m_updates; }
    DataTabModel* dataTab() const { return m_data; }
    SupportTabModel* support() const { return m_support; }
    AboutTabModel* about() const { return m_about; }

signals:
    void selectedTabChanged();
    void animateInChanged();
    void availableAppsChanged();
    void closeRequested();

private:
    void setCatalogue(const QList<AppInfo>& apps, bool isLoading);

    Tab m_selectedTab = Tab::general;
    bool m_animateIn = false;
    bool m_isLoadingApps = true;
    QList<AppInfo> m_availableApps;
    SettingsViewModel* m_settings;
    AppExclusionPickerModel* m_exclusions;
    PermissionsModel* m_permissions;
    UpdateSectionModel* m_updates;
    DataTabModel* m_data;
    SupportTabModel* m_support;
    AboutTabModel* m_about;
};
