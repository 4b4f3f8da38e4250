#pragma once

#include "Platform/Linux/X11Client.h"
#include "Platform/Linux/X11Connection.h"
#include "Platform/Linux/X11LoweredStacking.h"
#include "Platform/Linux/X11WindowManager.h"
#include "Platform/Linux/X11WindowReader.h"

#include <QHash>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSet>
#include <QSize>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

// The managed windows of the X11 desktop and the requests an EWMH window manager honours for
// them. What is read from the server is kept for the rest of the connection's current pass (one
// step of a restore, say: see X11Connection::pass), so that listing an application's windows and
// reading each of their attributes costs one read of each window, not one of every window per
// attribute. A request this class makes forgets what it changes; a change of a root
// property (the active window, the stacking) and the next pass of the event loop forget
// everything, while a change of the client list forgets only the list and the stacking. What
// outlives a pass: the frame found for a window that sits deeper than a child of its frame, kept
// while the window's parent and the frame stay the same, and the last reading of each listed
// window, for what does not change while it lives (its owner and class: see listedClients).
class X11Windows {
public:
    explicit X11Windows(std::shared_ptr<X11Connection> connection);
    ~X11Windows();
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    X11Connection& connection() const { return *m_connection; }

    // Whether an EWMH window manager runs and offers what reading and moving windows needs.
    bool managerReady();
    // What is missing for managerReady(), for a message to the user; empty when nothing is.
    QString missingSupport();

    // The managed windows in the manager's list order (oldest first).
    QList<xcb_window_t> clientList();
    QList<X11Client> clients();
    QList<X11Client> clients(const QList<xcb_window_t>& windows);
    // The managed windows in the list's order as last read, reading only those never read yet
    // (or read before their owner and class could be told): their owners, classes and types hold,
    // but where they are and their state may be out of date. For following the list as windows
    // come and go, and for telling whose windows are whose, at the cost of one read of each.
    // When this pass has not read the list yet, the windows last listed for the processes in
    // readAlong are read afresh in the same flight, for a caller about to read them anyway.
    QList<X11Client> listedClients(const QSet<qint32>& readAlong = {});
    std::optional<X11Client> client(xcb_window_t window);
    // The window as this pass read it, even when a request changed it since: what a further
    // request needs (that it is managed, its decoration), without reading it again. Read from
    // the server when this pass has not read it yet.
    std::optional<X11Client> clientForRequest(xcb_window_t window);
    // The managed windows front to back, by the server's real stacking of their frames.
    QList<X11Client> stackedClients();
    // The managed windows front to back, reading only the server's stacking: which frame holds
    // which window stays as last read. One request, for a wait on the stacking to change.
    QList<xcb_window_t> stackingOrder();
    // Puts windows in front-to-back order.
    void sortFrontToBack(QList<X11Client>& windows);
    // How many managed windows belong to the process (by the server's word on who made them, else
    // by the window's own).
    qsizetype windowCountOf(qint32 pid);
    xcb_window_t activeWindow();
    std::optional<quint32> currentDesktop();
    // How many virtual desktops the manager keeps; 0 when it says not.
    quint32 desktopCount();

    // Requests to the window manager; each answers false when the window is not managed.
    // The frame's top-left corner goes to point (root coordinates).
    bool moveFrame(xcb_window_t window, const QPoint& point);
    // The frame takes size; the client gets it less the decoration.
    bool resizeFrame(xcb_window_t window, const QSize& size);
    bool minimize(xcb_window_t window);
    // Shows a minimised window again, which also activates it; one of a desktop not shown is
    // shown on its own desktop, the way its manager needs, without switching the desktop.
    bool deminimize(xcb_window_t window);
    // Leaves a window of another desktop alone (false).
    bool activate(xcb_window_t window);
    // Whether the window is on the desktop shown, or on all; a window that is not managed is not.
    bool onCurrentDesktop(xcb_window_t window);
    // Raises the window to the top; one that is shown also gets the focus where the manager raises
    // only the window it activates.
    bool raise(xcb_window_t window);
    bool close(xcb_window_t window);
    // Puts the window on another virtual desktop; false also when the desktop does not exist.
    bool moveToDesktop(xcb_window_t window, quint32 desktop);
    bool setFullScreen(xcb_window_t window, bool fullScreen);

