#include "Support/ActivationRequests.h"

#include <cstdlib>

ActivationRequests::ActivationRequests()
    : m_connection(xcb_connect(nullptr, nullptr)) {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const quint32 mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    static const char name[] = "_NET_ACTIVE_WINDOW";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, sizeof(name) - 1, name), nullptr);
    m_atom = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(atom);
}

ActivationRequests::~ActivationRequests() {
    xcb_disconnect(m_connection);
}

QList<xcb_window_t> ActivationRequests::windows() {
    collect();
    QList<xcb_window_t> windows;
    for (const Request& request : m_requests) {
        windows.append(request.window);
    }
    return windows;
}

QList<xcb_timestamp_t> ActivationRequests::times() {
    collect();
    QList<xcb_timestamp_t> times;
    for (const Request& request : m_requests) {
        times.append(request.time);
    }
    return times;
}

void ActivationRequests::collect() {
    // A round trip: the server has passed on everything sent before it.
    std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && message->type == m_atom) {
            m_requests.append({message->window, message->data.data32[1]});
        }
        std::free(event);
    }
}
