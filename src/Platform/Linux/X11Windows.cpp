#include "Platform/Linux/X11Windows.h"

#include <QSet>

namespace {

constexpr quint32 kIconicState = 3; // WM_STATE and WM_CHANGE_STATE
constexpr quint32 kSourcePager = 2;
constexpr quint32 kGravityNorthWest = 1;

} // namespace

X11Windows::X11Windows(std::shared_ptr<X11Connection> connection)
    : m_connection(std::move(connection))
    , m_reader(*m_connection)
    , m_manager(*m_connection)
    , m_context(std::make_unique<QObject>())
    , m_lowering(*m_connection, [this](xcb_window_t front) { changed(front, true); }) {
    // The manager announces what it changes on the root: the client list, the active window, the
    // stacking, the current desktop. A window coming or going changes no other window: what was
    // read of those stays. A read asked ahead stays too: it stands for the windows as they were
    // when it was asked, and the look after the next shows what changed since.
    const xcb_atom_t clientList = m_connection->atom("_NET_CLIENT_LIST");
    QObject::connect(m_connection.get(), &X11Connection::rootPropertyChanged, m_context.get(),
                     [this, clientList](xcb_atom_t atom) {
                         if (atom == clientList) {
                             listChanged();
                         } else {
                             forget();
                         }
                     });
}

X11Windows::~X11Windows() = default;

X11Windows::Pass& X11Windows::pass() {
    expire();
    if (m_pass.pass == 0) {
        m_pass.pass = m_connection->pass();
    }
    return m_pass;
}

void X11Windows::invalidate() {
    m_reader.dropAhead();
    forget();
}

void X11Windows::forget() {
    m_pass = Pass();
    ++m_state;
}

void X11Windows::listChanged() {
    ++m_state;
    m_pass.clientList.reset();
    m_pass.rootChildren.reset();
    m_pass.windowCounts.reset();
}

quint64 X11Windows::state() {
    expire();
    return m_state;
}

void X11Windows::expire() {
    // A read asked ahead outlives the pass it was asked in: that is what it is for.
    if (m_pass.pass != 0 && m_pass.pass != m_connection->pass()) {
        forget();
    }
}

void X11Windows::changed(xcb_window_t window, bool stacking, std::optional<bool> minimized) {
    // What was asked ahead was asked before this request.
    m_reader.dropAhead();
    ++m_state;
    // What a further request needs of the window (that it is managed, its decoration) holds after
    // this one; where it is and its state must be read again.
    if (const auto it = m_pass.clients.constFind(window); it != m_pass.clients.constEnd() && it.value()) {
        m_pass.requested.insert(window, *it.value());
    }
    if (const auto kept = m_pass.requested.find(window); kept != m_pass.requested.end() && minimized) {
        kept->minimized = *minimized;
    }
    m_pass.clients.remove(window);
    if (stacking) {
        m_pass.rootChildren.reset();
        m_pass.activeWindow.reset();
    }
}

bool X11Windows::managerReady() {
    return missingSupport().isEmpty();
}

QString X11Windows::missingSupport() {
    expire();
    if (m_pass.missingSupport) {
        return *m_pass.missingSupport;
    }
    return *(pass().missingSupport = m_manager.missingSupport());
}

QList<xcb_window_t> X11Windows::clientList() {
    expire();
    if (m_pass.clientList) {
        return *m_pass.clientList;
    }
    const auto list = m_connection->property(m_connection->root(), m_connection->atom("_NET_CLIENT_LIST"));
    QList<xcb_window_t> windows;
    for (const quint32 w : list.value_or(X11Connection::Property()).items()) {
        windows.append(w);
    }
    pass().clientList = windows;
    keepList(windows);
    return windows;
}

void X11Windows::keepList(const QList<xcb_window_t>& windows) {
    // Windows that left the list take what is kept of them along.
    const QSet<xcb_window_t> live(windows.cbegin(), windows.cend());
    m_reader.keepOnly(live);
    m_listed.removeIf([&live](auto it) { return !live.contains(it.key()); });
    m_lastList = windows;
}

bool X11Windows::isManaged(xcb_window_t window) {
    return window != XCB_WINDOW_NONE && clientList().contains(window);
}

QList<X11Client> X11Windows::clients() {
    expire();
    if (!m_pass.clientList) {
        // The list is asked for together with the windows it held when it was last read: one
        // wait for the server, and a second only for windows that came since.
        read(m_lastList);
    }
    return clients(clientList());
}

