#pragma once

#include "Platform/ScriptRunner.h"

#include <QObject>

#include <memory>

class Clock;
class LinuxBrowserScripting;
class LinuxFolderScripting;
class LinuxRunningApplications;
class X11Connection;
class X11KeyboardMap;
class X11Monitors;
class X11Windows;

// The script host of a Linux desktop. It reads the same script texts as every host (anything
// else is a syntax error) and answers them from the real desktop: the browser scripts from the
// Chromium-family browsers, the file-manager scripts from the desktop's folder handler. Scripts
// for a browser dialect that Linux has no browser for answer as an application that is not
// running does.
class LinuxScriptRunner : public QObject, public ScriptRunner {
    Q_OBJECT
public:
    LinuxScriptRunner(std::shared_ptr<X11Connection> connection, std::shared_ptr<X11Windows> windows,
                      std::shared_ptr<X11Monitors> monitors,
                      std::shared_ptr<LinuxRunningApplications> applications, std::shared_ptr<Clock> clock,
                      std::shared_ptr<X11KeyboardMap> keyboard = nullptr, QObject* parent = nullptr);
    ~LinuxScriptRunner() override;

    QCoro::Task<ScriptResult> run(QString source) override;
    QString browserAddressAsOpened(const QString& address) const override;
    std::optional<QString> browserAddressRefusal(const QString& address) const override;
    bool browserRecordStopped(const QString& bundleIdentifier) const override;
    std::optional<QString> browserProfileRefusal(const QString& bundleIdentifier, const QString& userDataDir,
                                                 const QString& profileDirectory) const override;
    bool browserWindowHandedInParts(const QString& bundleIdentifier, const QStringList& addresses,
                                    const QString& userDataDir,
                                    const QString& profileDirectory) const override;

private:
    std::unique_ptr<LinuxBrowserScripting> m_browsers;
    std::unique_ptr<LinuxFolderScripting> m_folders;
};
