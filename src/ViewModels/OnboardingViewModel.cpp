#include "ViewModels/OnboardingViewModel.h"

#include "Platform/Accessibility.h"
#include "Platform/Platform.h"
#include "Platform/ScreenCapture.h"
#include "Services/Desktop/PermissionManager.h"
#include "Services/Storage/JsonSettingsFormat.h"

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
    // Neither read asks the user anything.
    const Platform& platform = Platform::current();
    const bool accessibility = platform.accessibility && platform.accessibility->isProcessTrusted();
    const bool screenRecording = platform.screenCapture && platform.screenCapture->preflightAccess();
    if (accessibility != m_accessibilityGranted || screenRecording != m_screenRecordingGranted) {
        m_accessibilityGranted = accessibility;
        m_screenRecordingGranted = screenRecording;
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
    // Held for the whole wait, so the service outlives the answer; the answer itself arrives
    // through the next reading.
    const std::shared_ptr<ScreenCapture> capture = Platform::current().screenCapture;
    if (capture) {
        co_await capture->requestAccess();
    }
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