QList<X11Client> X11Windows::listedClients(const QSet<qint32>& readAlong) {
    expire();
    if (!m_pass.clientList && !readAlong.isEmpty()) {
        QList<xcb_window_t> along;
        for (auto it = m_listed.cbegin(); it != m_listed.cend(); ++it) {
            if (it->pid && readAlong.contains(*it->pid)) {
                along.append(it.key());
            }
        }
        read(along);
    }
    const QList<xcb_window_t> windows = clientList();
    QList<xcb_window_t> unread;
    for (const xcb_window_t w : windows) {
        // A class or owner that was not set yet when the window was read may be set since.
        const auto kept = m_listed.constFind(w);
        if (kept == m_listed.constEnd() || kept->wmClass.isEmpty() || !kept->pid) {
            unread.append(w);
        }
    }
    read(unread);
    QList<X11Client> result;
    result.reserve(windows.size());
    for (const xcb_window_t w : windows) {
        if (const auto it = m_pass.clients.constFind(w); it != m_pass.clients.constEnd() && it.value()) {
            result.append(*it.value());
        } else if (const auto kept = m_listed.constFind(w); kept != m_listed.constEnd()) {
            result.append(kept.value());
        }
    }
    return result;
}

std::optional<X11Client> X11Windows::clientForRequest(xcb_window_t window) {
    expire();
    if (const auto it = m_pass.requested.constFind(window);
        it != m_pass.requested.constEnd() && !m_pass.clients.contains(window) && isManaged(window)) {
        return it.value();
    }
    return client(window);
}

std::optional<X11Client> X11Windows::client(xcb_window_t window) {
    expire();
    // The window and the manager's list are asked for together: one wait for the server.
    read({window});
    if (!isManaged(window)) {
        return std::nullopt;
    }
    const QList<X11Client> found = clients({window});
    return found.isEmpty() ? std::nullopt : std::optional<X11Client>(found.first());
}

QList<X11Client> X11Windows::clients(const QList<xcb_window_t>& windows) {
    expire();
    read(windows);
    QList<X11Client> result;
    result.reserve(windows.size());
    for (const xcb_window_t w : windows) {
        if (const auto it = m_pass.clients.constFind(w); it != m_pass.clients.constEnd() && it.value()) {
            result.append(*it.value());
        }
    }
    return result;
}

void X11Windows::read(const QList<xcb_window_t>& wanted) {
    QList<xcb_window_t> windows;
    QSet<xcb_window_t> seen;
    for (const xcb_window_t w : wanted) {
        if (!m_pass.clients.contains(w) && !seen.contains(w)) {
            windows.append(w);
            seen.insert(w);
        }
    }
    if (windows.isEmpty()) {
        return;
    }
    Pass& known = pass();
    // The root's list and stacking go with the windows when this pass has not read them yet; the
    // active window and the current desktop too: the window list and the accessibility attributes
    // want them next to the windows, and here they cost no wait.
    const X11WindowReader::RootWanted root{!known.rootChildren, !known.clientList, !known.activeWindow,
                                           !known.currentDesktop};
    const QList<xcb_window_t> topLevels = known.rootChildren.value_or(QList<xcb_window_t>());
    std::optional<X11WindowReader::Result> ahead = m_reader.takeAhead(windows, topLevels);
    if (ahead) {
        // What this pass read of the root already is newer than what was asked ahead.
        if (known.rootChildren) {
            ahead->rootChildren.reset();
        }
        if (known.clientList) {
            ahead->clientList.reset();
        }
        if (known.activeWindow) {
            ahead->activeWindow.reset();
        }
        if (known.currentDesktop) {
            ahead->currentDesktop.reset();
        }
    }
    const X11WindowReader::Result result =
        ahead ? *std::move(ahead) : m_reader.read(windows, root, topLevels);
    if (result.rootChildren) {
        known.rootChildren = *result.rootChildren;
    }
    if (result.clientList) {
        known.clientList = *result.clientList;
        keepList(*result.clientList);
    }
    if (result.activeWindow) {
        known.activeWindow = *result.activeWindow;
    }
    if (result.currentDesktop) {
        known.currentDesktop = *result.currentDesktop;
    }
    // Only what the manager lists is kept past the pass.
    const QList<xcb_window_t> list = known.clientList.value_or(QList<xcb_window_t>());
    const QSet<xcb_window_t> listed(list.cbegin(), list.cend());
    const std::optional<quint32> current = known.currentDesktop.value_or(std::nullopt);
    for (qsizetype i = 0; i < windows.size(); ++i) {
        std::optional<X11Client> client = result.clients.value(i);
        if (client) {
            client->minimized = client->minimizedOn(current);
        }
        known.clients.insert(windows[i], client);
        if (!client) {
            m_listed.remove(windows[i]);
        } else if (listed.contains(windows[i])) {
            m_listed.insert(windows[i], *client);
        }
    }
}

