#include "Services/Storage/SettingsManager.h"

#include "Platform/Linux/LinuxLoginItems.h"
#include "Platform/Simulated/SimulatedLoginItems.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/FullDisk.h"
#include "Support/TestPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using Setting = SettingsManager::Setting;

QString settingsPath() {
    return JsonSettingsFormat::userSettings()->fileName();
}

// Writes the settings file as another process would. Each write gets a modification time of its
// own, so the settings cache always notices the new contents.
void writeSettingsFile(const QByteArray& contents) {
    static QDateTime stamp = QDateTime::currentDateTimeUtc().addDays(-1);
    stamp = stamp.addSecs(10);
    QDir().mkpath(QFileInfo(settingsPath()).absolutePath());
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
    ASSERT_TRUE(file.setFileTime(stamp, QFileDevice::FileModificationTime));
}

QJsonObject storedJson() {
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

// The stored values of a manager on one line: excluded ids (sorted), notifications, theme, sort
// option, analysis logging.
QString describe(const SettingsManager& s) {
    QStringList ids(s.excludedAppBundleIDs().begin(), s.excludedAppBundleIDs().end());
    ids.sort();
    const auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    return QStringList{ids.join(u','), onOff(s.showRestoreNotifications()), AppThemes::rawValue(s.appTheme()),
                       s.workspaceSortOption(), onOff(s.enableAnalysisLogging())}
        .join(QStringLiteral(" | "));
}

class SettingsManagerTest : public ::testing::Test {
protected:
    SettingsManagerTest() {
        platform.platform().loginItems = loginItems;
        JsonSettingsFormat::userSettings()->clear();
        QFile::remove(settingsPath());
    }
    ~SettingsManagerTest() override { AppThemes::apply(AppTheme::system); }

    TestPlatform platform;
    std::shared_ptr<SimulatedLoginItems> loginItems = std::make_shared<SimulatedLoginItems>();
};

TEST_F(SettingsManagerTest, StoredValuesAndTheirFallbacks) {
    // An empty store: the defaults, the login item as the service reports it, nothing written.
    loginItems->currentStatus = LoginItems::Status::enabled;
    EXPECT_EQ(describe(SettingsManager()), " | on | system | updatedAt | on");
    EXPECT_TRUE(SettingsManager().launchAtLogin());
    EXPECT_FALSE(QFile::exists(settingsPath()));
    EXPECT_EQ(loginItems->registerCalls + loginItems->unregisterCalls, 0);

    const QList<std::pair<QByteArray, QString>> rows{
        {"{}", " | on | system | updatedAt | on"},
        {R"({"excludedAppBundleIDs": ["a.b", "c.d"], "showRestoreNotifications": false, "appTheme": "dark",
             "workspaceSortOption": "name", "enableAnalysisLogging": false})",
         "a.b,c.d | off | dark | name | off"},
        {R"({"excludedAppBundleIDs": ["a.b", 3], "showRestoreNotifications": "false", "appTheme": "Dark",
             "workspaceSortOption": 3, "enableAnalysisLogging": "no"})",
         " | on | system | updatedAt | on"},
        {R"({"excludedAppBundleIDs": "a.b", "showRestoreNotifications": 0, "appTheme": "light",
             "enableAnalysisLogging": 1})",
         " | off | light | updatedAt | on"},
        {R"({"excludedAppBundleIDs": [], "showRestoreNotifications": 2, "appTheme": 1,
             "enableAnalysisLogging": null, "workspaceSortOption": "anything at all"})",
         " | on | system | anything at all | on"},
        {"not json at all", " | on | system | updatedAt | on"},
    };
    for (const auto& [json, expected] : rows) {
        writeSettingsFile(json);
        EXPECT_EQ(describe(SettingsManager()), expected) << json.toStdString();
    }

    // An unreadable file is kept aside before a write replaces it.
    SettingsManager().setWorkspaceSortOption(QStringLiteral("name"));
    EXPECT_EQ(storedJson().value("workspaceSortOption"), QJsonValue("name"));
    QFile kept(settingsPath() + ".unreadable");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "not json at all");
}

