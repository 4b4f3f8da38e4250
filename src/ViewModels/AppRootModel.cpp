#include "ViewModels/AppRootModel.h"

#include "Services/Storage/JsonSettingsFormat.h"

AppRootModel::AppRootModel(QObject* parent)
    : QObject(parent)
    , m_isOnboardingComplete(storedOnboardingComplete()) {
}

bool AppRootModel::storedOnboardingComplete() {
    return JsonSettingsFormat::userSettings()->value(onboardingCompleteKey, false).toBool();
}

void AppRootModel::setOnboardingComplete(bool complete) {
    if (complete != m_isOnboardingComplete) {
        m_isOnboardingComplete = complete;
        emit isOnboardingCompleteChanged();
    }
}

void AppRootModel::finishOnboarding() {
    const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
    settings->setValue(onboardingCompleteKey, true);
    settings->sync();
    setOnboardingComplete(true);
}