void X11Windows::askAhead(const QList<xcb_window_t>& windows) {
    m_reader.askAhead(windows);
}

QList<xcb_window_t> X11Windows::rootChildren() {
    m_lowering.send();
    if (m_pass.rootChildren) {
        return *m_pass.rootChildren;
    }
    const QList<xcb_window_t> result = m_reader.rootChildren();
    pass().rootChildren = result;
    return result;
}

QList<X11Client> X11Windows::stackedClients() {
    expire();
    QList<X11Client> list = clients();
    sortFrontToBack(list);
    return list;
}

QList<xcb_window_t> X11Windows::stackingOrder() {
    expire();
    QHash<xcb_window_t, xcb_window_t> windowOf;
    for (auto it = m_listed.cbegin(); it != m_listed.cend(); ++it) {
        windowOf.insert(it->frame, it.key());
    }
    const QList<xcb_window_t> bottomToTop = rootChildren();
    QList<xcb_window_t> order;
    for (qsizetype i = bottomToTop.size() - 1; i >= 0; --i) {
        if (const auto it = windowOf.constFind(bottomToTop[i]); it != windowOf.constEnd()) {
            order.append(it.value());
        }
    }
    return order;
}

void X11Windows::sortFrontToBack(QList<X11Client>& windows) {
    expire();
    // The root's children come bottom to top. The manager's stacking list would do on most
    // managers, but not on all: the server's own order is the one that is true everywhere.
    const QList<xcb_window_t> bottomToTop = rootChildren();
    QHash<xcb_window_t, qsizetype> level;
    for (qsizetype i = 0; i < bottomToTop.size(); ++i) {
        level.insert(bottomToTop[i], i);
    }
    // Frames that are not children of the root (a race with the manager) sort to the back.
    std::stable_sort(windows.begin(), windows.end(), [&level](const X11Client& a, const X11Client& b) {
        return level.value(a.frame, -1) > level.value(b.frame, -1);
    });
}

qsizetype X11Windows::windowCountOf(qint32 pid) {
    expire();
    // Counted for every process at once: asked for each window of a list, one count each would
    // go through every window again.
    if (!m_pass.windowCounts) {
        QHash<qint32, qsizetype> counts;
        for (const X11Client& c : clients()) {
            if (c.pid) {
                ++counts[*c.pid];
            }
        }
        pass().windowCounts = counts;
    }
    return m_pass.windowCounts->value(pid);
}

xcb_window_t X11Windows::activeWindow() {
    expire();
    if (m_pass.activeWindow) {
        return *m_pass.activeWindow;
    }
    return *(pass().activeWindow = rootValue("_NET_ACTIVE_WINDOW").value_or(XCB_WINDOW_NONE));
}

std::optional<quint32> X11Windows::currentDesktop() {
    expire();
    if (m_pass.currentDesktop) {
        return *m_pass.currentDesktop;
    }
    return *(pass().currentDesktop = rootValue("_NET_CURRENT_DESKTOP"));
}

quint32 X11Windows::desktopCount() {
    expire();
    if (m_pass.desktopCount) {
        return *m_pass.desktopCount;
    }
    return *(pass().desktopCount = rootValue("_NET_NUMBER_OF_DESKTOPS").value_or(0));
}

std::optional<quint32> X11Windows::rootValue(const char* name) {
    const auto property = m_connection->property(m_connection->root(), m_connection->atom(name));
    const QList<quint32> items = property.value_or(X11Connection::Property()).items();
    return items.isEmpty() ? std::nullopt : std::optional<quint32>(items.first());
}

bool X11Windows::onCurrentDesktop(xcb_window_t window) {
    const std::optional<X11Client> found = clientForRequest(window);
    return found && found->isOnDesktop(currentDesktop());
}

bool X11Windows::moveFrame(xcb_window_t window, const QPoint& point) {
    if (!isManaged(window)) {
        return false;
    }
    // With north-west gravity the manager places the frame's corner where x and y say.
    const quint32 flags = kGravityNorthWest | (1u << 8) | (1u << 9) | (kSourcePager << 12);
    m_connection->sendRootMessage(window, m_connection->atom("_NET_MOVERESIZE_WINDOW"),
                                  {flags, quint32(point.x()), quint32(point.y()), 0, 0});
    changed(window, false);
    return true;
}

