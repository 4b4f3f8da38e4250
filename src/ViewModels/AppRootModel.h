#pragma once

#include "ViewModels/OnboardingViewModel.h"

#include <QObject>

#include <functional>

// What the root of the menu-bar window shows: the onboarding until the user has finished it, the
// workspace list after that. The stored flag is read once, when the root is made; within one
// process the root never returns to the onboarding.
//
// The onboarding is on screen while the window is shown and onboarding is not complete; its
// once-a-second reading of the permissions runs then and only then, so a closed window or a
// finished onboarding leaves no timer running.
class AppRootModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isOnboardingComplete READ isOnboardingComplete WRITE setOnboardingComplete NOTIFY
                   isOnboardingCompleteChanged)
    // The onboarding's model; null when onboarding was complete before this root was made.
    Q_PROPERTY(OnboardingViewModel* onboarding READ onboarding CONSTANT)
public:
    static inline const QString onboardingCompleteKey = QStringLiteral("onboardingComplete");

    // quit ends the application from the onboarding's power button; by default the application's
    // own quit.
    explicit AppRootModel(QObject* parent = nullptr);
    explicit AppRootModel(std::function<void()> quit, QObject* parent = nullptr);
    ~AppRootModel() override;

    bool isOnboardingComplete() const { return m_isOnboardingComplete; }
    // The onboarding's binding: it stores the flag itself and then sets this.
    void setOnboardingComplete(bool complete);
    OnboardingViewModel* onboarding() const { return m_onboarding; }

    // The menu-bar window was shown or hidden.
    void setWindowVisible(bool visible);
    bool isWindowVisible() const { return m_windowVisible; }
    // Whether the onboarding is what the user sees now.
    bool isOnboardingOnScreen() const { return m_windowVisible && !m_isOnboardingComplete; }

    // Ends the onboarding: stores the flag and shows the workspace list.
    Q_INVOKABLE void finishOnboarding();

    // The stored flag; a missing key reads as false.
    static bool storedOnboardingComplete();

signals:
    void isOnboardingCompleteChanged();

private:
    // Starts or stops the onboarding's reading as it comes on screen or goes away.
    void updateOnboardingPresence(bool wasOnScreen);

    bool m_isOnboardingComplete = false;
    bool m_windowVisible = false;
    OnboardingViewModel* m_onboarding = nullptr;
};
