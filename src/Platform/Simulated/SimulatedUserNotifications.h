#pragma once

#include <chrono>

#include "Platform/UserNotifications.h"

#include <QList>

#include <optional>

// The notification centre of the simulated desktop. Permission starts undecided; a request is
// answered the way the test set (granted by default) and remembered. Delivered notifications
// are kept, with how they were shown; respond() plays the user choosing an action.
class SimulatedUserNotifications : public UserNotifications {
    Q_OBJECT
public:
    struct Delivered {
        NotificationRequest request;
        // Shown while the application was in front, with these options (0: not shown).
        std::optional<quint32> foregroundOptions;
    };

    using UserNotifications::UserNotifications;

    void setNotificationCategories(const QList<NotificationCategory>& categories) override;
    QCoro::Task<AuthorizationStatus> authorizationStatus() override;
    QCoro::Task<AuthorizationAnswer> requestAuthorization(quint32 options) override;
    QCoro::Task<std::optional<QString>> add(NotificationRequest request) override;
    void setForegroundPresentationOptions(quint32 options) override { m_foregroundOptions = options; }

    // What the user answers to the next permission requests, and a failure of the request itself.
    void setStatus(AuthorizationStatus status) { m_status = status; }
    void setUserGrants(bool grants) { m_userGrants = grants; }
    void setRequestError(std::optional<QString> error) { m_requestError = std::move(error); }
    // Deliveries fail with this description while it is set.
    void setAddError(std::optional<QString> error) { m_addError = std::move(error); }
    // A server that takes this long (on the platform's clock) to take a notification.
    void setAddDelay(std::chrono::milliseconds delay) { m_addDelay = delay; }
    // Whether the application is in front when a notification arrives.
    void setApplicationInFront(bool inFront) { m_inFront = inFront; }

    // The user chooses actionIdentifier on the delivered notification with that identifier;
    // false when there is none.
    bool respond(const QString& requestIdentifier, const QString& actionIdentifier);

    AuthorizationStatus status() const { return m_status; }
    const QList<NotificationCategory>& categories() const { return m_categories; }
    const QList<Delivered>& delivered() const { return m_delivered; }
    // The options of every permission request, in order.
    const QList<quint32>& authorizationRequests() const { return m_requests; }

private:
    QList<NotificationCategory> m_categories;
    AuthorizationStatus m_status = AuthorizationStatus::notDetermined;
    bool m_userGrants = true;
    std::optional<QString> m_requestError;
    std::optional<QString> m_addError;
    std::chrono::milliseconds m_addDelay{0};
    bool m_inFront = false;
    quint32 m_foregroundOptions = 0;
    QList<Delivered> m_delivered;
    QList<quint32> m_requests;
};
