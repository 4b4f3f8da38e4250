#include "Platform/DesktopComponents.h"

#include <QSet>

bool DesktopComponents::isDesktopComponent(const QString& identifier) {
    static const QSet<QString> known{
        // Dock, menu bar, control and notification centres, the login window, the window manager.
        QStringLiteral("com.apple.dock"),
        QStringLiteral("com.apple.systemuiserver"),
        QStringLiteral("com.apple.controlcenter"),
        QStringLiteral("com.apple.notificationcenterui"),
        QStringLiteral("com.apple.loginwindow"),
        QStringLiteral("com.apple.windowmanager"),
        // Shells and desktops.
        QStringLiteral("org.gnome.shell"),
        QStringLiteral("gnome-shell"),
        QStringLiteral("gnome-flashback"),
        QStringLiteral("gnome-panel"),
        QStringLiteral("plasmashell"),
        QStringLiteral("org.kde.plasmashell"),
        QStringLiteral("cinnamon"),
        QStringLiteral("budgie-panel"),
        QStringLiteral("xfce4-panel"),
        QStringLiteral("xfdesktop"),
        QStringLiteral("xfce4-session"),
        QStringLiteral("mate-panel"),
        QStringLiteral("mate-session"),
        QStringLiteral("lxpanel"),
        QStringLiteral("lxqt-panel"),
        QStringLiteral("lxqt-session"),
        QStringLiteral("pcmanfm-desktop"),
        QStringLiteral("pcmanfm-qt-desktop"),
        QStringLiteral("nautilus-desktop"),
        QStringLiteral("tint2"),
        QStringLiteral("plank"),
        // Window managers.
        QStringLiteral("org.kde.kwin"),
        QStringLiteral("kwin_x11"),
        QStringLiteral("kwin_wayland"),
        QStringLiteral("mutter"),
        QStringLiteral("metacity"),
        QStringLiteral("marco"),
        QStringLiteral("xfwm4"),
        QStringLiteral("openbox"),
        QStringLiteral("fluxbox"),
        QStringLiteral("i3"),
        // Notification daemons.
        QStringLiteral("dunst"),
        QStringLiteral("xfce4-notifyd"),
        QStringLiteral("notify-osd"),
        QStringLiteral("mako"),
        QStringLiteral("org.kde.plasma.notifications"),
    };
    QString id = identifier.trimmed().toLower();
    // A program without a desktop entry is known by the path of its executable.
    if (const qsizetype slash = id.lastIndexOf(QLatin1Char('/')); slash >= 0) {
        id = id.mid(slash + 1);
    }
    if (id.endsWith(QLatin1String(".desktop"))) {
        id.chop(8);
    }
    return known.contains(id);
}
