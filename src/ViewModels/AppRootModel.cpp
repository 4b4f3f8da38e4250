#include "ViewModels/AppRootModel.h"

#include "Services/Storage/JsonSettingsFormat.h"
#include "ViewModels/OnboardingViewModel.h"

AppRootModel::AppRootModel(QObject* parent)
    : AppRootModel(std::function<void()>(), parent) {
}

AppRootModel::AppRootModel(std::function<void()> quit, QObject* parent)
    : QObject(parent)
    , m_isOnboardingComplete(storedOnboardingComplete()) {
    if (!m_isOnboardingComplete) {
        m_onboarding = new OnboardingViewModel(std::move(quit), this);
        connect(m_onboarding, &OnboardingViewModel::onboardingCompleted, this,
                [this] { setOnboardingComplete(true); });
    }
}

AppRootModel::~AppRootModel() = default;

bool AppRootModel::storedOnboardingComplete() {
    return JsonSettingsFormat::userSettings()->value(onboardingCompleteKey, false).toBool();
}

void AppRootModel::setOnboardingComplete(bool complete) {
    if (complete != m_isOnboardingComplete) {
        const bool wasOnScreen = isOnboardingOnScreen();
        m_isOnboardingComplete = complete;
        emit isOnboardingCompleteChanged();
        updateOnboardingPresence(wasOnScreen);
    }
}

void AppRootModel::setWindowVisible(bool visible) {
    if (visible != m_windowVisible) {
        const bool wasOnScreen = isOnboardingOnScreen();
        m_windowVisible = visible;
        updateOnboardingPresence(wasOnScreen);
    }
}

void AppRootModel::updateOnboardingPresence(bool wasOnScreen) {
    const bool onScreen = isOnboardingOnScreen();
    if (!m_onboarding || onScreen == wasOnScreen) {
        return;
    }
    if (onScreen) {
        m_onboarding->appeared();
    } else {
        m_onboarding->disappeared();
    }
}

void AppRootModel::finishOnboarding() {
    const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
    settings->setValue(onboardingCompleteKey, true);
    settings->sync();
    setOnboardingComplete(true);
}
