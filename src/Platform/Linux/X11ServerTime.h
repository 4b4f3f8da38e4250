#pragma once

#include <xcb/xcb.h>

#include <QByteArray>

#include <chrono>
#include <optional>

// The X server's time now, as window managers want it with requests that stand for a user's action
// (an activation): the time the server gives a zero-length change of a property of a window of
// its own. The change and its notice go over a connection of this class's own, so waiting for the
// notice takes no event from the connection the rest of the program reads its events on.
class X11ServerTime {
public:
    // The display as the program's own connection reached it (empty: the DISPLAY variable).
    explicit X11ServerTime(QByteArray displayName = {});
    ~X11ServerTime();
    X11ServerTime(const X11ServerTime&) = delete;
    X11ServerTime& operator=(const X11ServerTime&) = delete;

    // Nothing when the server cannot be reached or gives no answer within wait.
    std::optional<xcb_timestamp_t> now(std::chrono::milliseconds wait);

    // The display name of the Xlib display Qt opened, which names the server it talks to.
    static QByteArray applicationDisplayName();

private:
    bool open();
    void close();

    QByteArray m_displayName;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_atom = XCB_ATOM_NONE;
    // A server that cannot be reached is not asked again at every activation.
    bool m_unreachable = false;
};
