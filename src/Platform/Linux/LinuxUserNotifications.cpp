#include "Platform/Linux/LinuxUserNotifications.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QPointer>

#include <qcoro/qcorodbuspendingcall.h>

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");

} // namespace

LinuxUserNotifications::LinuxUserNotifications(QDBusConnection bus, QObject* parent)
    : UserNotifications(parent)
    , m_bus(std::move(bus)) {
    m_bus.connect(service, path, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(service, path, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void LinuxUserNotifications::setNotificationCategories(const QList<NotificationCategory>& categories) {
    m_categories = categories;
}

QCoro::Task<bool> LinuxUserNotifications::serverPresent() {
    if (!m_bus.isConnected()) {
        co_return false;
    }
    const QPointer<LinuxUserNotifications> self(this);
    // A server that runs, or one the bus starts on the first notification.
    for (const QString& method : {QStringLiteral("NameHasOwner"), QStringLiteral("ListActivatableNames")}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kBusService, kBusPath,
                                                           QStringLiteral("org.freedesktop.DBus"), method);
        if (method == QLatin1String("NameHasOwner")) {
            call << service;
        }
        const QDBusMessage answer = co_await m_bus.asyncCall(call);
        if (!self) {
            co_return false;
        }
        const QVariant value = answer.arguments().value(0);
        if (answer.type() == QDBusMessage::ReplyMessage &&
            (value.toBool() == true || value.toStringList().contains(service))) {
            co_return true;
        }
    }
    co_return false;
}

QCoro::Task<UserNotifications::AuthorizationStatus> LinuxUserNotifications::authorizationStatus() {
    co_return co_await serverPresent() ? AuthorizationStatus::authorized : AuthorizationStatus::denied;
}

QCoro::Task<UserNotifications::AuthorizationAnswer>
LinuxUserNotifications::requestAuthorization(quint32 options) {
    Q_UNUSED(options); // a server shows alerts and plays sounds as the user set it up
    AuthorizationAnswer answer;
    answer.granted = co_await serverPresent();
    co_return answer;
}

QString LinuxUserNotifications::bodyText(const QString& body, bool serverReadsMarkup) {
    return serverReadsMarkup ? body.toHtmlEscaped() : body;
}

QCoro::Task<QStringList> LinuxUserNotifications::serverCapabilities() {
    if (m_capabilities) {
        co_return *m_capabilities;
    }
    const QPointer<LinuxUserNotifications> self(this);
    const QDBusMessage answer = co_await m_bus.asyncCall(
        QDBusMessage::createMethodCall(service, path, kInterface, QStringLiteral("GetCapabilities")));
    if (answer.type() != QDBusMessage::ReplyMessage) {
        // Ask again next time: the server may not have been started yet.
        co_return QStringList();
    }
    // Bounded: only a few known names matter here.
    const QStringList capabilities = answer.arguments().value(0).toStringList().mid(0, 256);
    if (self) {
        m_capabilities = capabilities;
    }
    co_return capabilities;
}

LinuxUserNotifications::Message LinuxUserNotifications::message(const NotificationRequest& request,
                                                                const QList<NotificationCategory>& categories,
                                                                const QStringList& serverCapabilities) {
    Message message;
    message.summary = request.title.isEmpty() ? QStringLiteral("Ordella") : request.title;
    message.body = bodyText(request.body, serverCapabilities.contains(QStringLiteral("body-markup")));
    message.actions = QStringList{defaultActionIdentifier, QString()};
    for (const NotificationCategory& category : categories) {
        if (category.identifier == request.categoryIdentifier) {
            for (const NotificationAction& action : category.actions) {
                message.actions << action.identifier << action.title;
            }
        }
    }
    message.hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("ordella"));
    if (!request.soundName.isEmpty()) {
        // Sound names differ between desktops: the theme's own sound for a new message stands in.
        message.hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
    }
    // Every notification goes from the screen when the server's own expiry says so: one that
    // stayed would pile up over the windows (and the status line whose Revert does the same). A
    // server that keeps notifications keeps one with actions (Revert) after an action too.
    if (message.actions.size() > 2 && serverCapabilities.contains(QStringLiteral("persistence"))) {
        message.hints.insert(QStringLiteral("resident"), true);
    }
    return message;
}

QCoro::Task<std::optional<QString>> LinuxUserNotifications::add(NotificationRequest request) {
    const QPointer<LinuxUserNotifications> guard(this);
    const QStringList capabilities = co_await serverCapabilities();
    if (!guard) {
        co_return QStringLiteral("Ordella is quitting.");
    }
    const Message sent = message(request, m_categories, capabilities);
    const uint replaces = m_serverIds.value(request.identifier, 0);
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Ordella") << replaces << QStringLiteral("ordella") << sent.summary << sent.body
         << sent.actions << sent.hints << sent.expireTimeout;
    const QPointer<LinuxUserNotifications> self(this);
    const QDBusMessage answer = co_await m_bus.asyncCall(call);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
        co_return answer.errorMessage().isEmpty() ? QStringLiteral("The notification server gave no answer.")
                                                  : answer.errorMessage();
    }
    if (self) {
        const uint id = answer.arguments().constFirst().toUInt();
        m_userInfo.insert(id, request.userInfo);
        if (!request.identifier.isEmpty()) {
            m_serverIds.insert(request.identifier, id);
        }
    }
    co_return std::nullopt;
}

void LinuxUserNotifications::actionInvoked(uint id, const QString& actionKey) {
    // Only notifications still open here carry a response.
    const auto it = m_userInfo.constFind(id);
    if (it != m_userInfo.constEnd()) {
        emit responseReceived(actionKey, it.value());
    }
}

void LinuxUserNotifications::notificationClosed(uint id, uint reason) {
    Q_UNUSED(reason);
    m_userInfo.remove(id);
    m_serverIds.removeIf([id](const QHash<QString, uint>::iterator it) { return it.value() == id; });
}
