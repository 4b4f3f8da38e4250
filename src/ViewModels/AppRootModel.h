#pragma once

#include <QObject>

// What the root of the menu-bar window shows: the onboarding until the user has finished it, the
// workspace list after that. The stored flag is read once, when the root is made; within one
// process the root never returns to the onboarding.
class AppRootModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isOnboardingComplete READ isOnboardingComplete WRITE setOnboardingComplete NOTIFY
                   isOnboardingCompleteChanged)
public:
    static inline const QString onboardingCompleteKey = QStringLiteral("onboardingComplete");

    explicit AppRootModel(QObject* parent = nullptr);

    bool isOnboardingComplete() const { return m_isOnboardingComplete; }
    // The onboarding's binding: it stores the flag itself and then sets this.
    void setOnboardingComplete(bool complete);

    // Ends the onboarding: stores the flag and shows the workspace list.
    Q_INVOKABLE void finishOnboarding();

    // The stored flag; a missing key reads as false.
    static bool storedOnboardingComplete();

signals:
    void isOnboardingCompleteChanged();

private:
    bool m_isOnboardingComplete = false;
};
