#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <qcoro/qcorotask.h>

#include <optional>

// A button of a notification.
struct NotificationAction {
    QString identifier;
    QString title;
    // Choosing it brings the application to the front.
    bool foreground = false;
    bool operator==(const NotificationAction&) const = default;
};

// A kind of notification and the actions it offers.
struct NotificationCategory {
    QString identifier;
    QList<NotificationAction> actions;
    bool operator==(const NotificationCategory&) const = default;
};

// One notification to show at once. Empty texts are left out.
struct NotificationRequest {
    QString identifier;
    QString title;
    QString body;
    // A sound name ("blow.aiff"); empty for none.
    QString soundName;
    QString categoryIdentifier;
    // Comes back unchanged with the user's response.
    QVariantMap userInfo;
    bool operator==(const NotificationRequest&) const = default;
};

// The user's notification centre: the application's categories, its permission to show
// notifications, delivery, and what the user does with a delivered notification. Main thread.
class UserNotifications : public QObject {
    Q_OBJECT
public:
    enum class AuthorizationStatus { notDetermined, denied, authorized, provisional, ephemeral };

    // Permission options asked for.
    static constexpr quint32 AlertOption = 1;
    static constexpr quint32 SoundOption = 2;
    static constexpr quint32 BadgeOption = 4;

    // How a notification shows while the application is in front.
    static constexpr quint32 PresentBanner = 1;
    static constexpr quint32 PresentSound = 2;

    // The action identifiers of a plain click on the notification and of its dismissal.
    static inline const QString defaultActionIdentifier = QStringLiteral("default");
    static inline const QString dismissActionIdentifier = QStringLiteral("dismiss");

    struct AuthorizationAnswer {
        bool granted = false;
        // Set when the request itself failed.
        std::optional<QString> error;
    };

    using QObject::QObject;
    ~UserNotifications() override = default;

    // Replaces the registered categories.
    virtual void setNotificationCategories(const QList<NotificationCategory>& categories) = 0;
    virtual QCoro::Task<AuthorizationStatus> authorizationStatus() = 0;
    virtual QCoro::Task<AuthorizationAnswer> requestAuthorization(quint32 options) = 0;
    // Delivers the notification; the error's description when it could not be delivered.
    virtual QCoro::Task<std::optional<QString>> add(NotificationRequest request) = 0;
    // How notifications show while the application is in front (PresentBanner | PresentSound).
    virtual void setForegroundPresentationOptions(quint32 options) = 0;

signals:
    // The user chose an action of a delivered notification (or clicked or dismissed it).
    void responseReceived(const QString& actionIdentifier, const QVariantMap& userInfo);
};
