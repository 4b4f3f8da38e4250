#include "Platform/Linux/X11ServerTime.h"

#include <QGuiApplication>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

// Xlib only names the display; its macros stay below everything else.
#include <X11/Xlib.h>

namespace {

struct FreeEvent {
    void operator()(xcb_generic_event_t* event) const { std::free(event); }
};

} // namespace

X11ServerTime::X11ServerTime(QByteArray displayName)
    : m_displayName(std::move(displayName)) {
}

X11ServerTime::~X11ServerTime() {
    close();
}

QByteArray X11ServerTime::applicationDisplayName() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    const char* name = display ? XDisplayString(display) : nullptr;
    return name ? QByteArray(name) : QByteArray();
}

bool X11ServerTime::open() {
    if (m_connection) {
        return true;
    }
    if (m_unreachable) {
        return false;
    }
    int screenNumber = 0;
    m_connection = xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        close();
        m_unreachable = true;
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (; it.rem > 1 && screenNumber > 0; --screenNumber) {
        xcb_screen_next(&it);
    }
    // Never shown: an input-only window of one pixel, off screen, that only tells of its
    // property changes.
    m_window = xcb_generate_id(m_connection);
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, it.data->root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    static const char name[] = "_ORDELLA_SERVER_TIME";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, sizeof(name) - 1, name), nullptr);
    m_atom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
    if (m_atom == XCB_ATOM_NONE) {
        close();
        m_unreachable = true;
        return false;
    }
    return true;
}

void X11ServerTime::close() {
    if (m_connection) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
    }
    m_window = XCB_WINDOW_NONE;
}

std::optional<xcb_timestamp_t> X11ServerTime::now(std::chrono::milliseconds wait) {
    if (!open()) {
        return std::nullopt;
    }
    const xcb_void_cookie_t change = xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_window, m_atom,
                                                         XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(m_connection);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        while (std::unique_ptr<xcb_generic_event_t, FreeEvent> event{xcb_poll_for_event(m_connection)}) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            // A notice that came late for an earlier change is not this one's.
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && notify->window == m_window &&
                notify->sequence == quint16(change.sequence)) {
                return notify->time;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (xcb_connection_has_error(m_connection)) {
            close();
            return std::nullopt;
        }
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&descriptor, 1, int(std::min<qint64>(left.count(), 1000)));
    }
}
