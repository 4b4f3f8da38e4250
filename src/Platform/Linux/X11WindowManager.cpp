#include "Platform/Linux/X11WindowManager.h"

#include <QStringList>

namespace {

// What a manager must offer for windows to be listed, moved and stacked.
constexpr const char* kRequiredSupport[] = {"_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW", "_NET_WM_STATE",
                                            "_NET_MOVERESIZE_WINDOW", "_NET_CLOSE_WINDOW"};

} // namespace

X11WindowManager::X11WindowManager(X11Connection& connection)
    : m_connection(connection) {
}

QString X11WindowManager::missingSupport() {
    X11Connection& x = m_connection;
    const xcb_atom_t check = x.atom("_NET_SUPPORTING_WM_CHECK");
    const xcb_atom_t supportedAtom = x.atom("_NET_SUPPORTED");
    // The manager's check window stays while it runs: the one seen last is asked about in the
    // same flight as the root, and only a new one costs a second wait.
    const xcb_window_t seen = m_checkWindow;
    const auto asked = x.properties(
        {{x.root(), check}, {x.root(), supportedAtom}, {seen == XCB_WINDOW_NONE ? x.root() : seen, check}});
    const QList<quint32> rootCheck = asked.value(0).value_or(X11Connection::Property()).items();
    const QList<quint32> supported = asked.value(1).value_or(X11Connection::Property()).items();
    // A manager that went away leaves its old check window behind; the window must point at itself.
    QList<quint32> selfCheck;
    if (!rootCheck.isEmpty() && rootCheck.first() == seen) {
        selfCheck = asked.value(2).value_or(X11Connection::Property()).items();
    } else if (!rootCheck.isEmpty()) {
        selfCheck = x.property(rootCheck.first(), check).value_or(X11Connection::Property()).items();
    }
    if (rootCheck.isEmpty() || selfCheck.isEmpty() || selfCheck.first() != rootCheck.first()) {
        m_checkWindow = XCB_WINDOW_NONE;
        m_name.clear();
        return QStringLiteral("no window manager that follows the Extended Window Manager Hints is running");
    }
    if (rootCheck.first() != m_checkWindow) {
        // Once per manager: its name, for the habits it is known by.
        const std::optional<X11Connection::Property> name =
            x.property(rootCheck.first(), x.atom("_NET_WM_NAME"));
        m_name = name ? name->text() : QString();
    }
    m_checkWindow = rootCheck.first();
    QStringList missing;
    for (const char* name : kRequiredSupport) {
        if (!supported.contains(x.atom(name))) {
            missing << QString::fromLatin1(name);
        }
    }
    return missing.isEmpty()
               ? QString()
               : QStringLiteral("the window manager does not support ") + missing.join(QStringLiteral(", "));
}

void X11WindowManager::know() {
    if (m_checkWindow == XCB_WINDOW_NONE) {
        missingSupport();
    }
}

QString X11WindowManager::name() {
    know();
    return m_name;
}

bool X11WindowManager::mapActivatesAway() {
    return name() == QLatin1String("KWin");
}

bool X11WindowManager::showsAwayOnlyWhenActivated() {
    // Mutter names itself so; forks that keep its code add their own name in brackets.
    const QString manager = name();
    return manager == QLatin1String("Mutter") || manager.startsWith(QLatin1String("Mutter (")) ||
           manager == QLatin1String("GNOME Shell");
}

bool X11WindowManager::bringsRaisedWindowsOver() {
    return name() == QLatin1String("Xfwm4");
}

bool X11WindowManager::takesRaises() {
    static const QStringList takingRaises{QStringLiteral("Openbox"), QStringLiteral("Xfwm4"),
                                          QStringLiteral("Fluxbox")};
    return takingRaises.contains(name());
}
