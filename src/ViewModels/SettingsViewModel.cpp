#include "ViewModels/SettingsViewModel.h"

#include "Services/Storage/SettingsManager.h"

SettingsViewModel::SettingsViewModel(SettingsManager& settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings) {
    connect(&m_settings, &SettingsManager::settingChanged, this, [this](SettingsManager::Setting setting) {
        switch (setting) {
        case SettingsManager::Setting::launchAtLogin:
            emit launchAtLoginChanged();
            break;
        case SettingsManager::Setting::showRestoreNotifications:
            emit showRestoreNotificationsChanged();
            break;
        case SettingsManager::Setting::appTheme:
            emit themeIndexChanged();
            break;
        default:
            break;
        }
    });
}

bool SettingsViewModel::launchAtLogin() const {
    return m_settings.launchAtLogin();
}

void SettingsViewModel::setLaunchAtLogin(bool value) {
    m_settings.setLaunchAtLogin(value);
}

bool SettingsViewModel::showRestoreNotifications() const {
    return m_settings.showRestoreNotifications();
}

void SettingsViewModel::setShowRestoreNotifications(bool value) {
    m_settings.setShowRestoreNotifications(value);
}

int SettingsViewModel::themeIndex() const {
    return int(AppThemes::allCases().indexOf(m_settings.appTheme()));
}

void SettingsViewModel::setThemeIndex(int index) {
    const QList<AppTheme> themes = AppThemes::allCases();
    if (index >= 0 && index < themes.size()) {
        m_settings.setAppTheme(themes.at(index));
    }
}

QStringList SettingsViewModel::themeLabels() {
    return {QStringLiteral("System"), QStringLiteral("Light"), QStringLiteral("Dark")};
}
