#include "Platform/Linux/X11LoweredStacking.h"

#include "Platform/Linux/X11Connection.h"

#include <QSet>
#include <QTimer>

X11LoweredStacking::X11LoweredStacking(X11Connection& connection,
                                       std::function<void(xcb_window_t front)> sent)
    : m_connection(connection)
    , m_sent(std::move(sent))
    , m_context(std::make_unique<QObject>()) {
}

X11LoweredStacking::~X11LoweredStacking() = default;

bool X11LoweredStacking::building(quint32 desktop) const {
    return m_order && m_order->desktop == desktop &&
           std::chrono::steady_clock::now() - m_order->at < X11Connection::passLifetime;
}

void X11LoweredStacking::raise(xcb_window_t window, quint32 desktop,
                               const QList<xcb_window_t>& windowsOfDesktop) {
    QList<xcb_window_t> order;
    if (building(desktop)) {
        // The order asked for stands, with the windows of the desktop that came since in front.
        const QSet<xcb_window_t> asked(m_order->frontToBack.cbegin(), m_order->frontToBack.cend());
        const QSet<xcb_window_t> onDesktop(windowsOfDesktop.cbegin(), windowsOfDesktop.cend());
        for (const xcb_window_t other : windowsOfDesktop) {
            if (!asked.contains(other)) {
                order.append(other);
            }
        }
        for (const xcb_window_t other : std::as_const(m_order->frontToBack)) {
            if (onDesktop.contains(other)) {
                order.append(other);
            }
        }
    } else {
        send(); // another desktop's, asked before
        order = windowsOfDesktop;
    }
    order.removeAll(window);
    order.prepend(window);
    const bool scheduled = m_order && !m_order->sent;
    m_order = Order{desktop, order, std::chrono::steady_clock::now(), false};
    if (!scheduled) {
        QTimer::singleShot(0, m_context.get(), [this] { send(); });
    }
}

void X11LoweredStacking::send() {
    if (!m_order || m_order->sent) {
        return;
    }
    m_order->sent = true;
    const quint32 below = XCB_STACK_MODE_BELOW;
    for (qsizetype i = 1; i < m_order->frontToBack.size(); ++i) {
        m_connection.discard(xcb_configure_window_checked(m_connection.xcb(), m_order->frontToBack[i],
                                                          XCB_CONFIG_WINDOW_STACK_MODE, &below));
    }
    m_connection.flush();
    m_sent(m_order->frontToBack.value(0, XCB_WINDOW_NONE));
}
