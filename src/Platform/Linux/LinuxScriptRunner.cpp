#include "Platform/Linux/LinuxScriptRunner.h"

#include "Platform/BrowserIdentities.h"
#include "Platform/Linux/BrowserCommandLine.h"
#include "Platform/Linux/ChromiumProfile.h"
#include "Platform/Linux/DesktopEntries.h"
#include "Platform/Linux/LinuxBrowserScripting.h"
#include "Platform/Linux/LinuxFolderScripting.h"
#include "Platform/Linux/X11KeyPresses.h"
#include "Platform/ScriptProgram.h"

LinuxScriptRunner::LinuxScriptRunner(std::shared_ptr<X11Connection> connection,
                                     std::shared_ptr<X11Windows> windows,
                                     std::shared_ptr<X11Monitors> monitors,
                                     std::shared_ptr<LinuxRunningApplications> applications,
                                     std::shared_ptr<Clock> clock, std::shared_ptr<X11KeyboardMap> keyboard,
                                     QObject* parent)
    : QObject(parent) {
    auto keys = std::make_shared<X11KeyPresses>(std::move(connection), std::move(keyboard));
    m_browsers = std::make_unique<LinuxBrowserScripting>(windows, monitors, applications, clock, keys);
    m_folders = std::make_unique<LinuxFolderScripting>(windows, monitors, applications, clock);
}

LinuxScriptRunner::~LinuxScriptRunner() = default;

QString LinuxScriptRunner::browserAddressAsOpened(const QString& address) const {
    return BrowserCommandLine::addressAsOpened(address);
}

std::optional<QString> LinuxScriptRunner::browserAddressRefusal(const QString& address) const {
    return BrowserCommandLine::refusal(address);
}

bool LinuxScriptRunner::browserRecordStopped(const QString& bundleIdentifier) const {
    return m_browsers->recordStopped(bundleIdentifier);
}

std::optional<QString> LinuxScriptRunner::browserProfileRefusal(const QString& bundleIdentifier,
                                                                const QString& userDataDir,
                                                                const QString& profileDirectory) const {
    const BrowserIdentities::LinuxBrowser* packaging = BrowserIdentities::byDesktopId(bundleIdentifier);
    if (!packaging || (userDataDir.isEmpty() && profileDirectory.isEmpty())) {
        return std::nullopt;
    }
    QString problem;
    if (ChromiumProfile::profileSwitches(userDataDir, profileDirectory, packaging->configFolder, &problem)) {
        return std::nullopt;
    }
    return problem;
}

bool LinuxScriptRunner::browserWindowHandedInParts(const QString& bundleIdentifier,
                                                   const QStringList& addresses, const QString& userDataDir,
                                                   const QString& profileDirectory) const {
    const BrowserIdentities::LinuxBrowser* packaging = BrowserIdentities::byDesktopId(bundleIdentifier);
    if (!packaging) {
        return false;
    }
    // Counted as the window is handed: with the switches of its profile, where it is taken.
    QString problem;
    const QStringList switches = userDataDir.isEmpty() && profileDirectory.isEmpty()
                                     ? QStringList()
                                     : ChromiumProfile::profileSwitches(userDataDir, profileDirectory,
                                                                        packaging->configFolder, &problem)
                                           .value_or(QStringList());
    return BrowserCommandLine::handOvers(DesktopEntries::launchWords(packaging->desktopId), switches, true,
                                         addresses)
               .size() > 1;
}

QCoro::Task<ScriptResult> LinuxScriptRunner::run(QString source) {
    QString problem;
    const std::optional<ScriptProgram> program = ScriptProgram::compile(source, &problem);
    if (!program) {
        co_return ScriptResult::failure(ScriptError{ScriptProgram::syntaxError, std::nullopt, problem});
    }
    if (program->dialect == ScriptProgram::Dialect::Chromium) {
        co_return co_await m_browsers->execute(*program);
    }
    if (program->dialect == ScriptProgram::Dialect::FileManager) {
        co_return co_await m_folders->execute(*program);
    }
    co_return ScriptResult::failure(ScriptError{ScriptProgram::notRunning, program->appName,
                                                QStringLiteral("Application isn't running.")});
}
