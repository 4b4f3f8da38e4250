#pragma once

#include <QObject>
#include <QStringList>

class SettingsManager;

// The user settings as the General and Appearance tabs show them: each control reads a setting
// and writes it straight back through the settings object, which stores it at once.
class SettingsViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool showRestoreNotifications READ showRestoreNotifications WRITE setShowRestoreNotifications
                   NOTIFY showRestoreNotificationsChanged)
    // The position of the theme among themeLabels.
    Q_PROPERTY(int themeIndex READ themeIndex WRITE setThemeIndex NOTIFY themeIndexChanged)
    Q_PROPERTY(QStringList themeLabels READ themeLabels CONSTANT)

public:
    explicit SettingsViewModel(SettingsManager& settings, QObject* parent = nullptr);

    bool launchAtLogin() const;
    // Registers or unregisters the login item; a refusal shows the registration as it really is.
    void setLaunchAtLogin(bool value);
    bool showRestoreNotifications() const;
    void setShowRestoreNotifications(bool value);
    int themeIndex() const;
    // An index outside the labels is ignored.
    void setThemeIndex(int index);
    // "System", "Light", "Dark", in the order of the themes.
    static QStringList themeLabels();

signals:
    void launchAtLoginChanged();
    void showRestoreNotificationsChanged();
    void themeIndexChanged();

private:
    SettingsManager& m_settings;
};
