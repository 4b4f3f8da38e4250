#pragma once

#include "Platform/Linux/X11Client.h"
#include "Platform/Linux/X11ClientProperties.h"
#include "Platform/Linux/X11Connection.h"

#include <xcb/res.h>

#include <QHash>
#include <QList>
#include <QSet>

#include <array>
#include <chrono>
#include <optional>
#include <vector>

// Reads managed windows from the X server in one flight: every request goes out before the first
// answer is awaited, so that reading any number of windows (and the root's list, stacking, active
// window and desktop along with them) costs one wait for the server. Keeps what outlives a read:
// the frame found for a window that sits deeper than a child of its frame, while the window's
// parent and that frame stay the same.
class X11WindowReader {
public:
    explicit X11WindowReader(X11Connection& connection);
    ~X11WindowReader();
    X11WindowReader(const X11WindowReader&) = delete;
    X11WindowReader& operator=(const X11WindowReader&) = delete;

    // What the root window is asked for along with the windows.
    struct RootWanted {
        bool children = false;
        bool clientList = false;
        bool activeWindow = false;
        bool currentDesktop = false;
    };
    struct Result {
        // The root's children, bottom to top.
        std::optional<QList<xcb_window_t>> rootChildren;
        std::optional<QList<xcb_window_t>> clientList;
        std::optional<xcb_window_t> activeWindow;
        std::optional<std::optional<quint32>> currentDesktop;
        // One entry for each window asked for, in the same order; nothing for a window that was
        // gone when it was read.
        QList<std::optional<X11Client>> clients;
    };

    // The requests of one read, sent and not answered yet.
    struct Flight {
        struct Asked {
            xcb_get_geometry_cookie_t geometry;
            xcb_translate_coordinates_cookie_t origin;
            xcb_get_window_attributes_cookie_t attributes;
            xcb_query_tree_cookie_t tree;
            std::optional<xcb_res_query_client_ids_cookie_t> owner;
            std::array<xcb_get_property_cookie_t, X11ClientProperties::count> properties;
        };
        QList<xcb_window_t> windows;
        std::optional<xcb_query_tree_cookie_t> rootTree;
        std::optional<xcb_get_property_cookie_t> clientList;
        std::optional<xcb_get_property_cookie_t> activeWindow;
        std::optional<xcb_get_property_cookie_t> currentDesktop;
        std::vector<Asked> asked;
    };

    // Reads windows; a frame is found among topLevels (the root's children, bottom to top) unless
    // the root's children are asked for, in which case those read now are used.
    Result read(const QList<xcb_window_t>& windows, const RootWanted& wanted,
                const QList<xcb_window_t>& topLevels);
    // The two halves of a read: the requests, sent now, and their answers, taken once (as the
    // windows stood when they were asked). A flight whose answers are not wanted is dropped.
    Flight ask(const QList<xcb_window_t>& windows, const RootWanted& wanted);
    Result collect(const Flight& flight, const QList<xcb_window_t>& topLevels);
    void drop(const Flight& flight);
    // One read asked ahead (with the root's list, stacking, active window and desktop, which a
    // later pass has none of), taken by a read of exactly the same windows while it is fresh, and
    // dropped by anything else: another read asked ahead, or dropAhead.
    void askAhead(const QList<xcb_window_t>& windows);
    std::optional<Result> takeAhead(const QList<xcb_window_t>& windows, const QList<xcb_window_t>& topLevels);
    void dropAhead();
    // The root's children, bottom to top, on their own.
    QList<xcb_window_t> rootChildren();
    // Forgets what is kept of the windows that are not in live.
    void keepOnly(const QSet<xcb_window_t>& live);

private:
    // The frame that held a window below another window of the manager's, and that window.
    struct KeptFrame {
        xcb_window_t parent = XCB_WINDOW_NONE;
        xcb_window_t frame = XCB_WINDOW_NONE;
    };

    void checkRes();
    static std::optional<qint32> ownerOf(const X11Reply<xcb_res_query_client_ids_reply_t>& reply);
    static QList<xcb_window_t> children(const X11Reply<xcb_query_tree_reply_t>& tree);
    static xcb_window_t firstItem(const std::optional<X11Connection::Property>& property);
    // The frame of each window, given each one's parent and the root's children.
    QHash<xcb_window_t, xcb_window_t> framesOf(const QList<xcb_window_t>& windows,
                                               const QList<xcb_window_t>& parents,
                                               const QList<xcb_window_t>& topLevels);

    // A read asked ahead, and when.
    struct Ahead {
        Flight flight;
        std::chrono::steady_clock::time_point at;
    };

    X11Connection& m_connection;
    QHash<xcb_window_t, KeptFrame> m_frames;
    std::optional<Ahead> m_ahead;
    bool m_resChecked = false;
    bool m_hasRes = false;
};
