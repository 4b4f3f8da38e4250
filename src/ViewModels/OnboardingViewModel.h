#pragma once

#include "Platform/Clock.h"

#include <QObject>
#include <QString>

#include <qcoro/qcorotask.h>

#include <functional>

// The first-start screen: which permissions Ordella needs, whether each is granted, the way to
// each grant, and Continue once the required one is there. On this desktop "Accessibility" is
// access to other applications' windows (an X11 session with an EWMH window manager) and "Screen
// Recording" is window pictures (the Composite extension).
//
// While the screen is shown both grants are read again once a second, so a change made elsewhere
// shows within a second. The polling stops when the screen goes away or onboarding completes.
class OnboardingViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY permissionsChanged)
    Q_PROPERTY(bool screenRecordingGranted READ screenRecordingGranted NOTIFY permissionsChanged)
    // Continue is enabled (and its warning symbol hidden) once Accessibility is granted.
    Q_PROPERTY(bool canContinue READ canContinue NOTIFY permissionsChanged)
    // The line under Continue; empty (and left out) once both are granted.
    Q_PROPERTY(QString caption READ caption NOTIFY permissionsChanged)
    Q_PROPERTY(bool isOnboardingComplete READ isOnboardingComplete NOTIFY onboardingCompleted)

public:
    static constexpr double pollIntervalSeconds = 1.0;
    // The user setting that records the completion; only ever set to true.
    static QString completeKey();
    // Whether onboarding was completed in an earlier run (or this one).
    static bool isCompleteStored();

    // quit ends the application (the power button); by default the application's own quit.
    explicit OnboardingViewModel(std::function<void()> quit = {}, QObject* parent = nullptr);

    bool accessibilityGranted() const { return m_accessibilityGranted; }
    bool screenRecordingGranted() const { return m_screenRecordingGranted; }
    bool canContinue() const { return m_accessibilityGranted; }
    QString caption() const;
    bool isOnboardingComplete() const { return m_isOnboardingComplete; }
    // Whether the once-a-second reading is running.
    bool isMonitoring() const { return m_pollTimer.isActive(); }

    // The screen comes on screen: reads both grants and starts reading them once a second.
    Q_INVOKABLE void appeared();
    // The screen goes away: the reading stops.
    Q_INVOKABLE void disappeared();
    // The grant actions of the two rows. Access to windows cannot be granted from an application
    // here: a page says what the desktop must offer. Screen recording is asked of the platform.
    Q_INVOKABLE void grantAccessibility();
    Q_INVOKABLE void grantScreenRecording();
    // Continue: with Accessibility granted, records the completion and tells the root view.
    Q_INVOKABLE void continueOnboarding();
    // The power button.
    Q_INVOKABLE void quit();

signals:
    void permissionsChanged();
    void onboardingCompleted();

private:
    void readPermissions();
    void tick();
    QCoro::Task<void> requestScreenRecording();

    std::function<void()> m_quit;
    bool m_accessibilityGranted = false;
    bool m_screenRecordingGranted = false;
    bool m_isOnboardingComplete = false;
    ClockTimer m_pollTimer;
};