    // Forgets what this pass has read: the next read goes to the server.
    void invalidate();
    // Asks the server now for what a read of windows asks, so that a read of the same windows in a
    // later pass, within a moment, takes the answers (as the windows stood when they were asked)
    // instead of waiting for them: a wait that looks at windows again and again asks a little
    // before each look, and the server answers while it pauses. A request or a change of the
    // manager's list in between, or a read of other windows, drops the answers.
    void askAhead(const QList<xcb_window_t>& windows);
    // Changes whenever what this object read may have changed (a new pass, a request, a change
    // the manager announced): what was worked out from its reads under the same number holds.
    quint64 state();

private:
    // The first value of a property of the root window, as the manager last set it.
    std::optional<quint32> rootValue(const char* name);
    // What has been read in the current pass; an absent entry has not been read yet.
    struct Pass {
        std::optional<QList<xcb_window_t>> clientList;
        // The root's children, bottom to top.
        std::optional<QList<xcb_window_t>> rootChildren;
        // Each window read; nothing for a window that was gone when it was read.
        QHash<xcb_window_t, std::optional<X11Client>> clients;
        // Windows read in this pass that a request changed since, as they were read (with the
        // minimised state the request asked for).
        QHash<xcb_window_t, X11Client> requested;
        std::optional<xcb_window_t> activeWindow;
        // The window this pass asked the manager to activate last.
        xcb_window_t lastActivated = XCB_WINDOW_NONE;
        std::optional<std::optional<quint32>> currentDesktop;
        std::optional<quint32> desktopCount;
        std::optional<QString> missingSupport;
        // How many managed windows each process has.
        std::optional<QHash<qint32, qsizetype>> windowCounts;
        // The connection's pass it belongs to.
        quint64 pass = 0;
    };

    bool isManaged(xcb_window_t window);
    // The window as clientForRequest reads it, on the desktop it was last asked onto when that was
    // asked a moment ago.
    std::optional<X11Client> clientAsAsked(xcb_window_t window);
    // Asks the manager to add or take away the window's hidden state.
    void setHidden(xcb_window_t window, bool hidden);
    // Asks the manager to add or take away one _NET_WM_STATE of the window.
    // Raises a window of a desktop not shown under a manager that would bring it over to the
    // desktop shown (see X11WindowManager::bringsRaisedWindowsOver).
    void raiseByLowering(const X11Client& raised);
    void setState(xcb_window_t window, bool on, const char* state);
    // Reads the windows not read in this pass yet, all in one go.
    void read(const QList<xcb_window_t>& windows);
    QList<xcb_window_t> rootChildren();
    // What was read in the connection's current pass, to read from or add to.
    Pass& pass();
    // Forgets what was read in an earlier pass.
    void expire();
    // Forgets what this pass has read, keeping a read asked ahead.
    void forget();
    // The manager's list changed: the list and the stacking are read again.
    void listChanged();
    // Forgets what is kept of the windows that are not in the list any more.
    void keepList(const QList<xcb_window_t>& windows);
    // A request changed window (its place, size, state or stacking), and maybe whether it is
    // minimised.
    void changed(xcb_window_t window, bool stacking, std::optional<bool> minimized = std::nullopt);

    std::shared_ptr<X11Connection> m_connection;
    X11WindowReader m_reader;
    // The manager running on this connection, and the habits it is known by.
    X11WindowManager m_manager;
    // Receives the connection's signals; goes with this object.
    std::unique_ptr<QObject> m_context;
    Pass m_pass;
    quint64 m_state = 1;
    // The last reading of each window in the manager's list, whatever the pass.
    QHash<xcb_window_t, X11Client> m_listed;
    // The manager's list as last read, whatever the pass.
    QList<xcb_window_t> m_lastList;
    // The last window asked onto another desktop, which one and when: the manager carries out
    // requests in the order they come, so an activation asked for right after it finds the window
    // there, whatever a read in between (a new pass on a loaded machine) still says.
    struct DesktopAsked {
        xcb_window_t window = XCB_WINDOW_NONE;
        quint32 desktop = 0;
        std::chrono::steady_clock::time_point at;
    };
    DesktopAsked m_desktopAsked;
    // Raises of windows of a desktop not shown, for a manager that would bring them over.
    X11LoweredStacking m_lowering;
};
