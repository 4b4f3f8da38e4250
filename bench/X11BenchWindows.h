#pragma once

// Requests and reads on the windows of the benchmarks' X session, made as a pager makes them.

#include "X11BenchSession.h"

#include <QDir>
#include <QList>
#include <QPoint>
#include <QString>

#include <array>
#include <cstdlib>
#include <optional>

namespace bench {

inline X11BenchSession* g_session = nullptr;

inline QString applicationsFolder() {
    const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
    QDir().mkpath(folder);
    return folder;
}

// The frame's top-left corner of a managed window, in root coordinates.
inline std::optional<QPoint> frameTopLeft(xcb_window_t window) {
    xcb_connection_t* c = g_session->xcb();
    auto* origin = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, window, g_session->root(), 0, 0), nullptr);
    if (!origin) {
        return std::nullopt;
    }
    const QPoint client(origin->dst_x, origin->dst_y);
    std::free(origin);
    const QList<quint32> extents = g_session->items(window, g_session->atom("_NET_FRAME_EXTENTS"));
    return extents.size() >= 4 ? client - QPoint(int(extents[0]), int(extents[2])) : client;
}

inline void sendRootMessage(xcb_window_t window, const char* type, std::array<quint32, 5> data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = g_session->atom(type);
    for (size_t i = 0; i < data.size(); ++i) {
        event.data.data32[i] = data[i];
    }
    xcb_send_event(g_session->xcb(), 0, g_session->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

inline void moveFrame(xcb_window_t window, QPoint point) {
    // North-west gravity, x and y given, from a pager.
    sendRootMessage(window, "_NET_MOVERESIZE_WINDOW",
                    {1u | (1u << 8) | (1u << 9) | (2u << 12), quint32(point.x()), quint32(point.y()), 0, 0});
}

// Minimised, on whichever desktop: openbox marks every window of a desktop not shown iconic, but
// the hidden state only on minimised ones.
inline bool isMinimized(xcb_window_t window) {
    return g_session->items(window, g_session->atom("_NET_WM_STATE"))
        .contains(g_session->atom("_NET_WM_STATE_HIDDEN"));
}

inline quint32 desktopOf(xcb_window_t window) {
    return g_session->items(window, g_session->atom("_NET_WM_DESKTOP")).value(0, 0);
}

// Asks the manager for a number of desktops, the first one shown, and waits until it has them.
inline bool useDesktops(int count) {
    sendRootMessage(g_session->root(), "_NET_NUMBER_OF_DESKTOPS", {quint32(count), 0, 0, 0, 0});
    sendRootMessage(g_session->root(), "_NET_CURRENT_DESKTOP", {0, 0, 0, 0, 0});
    xcb_flush(g_session->xcb());
    return bench::X11BenchSession::waitFor(
        [count] {
            return g_session->items(g_session->root(), g_session->atom("_NET_NUMBER_OF_DESKTOPS")).value(0) ==
                       quint32(count) &&
                   g_session->items(g_session->root(), g_session->atom("_NET_CURRENT_DESKTOP")).value(0) == 0;
        },
        10000);
}

// Every managed window of the processes.
inline QList<xcb_window_t> windowsOf(const QList<qint64>& pids) {
    QList<xcb_window_t> result;
    const xcb_atom_t pidAtom = g_session->atom("_NET_WM_PID");
    for (const xcb_window_t window : g_session->clientList()) {
        const QList<quint32> pid = g_session->items(window, pidAtom);
        if (!pid.isEmpty() && pids.contains(qint64(pid.first()))) {
            result.append(window);
        }
    }
    return result;
}

} // namespace bench
