#include "ViewModels/OnboardingViewModel.h"

#include "Platform/Platform.h"
#include "Services/Desktop/PermissionManager.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "ViewModels/PermissionGrants.h"

#include <QCoreApplication>
#include <QPointer>

QString OnboardingViewModel::completeKey() {
    return QStringLiteral("onboardingComplete");
}

bool OnboardingViewModel::isCompleteStored() {
    return JsonSettingsFormat::userSettings()->value(completeKey()).toBool();
}

OnboardingViewModel::OnboardingViewModel(std::function<void()> quit, QObject* parent)
    : QObject(parent)
    , m_quit(quit ? std::move(quit) : [] { QCoreApplication::quit(); }) {
}

QString OnboardingViewModel::caption() const {
    if (!m_accessibilityGranted) {
        return QStringLiteral("Accessibility permission is required to continue");
    }
    if (!m_screenRecordingGranted) {
        return QStringLiteral("Screen Recording is optional. Placeholders will be shown without it.");
    }
    return {};
}

void OnboardingViewModel::appeared() {
    readPermissions();
    // One reading per screen: a screen shown again replaces its earlier timer.
    m_pollTimer =
        Platform::current().clock->startTimer(Clock::seconds(pollIntervalSeconds), true, [this] { tick(); });
}

void OnboardingViewModel::disappeared() {
    m_pollTimer.cancel();
}

void OnboardingViewModel::tick() {
    readPermissions();
    if (m_isOnboardingComplete) {
        m_pollTimer.cancel();
    }
}

void OnboardingViewModel::readPermissions() {
    const PermissionGrants grants = PermissionGrants::read();
    if (grants.accessibility != m_accessibilityGranted ||
        grants.screenRecording != m_screenRecordingGranted) {
        m_accessibilityGranted = grants.accessibility;
        m_screenRecordingGranted = grants.screenRecording;
        emit permissionsChanged();
    }
}

void OnboardingViewModel::grantAccessibility() {
    PermissionManager::openAccessibilityHelp();
}

void OnboardingViewModel::grantScreenRecording() {
    requestScreenRecording();
}

QCoro::Task<void> OnboardingViewModel::requestScreenRecording() {
    // The answer arrives through the next reading.
    co_await PermissionGrants::requestScreenRecording();
}

void OnboardingViewModel::continueOnboarding() {
    if (!m_accessibilityGranted) {
        return;
    }
    JsonSettingsFormat::userSettings()->setValue(completeKey(), true);
    if (!m_isOnboardingComplete) {
        m_isOnboardingComplete = true;
        emit onboardingCompleted();
    }
}

void OnboardingViewModel::quit() {
    m_quit();
}
