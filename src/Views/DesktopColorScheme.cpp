#include "Views/DesktopColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

} // namespace

DesktopColorScheme::DesktopColorScheme(QObject* parent)
    : QObject(parent) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    }
    readPortal();
}

bool DesktopColorScheme::prefersDark() const {
    if (m_portal && *m_portal != Preference::none) {
        return *m_portal == Preference::dark;
    }
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightnessF() < 0.5;
}

void DesktopColorScheme::setPortalPreference(std::optional<Preference> preference) {
    if (m_portal != preference) {
        m_portal = preference;
        emit changed();
    }
}

bool DesktopColorScheme::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange) {
        emit changed();
    }
    return QObject::eventFilter(watched, event);
}

void DesktopColorScheme::readPortal() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        if (!reply.isError()) {
            setPortalPreference(preferenceFrom(reply.value().variant()));
        }
        call->deleteLater();
    });
}

void DesktopColorScheme::portalSettingChanged(const QString& group, const QString& key,
                                              const QDBusVariant& value) {
    if (group == kGroup && key == kKey) {
        setPortalPreference(preferenceFrom(value.variant()));
    }
}

std::optional<DesktopColorScheme::Preference> DesktopColorScheme::preferenceFrom(const QVariant& value) {
    // Read answers a variant wrapped once more; SettingChanged does not.
    QVariant inner = value;
    if (inner.canConvert<QDBusVariant>()) {
        inner = inner.value<QDBusVariant>().variant();
    }
    bool ok = false;
    const uint raw = inner.toUInt(&ok);
    if (!ok || raw > 2) {
        return std::nullopt;
    }
    return static_cast<Preference>(raw);
}