bool X11Windows::resizeFrame(xcb_window_t window, const QSize& size) {
    const std::optional<X11Client> c = clientForRequest(window);
    if (!c) {
        return false;
    }
    // Width and height of the request are the client's: the frame less its decoration.
    const int width = std::max(1, size.width() - c->extents.left() - c->extents.right());
    const int height = std::max(1, size.height() - c->extents.top() - c->extents.bottom());
    const quint32 flags = kGravityNorthWest | (1u << 10) | (1u << 11) | (kSourcePager << 12);
    m_connection->sendRootMessage(window, m_connection->atom("_NET_MOVERESIZE_WINDOW"),
                                  {flags, 0, 0, quint32(width), quint32(height)});
    changed(window, false);
    return true;
}

bool X11Windows::minimize(xcb_window_t window) {
    if (!isManaged(window)) {
        return false;
    }
    m_connection->sendRootMessage(window, m_connection->atom("WM_CHANGE_STATE"), {kIconicState, 0, 0, 0, 0});
    // Some managers (openbox) take no iconify request for a window of a desktop not shown, but
    // they take the hidden state asked for.
    if (!onCurrentDesktop(window)) {
        setHidden(window, true);
    }
    changed(window, true, true);
    return true;
}

bool X11Windows::deminimize(xcb_window_t window) {
    if (!isManaged(window)) {
        return false;
    }
    // Mapping an iconic window asks its manager to show it again; some managers (mutter) now and
    // then let that request pass, but none an activation. A window of a desktop not shown is not
    // activated (that would switch the desktop): some managers (openbox) show it again when its
    // hidden state is taken away, others (xfwm4, fluxbox) when it is mapped.
    const std::optional<X11Client> found = clientForRequest(window);
    const std::optional<quint32> current = currentDesktop();
    const bool away = !found || !found->isOnDesktop(current);
    if (away) {
        setHidden(window, false);
    }
    // Some managers (KWin) show it on the map request and then activate it, which switches the
    // desktop, whenever no window holds the focus (else they mark it urgent); others (mutter) show
    // it only when it is activated, which switches the desktop too. It is brought to the desktop
    // shown, mapped (and activated there where the manager wants that) and sent straight back, in
    // one go: it comes up on its own desktop, and the desktop shown stays.
    const bool canGoThrough = away && found && found->desktop && current;
    const bool activated = canGoThrough && m_manager.showsAwayOnlyWhenActivated();
    const bool throughShown = activated || (canGoThrough && m_manager.mapActivatesAway());
    // Asked before the first request: the requests go out back to back.
    const xcb_timestamp_t time = activated ? m_connection->serverTime() : XCB_CURRENT_TIME;
    if (throughShown) {
        m_connection->sendRootMessage(window, m_connection->atom("_NET_WM_DESKTOP"),
                                      {*current, kSourcePager, 0, 0, 0});
    }
    m_connection->discard(xcb_map_window_checked(m_connection->xcb(), window));
    if (activated) {
        m_connection->sendRootMessage(window, m_connection->atom("_NET_ACTIVE_WINDOW"),
                                      {kSourcePager, time, 0, 0, 0});
    }
    if (throughShown) {
        m_connection->sendRootMessage(window, m_connection->atom("_NET_WM_DESKTOP"),
                                      {*found->desktop, kSourcePager, 0, 0, 0});
    }
    m_connection->flush();
    changed(window, true, false);
    activate(window);
    return true;
}

bool X11Windows::activate(xcb_window_t window) {
    // A window of another desktop is left there: activating it would switch the desktop, or bring
    // the window over to the one shown.
    const std::optional<X11Client> found = clientAsAsked(window);
    if (!found || !found->isOnDesktop(currentDesktop())) {
        return false;
    }
    m_connection->sendRootMessage(window, m_connection->atom("_NET_ACTIVE_WINDOW"),
                                  {kSourcePager, m_connection->serverTime(), 0, 0, 0});
    changed(window, true);
    pass().lastActivated = window;
    return true;
}

std::optional<X11Client> X11Windows::clientAsAsked(xcb_window_t window) {
    std::optional<X11Client> found = clientForRequest(window);
    if (found && m_desktopAsked.window == window &&
        std::chrono::steady_clock::now() - m_desktopAsked.at < X11Connection::passLifetime) {
        found->desktop = m_desktopAsked.desktop;
    }
    return found;
}