TEST_F(SettingsManagerTest, ObserversHearOnlyChangesButEveryWriteIsStored) {
    SettingsManager settings;
    QList<Setting> changes;
    int themeNotifications = 0;
    QObject::connect(&settings, &SettingsManager::settingChanged, [&](Setting s) { changes.append(s); });
    QObject::connect(&settings, &SettingsManager::appThemeChanged, [&] { ++themeNotifications; });

    settings.setShowRestoreNotifications(true);
    settings.setEnableAnalysisLogging(true);
    settings.setWorkspaceSortOption(QStringLiteral("updatedAt"));
    settings.setExcludedAppBundleIDs({});
    settings.setAppTheme(AppTheme::system);
    EXPECT_TRUE(changes.isEmpty());
    EXPECT_EQ(themeNotifications, 1);
    // Stored with their types: Booleans stay Booleans, the set is a list.
    EXPECT_EQ(storedJson(), (QJsonObject{{"showRestoreNotifications", true},
                                         {"enableAnalysisLogging", true},
                                         {"workspaceSortOption", "updatedAt"},
                                         {"excludedAppBundleIDs", QJsonArray()},
                                         {"appTheme", "system"}}));

    settings.setShowRestoreNotifications(false);
    settings.setExcludedAppBundleIDs({"org.example.b", "org.example.a"});
    settings.setExcludedAppBundleIDs({"org.example.a", "org.example.b"});
    settings.setWorkspaceSortOption(QStringLiteral("name"));
    settings.setAppTheme(AppTheme::dark);
    settings.setEnableAnalysisLogging(false);
    EXPECT_EQ(changes, (QList<Setting>{Setting::showRestoreNotifications, Setting::excludedAppBundleIDs,
                                       Setting::workspaceSortOption, Setting::appTheme,
                                       Setting::enableAnalysisLogging}));
    EXPECT_EQ(themeNotifications, 2);
    EXPECT_EQ(storedJson().value("excludedAppBundleIDs"),
              QJsonValue(QJsonArray{"org.example.a", "org.example.b"}));
}

TEST_F(SettingsManagerTest, ThemeSwapsThePaletteOnceTheEventLoopRuns) {
    const auto window = [](const QPalette& palette) { return palette.color(QPalette::Window); };
    const QColor systemWindow = window(QGuiApplication::palette());
    ASSERT_NE(systemWindow, window(AppThemes::palette(AppTheme::dark)));

    SettingsManager settings;
    settings.setAppTheme(AppTheme::dark);
    EXPECT_EQ(window(QGuiApplication::palette()), systemWindow);
    platform.clock().drainEvents();
    EXPECT_EQ(window(QGuiApplication::palette()), window(AppThemes::palette(AppTheme::dark)));

    // A manager made for one use applies the stored theme too, even when it is gone by then.
    settings.setAppTheme(AppTheme::light);
    { const SettingsManager fresh; }
    platform.clock().drainEvents();
    EXPECT_EQ(window(QGuiApplication::palette()), window(AppThemes::palette(AppTheme::light)));

    settings.setAppTheme(AppTheme::system);
    platform.clock().drainEvents();
    EXPECT_EQ(window(QGuiApplication::palette()), systemWindow);
}

TEST_F(SettingsManagerTest, AFailedLoginItemChangeShowsTheRealRegistration) {
    SettingsManager settings;
    QList<std::pair<Setting, bool>> changes;
    QObject::connect(&settings, &SettingsManager::settingChanged, [&](Setting s) {
        changes.append({s, settings.launchAtLogin()});
    });

    loginItems->failRegister = true;
    settings.setLaunchAtLogin(true);
    EXPECT_FALSE(settings.launchAtLogin());
    EXPECT_EQ(changes, (QList<std::pair<Setting, bool>>{{Setting::launchAtLogin, true},
                                                        {Setting::launchAtLogin, false}}));
    EXPECT_EQ(loginItems->registerCalls, 1);
    EXPECT_EQ(loginItems->unregisterCalls, 0);

    // The service half-registered: the property follows what it reports.
    loginItems->statusAfterFailure = LoginItems::Status::enabled;
    settings.setLaunchAtLogin(true);
    EXPECT_TRUE(settings.launchAtLogin());

    // Writing the same value registers again.
    loginItems->failRegister = false;
    changes.clear();
    settings.setLaunchAtLogin(true);
    EXPECT_EQ(loginItems->registerCalls, 3);
    EXPECT_TRUE(changes.isEmpty());

    // Without a login-item service nothing can be registered.
    platform.platform().loginItems.reset();
    settings.setLaunchAtLogin(false);
    settings.setLaunchAtLogin(true);
    EXPECT_FALSE(settings.launchAtLogin());
}

