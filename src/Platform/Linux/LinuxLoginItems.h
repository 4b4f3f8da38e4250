#pragma once

#include "Platform/LoginItems.h"

// Opening at login through the XDG autostart folder: the application is registered while
// "ordella.desktop" in $XDG_CONFIG_HOME/autostart (~/.config/autostart) starts it.
class LinuxLoginItems : public LoginItems {
public:
    // An empty executable path means this program; an empty folder means the user's autostart
    // folder as the environment names it when the call is made.
    explicit LinuxLoginItems(QString executablePath = {}, QString autostartFolder = {});

    Status status() const override;
    Result registerApp() override;
    Result unregisterApp() override;

    QString entryPath() const;
    // The desktop entry that starts the program.
    static QByteArray entryContents(const QString& executablePath);
    // The program as one Exec argument, quoted and escaped as desktop entries require.
    static QString execArgument(const QString& executablePath);

private:
    QString m_executablePath;
    QString m_autostartFolder;
};
