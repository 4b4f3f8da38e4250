#pragma once

#include <QDBusVariant>
#include <QObject>

#include <optional>

// Whether the desktop asks applications for a dark appearance. The freedesktop settings portal
// ("org.freedesktop.appearance" / "color-scheme") answers where the desktop has one; without an
// answer, the platform's palette decides (a dark window colour means a dark desktop).
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    // Portal values: no preference, prefer dark, prefer light.
    enum class Preference { none = 0, dark = 1, light = 2 };

    explicit DesktopColorScheme(QObject* parent = nullptr);

    bool prefersDark() const;
    // What the portal said, once it has answered.
    std::optional<Preference> portalPreference() const { return m_portal; }
    // Takes a portal answer (also used by tests in place of a session bus).
    void setPortalPreference(std::optional<Preference> preference);

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void readPortal();
    static std::optional<Preference> preferenceFrom(const QVariant& value);

    std::optional<Preference> m_portal;
};
