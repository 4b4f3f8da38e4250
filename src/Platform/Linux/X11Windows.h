#pragma once

#include "Platform/Linux/X11Connection.h"

#include <QHash>
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// One window the window manager manages, as read in one go. Geometry is in root coordinates.
struct X11Client {
    enum class Type { Normal, Dialog, Utility, Toolbar, Menu, Splash, Dock, Desktop, Notification };

    xcb_window_t window = XCB_WINDOW_NONE;
    // The top-level window that holds it (the manager's frame), the unit of stacking.
    xcb_window_t frame = XCB_WINDOW_NONE;
    std::optional<qint32> pid;
    std::optional<QString> title;
    QString wmInstance;
    QString wmClass;
    Type type = Type::Normal;
    bool transient = false;
    bool skipTaskbar = false;
    bool minimized = false;
    bool fullScreen = false;
    bool above = false;
    // Drawn on screen now: mapped, with every ancestor mapped.
    bool viewable = false;
    // The virtual desktop it is on; 0xFFFFFFFF for every desktop, nothing when the manager says not.
    std::optional<quint32> desktop;
    QRect clientRect;
    // Left, top, right and bottom decoration the manager adds around the client.
    QMargins extents;
    // Space reserved at the root window's edges (the extended strut's 12 values, or the simple
    // strut's 4 followed by zeros); empty when the window reserves none.
    QList<quint32> strut;

    QRect frameRect() const { return clientRect.marginsAdded(extents); }
    // Whether it is drawn now: shown (not minimised) and on the current virtual desktop (or on all).
    bool isOnScreen(std::optional<quint32> currentDesktop) const;
};

// The managed windows of the X11 desktop and the requests an EWMH window manager honours for
// them. Reads go to the server every time (nothing here goes stale); the only memory is which
// process owns a window, which never changes while the window lives.
class X11Windows {
public:
    explicit X11Windows(std::shared_ptr<X11Connection> connection);

    X11Connection& connection() const { return *m_connection; }

    // Whether an EWMH window manager runs and offers what reading and moving windows needs.
    bool managerReady();
    // What is missing for managerReady(), for a message to the user; empty when nothing is.
    QString missingSupport();

    // The managed windows in the manager's list order (oldest first).
    QList<xcb_window_t> clientList();
    QList<X11Client> clients();
    QList<X11Client> clients(const QList<xcb_window_t>& windows);
    std::optional<X11Client> client(xcb_window_t window);
    // The managed windows front to back, by the server's real stacking of their frames.
    QList<X11Client> stackedClients();
    // Puts windows in front-to-back order.
    void sortFrontToBack(QList<X11Client>& windows);
    // How many managed windows the process made (as far as the server can tell who made them).
    qsizetype windowCountOf(qint32 pid);
    xcb_window_t activeWindow();
    std::optional<quint32> currentDesktop();

    // Requests to the window manager; each answers false when the window is not managed.
    // The frame's top-left corner goes to point (root coordinates).
    bool moveFrame(xcb_window_t window, const QPoint& point);
    // The frame takes size; the client gets it less the decoration.
    bool resizeFrame(xcb_window_t window, const QSize& size);
    bool minimize(xcb_window_t window);
    // Shows a minimised window again, which also activates it.
    bool deminimize(xcb_window_t window);
    bool activate(xcb_window_t window);
    // Raises the window to the top; one that is shown also gets the focus, as some managers raise
    // only the window they activate.
    bool raise(xcb_window_t window);
    bool close(xcb_window_t window);
    bool setFullScreen(xcb_window_t window, bool fullScreen);

private:
    bool isManaged(xcb_window_t window);
    QHash<xcb_window_t, qint32> pidsOf(const QList<xcb_window_t>& windows);
    QHash<xcb_window_t, xcb_window_t> framesOf(const QList<xcb_window_t>& windows,
                                               const QList<xcb_window_t>& topLevels);
    QList<xcb_window_t> rootChildren();

    std::shared_ptr<X11Connection> m_connection;
    QHash<xcb_window_t, qint32> m_pids;
    bool m_resChecked = false;
    bool m_hasRes = false;
};
