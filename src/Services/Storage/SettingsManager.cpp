#include "Services/Storage/SettingsManager.h"

#include "Platform/Diagnostics.h"
#include "Platform/LoginItems.h"
#include "Platform/Platform.h"
#include "Services/Storage/JsonSettingsFormat.h"

#include <QCoreApplication>
#include <QPointer>
#include <QVariant>

#include <algorithm>

namespace {

const QString kExcludedApps = QStringLiteral("excludedAppBundleIDs");
const QString kShowNotifications = QStringLiteral("showRestoreNotifications");
const QString kAppTheme = QStringLiteral("appTheme");
const QString kSortOption = QStringLiteral("workspaceSortOption");
const QString kAnalysisLogging = QStringLiteral("enableAnalysisLogging");

bool isString(const QVariant& value) {
    return value.metaType().id() == QMetaType::QString;
}

// A stored Boolean; the numbers 0 and 1 count as Booleans, anything else gives the fallback.
bool storedBool(const QVariant& value, bool fallback) {
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double: {
        const double number = value.toDouble();
        return number == 0 ? false : number == 1 ? true : fallback;
    }
    default:
        return fallback;
    }
}

// Writes one value through to the settings file. A failed write (no room, a folder where the file
// must be) is printed, as the value then lives only in memory until the process ends.
void store(const char* operation, const QString& key, const QVariant& value) {
    const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
    settings->setValue(key, value);
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        Diagnostics::print(QStringLiteral("[SettingsManager.") + QLatin1String(operation) +
                           QStringLiteral("] Could not write \"") + key + QStringLiteral("\" to ") +
                           settings->fileName());
    }
}

} // namespace

SettingsManager::SettingsManager(QObject* parent)
    : QObject(parent) {
    const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
    m_launchAtLogin = loginItemEnabled();
    m_excludedAppBundleIDs = loadExcludedApps();
    m_showRestoreNotifications = storedBool(settings->value(kShowNotifications), true);
    const QVariant theme = settings->value(kAppTheme);
    m_appTheme = AppThemes::fromRawValue(isString(theme) ? theme.toString() : QStringLiteral("system"))
                     .value_or(AppTheme::system);
    const QVariant sortOption = settings->value(kSortOption);
    m_workspaceSortOption = isString(sortOption) ? sortOption.toString() : QStringLiteral("updatedAt");
    m_enableAnalysisLogging = storedBool(settings->value(kAnalysisLogging), true);
    applyTheme();
}

SettingsManager& SettingsManager::shared() {
    // Never destroyed: it lives for the whole process and may be used until the very end.
    static SettingsManager* instance = new SettingsManager();
    return *instance;
}

template <typename T> void SettingsManager::assign(T& field, const T& value, Setting setting) {
    if (field == value) {
        return;
    }
    field = value;
    emit settingChanged(setting);
}

void SettingsManager::setLaunchAtLogin(bool value) {
    assign(m_launchAtLogin, value, Setting::launchAtLogin);
    updateLaunchAtLogin(value);
}

void SettingsManager::setExcludedAppBundleIDs(const QSet<QString>& value) {
    assign(m_excludedAppBundleIDs, value, Setting::excludedAppBundleIDs);
    // Sorted, so the stored list does not change order from one write to the next.
    QStringList ids(value.begin(), value.end());
    std::sort(ids.begin(), ids.end());
    store("setExcludedAppBundleIDs", kExcludedApps, ids);
}

void SettingsManager::setShowRestoreNotifications(bool value) {
    assign(m_showRestoreNotifications, value, Setting::showRestoreNotifications);
    store("setShowRestoreNotifications", kShowNotifications, value);
}

void SettingsManager::setAppTheme(AppTheme value) {
    assign(m_appTheme, value, Setting::appTheme);
    store("setAppTheme", kAppTheme, AppThemes::rawValue(value));
    applyTheme();
}

void SettingsManager::setWorkspaceSortOption(const QString& value) {
    assign(m_workspaceSortOption, value, Setting::workspaceSortOption);
    store("setWorkspaceSortOption", kSortOption, value);
}

void SettingsManager::setEnableAnalysisLogging(bool value) {
    assign(m_enableAnalysisLogging, value, Setting::enableAnalysisLogging);
    store("setEnableAnalysisLogging", kAnalysisLogging, value);
}

void SettingsManager::applyTheme() {
    // The palette changes once control returns to the event loop, reading the theme current then;
    // an instance gone by that time has its theme applied as it was when this was called.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app,
            [self = QPointer<SettingsManager>(this), theme = m_appTheme] {
                AppThemes::apply(self ? self->m_appTheme : theme);
            },
            Qt::QueuedConnection);
    }
    emit appThemeChanged();
}

void SettingsManager::updateLaunchAtLogin(bool value) {
    const std::shared_ptr<LoginItems> loginItems = Platform::current().loginItems;
    const bool succeeded =
        loginItems && (value ? loginItems->registerApp() : loginItems->unregisterApp()).succeeded;
    if (!succeeded) {
        // Show the registration as it really is; no further register or unregister call.
        assign(m_launchAtLogin, loginItemEnabled(), Setting::launchAtLogin);
    }
}

bool SettingsManager::loginItemEnabled() {
    const std::shared_ptr<LoginItems> loginItems = Platform::current().loginItems;
    return loginItems && loginItems->status() == LoginItems::Status::enabled;
}

QSet<QString> SettingsManager::loadExcludedApps() {
    const QVariant stored = JsonSettingsFormat::userSettings()->value(kExcludedApps);
    if (stored.metaType().id() == QMetaType::QStringList) {
        const QStringList ids = stored.toStringList();
        return {ids.begin(), ids.end()};
    }
    if (stored.metaType().id() != QMetaType::QVariantList) {
        return {};
    }
    QSet<QString> ids;
    for (const QVariant& element : stored.toList()) {
        if (!isString(element)) {
            return {};
        }
        ids.insert(element.toString());
    }
    return ids;
}