TEST_F(SettingsManagerTest, AFailedWriteIsPrinted) {
    DiagnosticsCapture diagnostics;
    ASSERT_TRUE(QDir().mkpath(settingsPath())); // a folder where the file must go
    SettingsManager settings;
    settings.setAppTheme(AppTheme::dark);
    settings.setWorkspaceSortOption(QStringLiteral("name"));
    QDir(settingsPath()).removeRecursively();
    EXPECT_EQ(
        diagnostics.lines(),
        (QStringList{"[SettingsManager.setAppTheme] Could not write \"appTheme\" to " + settingsPath(),
                     "[SettingsManager.setWorkspaceSortOption] Could not write \"workspaceSortOption\" to " +
                         settingsPath()}));
}

TEST_F(SettingsManagerTest, ANewManagerReadsWhatAnotherWrote) {
    SettingsManager& shared = SettingsManager::shared();
    shared.setExcludedAppBundleIDs({"org.example.terminal"});
    shared.setWorkspaceSortOption(QStringLiteral("name"));
    shared.setAppTheme(AppTheme::dark);
    shared.setShowRestoreNotifications(false);
    EXPECT_EQ(describe(SettingsManager()), "org.example.terminal | off | dark | name | on");
    EXPECT_TRUE(settingsPath().endsWith("/config/Ordella/Ordella.json")) << settingsPath().toStdString();
}

TEST_F(SettingsManagerTest, LaunchAtLoginWritesTheAutostartEntry) {
    platform.platform().loginItems = std::make_shared<LinuxLoginItems>();
    const QString entry = qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/ordella.desktop";
    SettingsManager settings;
    EXPECT_FALSE(settings.launchAtLogin());

    settings.setLaunchAtLogin(true);
    EXPECT_TRUE(settings.launchAtLogin());
    ASSERT_TRUE(QFile::exists(entry));
    EXPECT_TRUE(SettingsManager().launchAtLogin());

    settings.setLaunchAtLogin(false);
    EXPECT_FALSE(settings.launchAtLogin());
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(SettingsManager().launchAtLogin());
}

} // namespace

// A setting changed on a full disk is printed as not written, and the file keeps the settings it
// held: the settings' own writer would otherwise put an empty file in its place.
TEST_F(SettingsManagerTest, AFullDiskKeepsTheStoredSettings) {
    const QString configHome = QFileInfo(QFileInfo(settingsPath()).absolutePath()).absolutePath();
    for (const FullDisk::Kind kind : FullDisk::kinds()) {
        SCOPED_TRACE(FullDisk::name(kind));
        FullDisk disk(kind);
        if (!disk.unavailableReason().isEmpty()) {
            continue;
        }
        if (kind == FullDisk::Kind::tmpfs) {
            QSettings::setPath(JsonSettingsFormat::format(), QSettings::UserScope, disk.folder());
        }
        const std::shared_ptr<void> restorePath(nullptr, [&configHome](void*) {
            QSettings::setPath(JsonSettingsFormat::format(), QSettings::UserScope, configHome);
        });
        SettingsManager settings;
        settings.setAppTheme(AppTheme::dark);
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        file.close();
        ASSERT_TRUE(stored.contains("\"dark\""));

        disk.fill();
        DiagnosticsCapture diagnostics;
        settings.setWorkspaceSortOption(QStringLiteral("name"));
        EXPECT_EQ(diagnostics.lines(),
                  QStringList{
                      "[SettingsManager.setWorkspaceSortOption] Could not write \"workspaceSortOption\" to " +
                      settingsPath()});
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), stored);
        file.close();

        disk.makeRoom();
        diagnostics.clear();
        settings.setShowRestoreNotifications(false);
        EXPECT_TRUE(diagnostics.lines().isEmpty());
        EXPECT_EQ(storedJson().value("showRestoreNotifications"), false);
    }
}