bool X11Windows::raise(xcb_window_t window) {
    const std::optional<X11Client> found = clientAsAsked(window);
    if (!found) {
        return false;
    }
    if (found->desktop && !found->isOnDesktop(currentDesktop()) && m_manager.bringsRaisedWindowsOver()) {
        raiseByLowering(*found);
        return true;
    }
    // A stacking request on the client reaches the manager, which raises the frame; the extended
    // restack message is ignored by some managers.
    const quint32 above = XCB_STACK_MODE_ABOVE;
    m_connection->discard(
        xcb_configure_window_checked(m_connection->xcb(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above));
    // A manager that keeps another program from raising a window (mutter, KWin) marks it urgent
    // instead, and a taskbar flashes it from then on. An activation takes the mark away; a window
    // that is not activated (minimised, or of a desktop not shown) has the mark this raise caused
    // taken away right behind it (the manager takes requests in the order sent), never one it had.
    // Others are left alone: a change of its state makes some programs (Chromium) note the window
    // anew.
    if (!found->demandsAttention && (found->minimized || !found->isOnDesktop(currentDesktop()))) {
        setState(window, false, "_NET_WM_STATE_DEMANDS_ATTENTION");
    }
    m_connection->flush();
    changed(window, true);
    // Some managers (mutter) raise a window for another program only when it is activated; a
    // minimised window stays down (activating it would bring it back). One this pass activated
    // last is not activated again, nor one of a manager that takes raises: restacking a large
    // desktop twice keeps a loaded manager (and the server) busy for nothing.
    if (!found->minimized && m_pass.lastActivated != window && !m_manager.takesRaises()) {
        activate(window);
    }
    // A window of a desktop not shown cannot be activated: the manager's own restack request goes
    // along, for managers that raise a window for another program only when asked that way. Some
    // managers (xfwm4) ignore that one, and take the stacking request for an activation that brings
    // the window over to the desktop shown: it is sent straight back, raised, in the same go.
    if (!found->isOnDesktop(currentDesktop())) {
        m_connection->sendRootMessage(window, m_connection->atom("_NET_RESTACK_WINDOW"),
                                      {kSourcePager, XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE, 0, 0});
        m_connection->sendRootMessage(window, m_connection->atom("_NET_WM_DESKTOP"),
                                      {*found->desktop, kSourcePager, 0, 0, 0});
    }
    return true;
}

void X11Windows::raiseByLowering(const X11Client& raised) {
    // Building on the order asked for, the windows of the desktop are listed as they come; else as
    // they stand.
    QList<xcb_window_t> onDesktop;
    for (const X11Client& other : m_lowering.building(*raised.desktop) ? clients() : stackedClients()) {
        if (other.desktop == raised.desktop) {
            onDesktop.append(other.window);
        }
    }
    m_lowering.raise(raised.window, *raised.desktop, onDesktop);
    changed(raised.window, true);
}

void X11Windows::setHidden(xcb_window_t window, bool hidden) {
    setState(window, hidden, "_NET_WM_STATE_HIDDEN");
}

void X11Windows::setState(xcb_window_t window, bool on, const char* state) {
    m_connection->sendRootMessage(window, m_connection->atom("_NET_WM_STATE"),
                                  {on ? 1u : 0u, m_connection->atom(state), 0, kSourcePager, 0});
}

bool X11Windows::moveToDesktop(xcb_window_t window, quint32 desktop) {
    if (!isManaged(window) || desktop >= desktopCount()) {
        return false;
    }
    m_connection->sendRootMessage(window, m_connection->atom("_NET_WM_DESKTOP"),
                                  {desktop, kSourcePager, 0, 0, 0});
    m_desktopAsked = {window, desktop, std::chrono::steady_clock::now()};
    changed(window, true);
    // A further request in this pass (a raise) must not take the window for one of the desktop
    // shown: activating it there would bring the desktop along.
    if (const auto kept = m_pass.requested.find(window); kept != m_pass.requested.end()) {
        kept->desktop = desktop;
    }
    return true;
}

bool X11Windows::close(xcb_window_t window) {
    if (!isManaged(window)) {
        return false;
    }
    m_connection->sendRootMessage(window, m_connection->atom("_NET_CLOSE_WINDOW"),
                                  {m_connection->serverTime(), kSourcePager, 0, 0, 0});
    invalidate();
    return true;
}

bool X11Windows::setFullScreen(xcb_window_t window, bool fullScreen) {
    if (!isManaged(window)) {
        return false;
    }
    m_connection->sendRootMessage(
        window, m_connection->atom("_NET_WM_STATE"),
        {fullScreen ? 1u : 0u, m_connection->atom("_NET_WM_STATE_FULLSCREEN"), 0, kSourcePager, 0});
    changed(window, true);
    return true;
}
