#pragma once

#include "Services/Storage/AppTheme.h"

#include <QObject>
#include <QSet>
#include <QString>

// The user's preferences, kept in the user settings (JSON, see JsonSettingsFormat) and, for the
// start at login, in the platform's login-item registration. Every instance reads the stored
// values when it is made and keeps its own copy, so a value written through one instance is seen
// by instances made afterwards. Main thread only.
class SettingsManager : public QObject {
    Q_OBJECT
public:
    enum class Setting {
        launchAtLogin,
        excludedAppBundleIDs,
        showRestoreNotifications,
        appTheme,
        workspaceSortOption,
        enableAnalysisLogging
    };
    Q_ENUM(Setting)

    // Reads every value and applies the theme; writes nothing and notifies no one.
    explicit SettingsManager(QObject* parent = nullptr);

    // The process-wide instance, made on first use.
    static SettingsManager& shared();

    bool launchAtLogin() const { return m_launchAtLogin; }
    QSet<QString> excludedAppBundleIDs() const { return m_excludedAppBundleIDs; }
    bool showRestoreNotifications() const { return m_showRestoreNotifications; }
    AppTheme appTheme() const { return m_appTheme; }
    QString workspaceSortOption() const { return m_workspaceSortOption; }
    bool enableAnalysisLogging() const { return m_enableAnalysisLogging; }

    // Every setter stores the value (or changes the login item) even when it equals the current
    // one; settingChanged is emitted only when the value changes.
    void setLaunchAtLogin(bool value);
    void setExcludedAppBundleIDs(const QSet<QString>& value);
    void setShowRestoreNotifications(bool value);
    void setAppTheme(AppTheme value);
    void setWorkspaceSortOption(const QString& value);
    void setEnableAnalysisLogging(bool value);

    // Applies the theme to the application's palette once control returns to the event loop,
    // and emits appThemeChanged at once.
    void applyTheme();

signals:
    void settingChanged(SettingsManager::Setting setting);
    // Emitted by every theme application, also when the theme stays the same.
    void appThemeChanged();

private:
    template <typename T> void assign(T& field, const T& value, Setting setting);
    void updateLaunchAtLogin(bool value);
    static bool loginItemEnabled();
    static QSet<QString> loadExcludedApps();

    bool m_launchAtLogin = false;
    QSet<QString> m_excludedAppBundleIDs;
    bool m_showRestoreNotifications = true;
    AppTheme m_appTheme = AppTheme::system;
    QString m_workspaceSortOption;
    bool m_enableAnalysisLogging = true;
};
