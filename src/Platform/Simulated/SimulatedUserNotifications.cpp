#include "Platform/Simulated/SimulatedUserNotifications.h"

#include "Platform/Clock.h"
#include "Platform/Platform.h"

void SimulatedUserNotifications::setNotificationCategories(const QList<NotificationCategory>& categories) {
    m_categories = categories;
}

QCoro::Task<UserNotifications::AuthorizationStatus> SimulatedUserNotifications::authorizationStatus() {
    co_return m_status;
}

QCoro::Task<UserNotifications::AuthorizationAnswer>
SimulatedUserNotifications::requestAuthorization(quint32 options) {
    m_requests.append(options);
    if (m_requestError) {
        co_return AuthorizationAnswer{false, m_requestError};
    }
    // The user is asked once; later requests get the answer given then.
    if (m_status == AuthorizationStatus::notDetermined) {
        m_status = m_userGrants ? AuthorizationStatus::authorized : AuthorizationStatus::denied;
    }
    co_return AuthorizationAnswer{m_status == AuthorizationStatus::authorized, std::nullopt};
}

QCoro::Task<std::optional<QString>> SimulatedUserNotifications::add(NotificationRequest request) {
    if (m_addDelay.count() > 0) {
        // Held for the whole sleep: a test may install another platform meanwhile.
        const std::shared_ptr<Clock> clock = Platform::current().clock;
        co_await clock->sleep(m_addDelay);
    }
    if (m_addError) {
        co_return m_addError;
    }
    std::optional<quint32> shown;
    if (m_inFront) {
        shown = m_foregroundOptions;
    }
    m_delivered.append({std::move(request), shown});
    co_return std::nullopt;
}

bool SimulatedUserNotifications::respond(const QString& requestIdentifier, const QString& actionIdentifier) {
    for (const Delivered& d : m_delivered) {
        if (d.request.identifier == requestIdentifier) {
            emit responseReceived(actionIdentifier, d.request.userInfo);
            return true;
        }
    }
    return false;
}
