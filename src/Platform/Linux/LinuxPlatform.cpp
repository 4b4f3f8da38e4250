#include "Platform/Linux/LinuxPlatform.h"

#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Linux/LinuxFolderScripting.h"
#include "Platform/Linux/LinuxHotKeys.h"
#include "Platform/Linux/LinuxInstalledApplications.h"
#include "Platform/Linux/LinuxLoginItems.h"
#include "Platform/Linux/LinuxRunningApplications.h"
#include "Platform/Linux/LinuxScreenCapture.h"
#include "Platform/Linux/LinuxScreens.h"
#include "Platform/Linux/LinuxScriptRunner.h"
#include "Platform/Linux/LinuxSystemInfo.h"
#include "Platform/Linux/LinuxUserNotifications.h"
#include "Platform/Linux/LinuxWindowServer.h"
#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11KeyboardMap.h"
#include "Platform/Linux/X11Monitors.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/SystemClock.h"

LinuxPlatform::Assembly LinuxPlatform::create(std::shared_ptr<Clock> clock) {
    Assembly assembly;
    auto platform = std::make_shared<Platform>();
    platform->clock = clock ? std::move(clock) : std::make_shared<SystemClock>();
    platform->systemInfo = std::make_shared<LinuxSystemInfo>();
    platform->loginItems = std::make_shared<LinuxLoginItems>();
    platform->userNotifications = std::make_shared<LinuxUserNotifications>();
    platform->installedApplications = std::make_shared<LinuxInstalledApplications>();
    assembly.platform = platform;

    const std::shared_ptr<X11Connection> connection = X11Connection::open();
    if (!connection) {
        assembly.problem =
            QStringLiteral("Ordella is not running in an X11 session, so it cannot read or move "
                           "the windows of other applications.");
        return assembly;
    }
    auto windows = std::make_shared<X11Windows>(connection);
    auto monitors = std::make_shared<X11Monitors>(connection);
    auto applications = std::make_shared<LinuxRunningApplications>(windows);
    platform->runningApplications = applications;
    platform->accessibility = std::make_shared<LinuxAccessibility>(windows, monitors, applications);
    platform->windowServer = std::make_shared<LinuxWindowServer>(windows, monitors, applications);
    platform->screens = std::make_shared<LinuxScreens>(windows, monitors);
    platform->screenCapture =
        std::make_shared<LinuxScreenCapture>(windows, monitors, platform->clock, applications);
    // Shortcuts and the browsers' tab keys find their keys on one keyboard map.
    auto keyboard = std::make_shared<X11KeyboardMap>(connection);
    platform->hotKeys = std::make_shared<LinuxHotKeys>(connection, keyboard);
    platform->scriptRunner = std::make_shared<LinuxScriptRunner>(connection, windows, monitors, applications,
                                                                 platform->clock, keyboard);
    // The folder handler answers the file manager's scripts, so its windows are saved with their
    // folders. Asked for each application of a capture or a restore, and read from several files
    // each time: what was found holds for the rest of the pass, as what was read of the windows.
    platform->fileManagerIdentifier = [connection, pass = quint64(0), found = QString()]() mutable {
        if (const quint64 now = connection->pass(); now != pass) {
            found = LinuxFolderScripting::desktopFileManager();
            pass = now;
        }
        return found;
    };
    if (const QString missing = windows->missingSupport(); !missing.isEmpty()) {
        assembly.problem = QStringLiteral("Ordella cannot read or move windows: ") + missing + u'.';
    }
    return assembly;
}

std::shared_ptr<Screens> LinuxPlatform::createScreens() {
    const std::shared_ptr<X11Connection> connection = X11Connection::open();
    if (!connection) {
        return nullptr;
    }
    return std::make_shared<LinuxScreens>(std::make_shared<X11Windows>(connection),
                                          std::make_shared<X11Monitors>(connection));
}
