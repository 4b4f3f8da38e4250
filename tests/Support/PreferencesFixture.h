#pragma once

#include "Platform/Simulated/SimulatedInstalledApplications.h"
#include "Platform/Simulated/SimulatedLoginItems.h"
#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Platform/Simulated/SimulatedSystemInfo.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Services/Update/AutoUpdateManager.h"
#include "Support/ScriptedDesktop.h"
#include "ViewModels/PreferencesViewModel.h"

#include <QTemporaryDir>

#include <memory>

// The settings window's model on the simulated desktop: login items, system information and screen
// capture in place before the model reads them, a store in a fresh folder, the settings, an
// updater whose address is refused before it reaches the network; the installed applications are the
// simulated desktop's (none at first) and a folder of the test's own holds their files.
class PreferencesFixture : public SimulatedDesktopFixture {
protected:
    std::shared_ptr<SimulatedLoginItems> loginItems = std::make_shared<SimulatedLoginItems>();
    std::shared_ptr<SimulatedSystemInfo> systemInfo = std::make_shared<SimulatedSystemInfo>();
    SimulatedScreenCapture capture{desktop()};
    bool installed = [this] {
        platform().loginItems = loginItems;
        platform().systemInfo = systemInfo;
        capture.installInto(platform());
        desktop().installedApplicationsPort().setDefaultApplication("mailto", "org.example.Mail.desktop");
        return true;
    }();
    QTemporaryDir storage;
    QTemporaryDir apps;
    WorkspaceStore store{storage.path()};
    SettingsManager settings;
    AutoUpdateManager updater{[] {
        AutoUpdateManager::Configuration c;
        c.versionCheckURL = QStringLiteral("http://example.org/plain");
        return c;
    }()};
    PreferencesViewModel model{store, settings, updater};
};
