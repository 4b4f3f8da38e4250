#include "Platform/Linux/X11Windows.h"

#include "Platform/Linux/X11ClientProperties.h"

#include <xcb/res.h>

#include <QSet>

#include <array>
#include <vector>

namespace {
// What a manager must offer for windows to be listed, moved and stacked.
constexpr const char* kRequiredSupport[] = {"_NET_CLIENT_LIST", "_NET_ACTIVE_WINDOW", "_NET_WM_STATE",
                                            "_NET_MOVERESIZE_WINDOW", "_NET_CLOSE_WINDOW"};

constexpr quint32 kIconicState = 3; // WM_STATE and WM_CHANGE_STATE
constexpr quint32 kSourcePager = 2;
constexpr quint32 kGravityNorthWest = 1;

} // namespace

X11Windows::X11Windows(std::shared_ptr<X11Connection> connection)
    : m_connection(std::move(connection))
    , m_context(std::make_unique<QObject>()) {
    // The manager announces what it changes on the root: the client list, the active window, the
    // stacking, the current desktop. A window coming or going changes no other window: what was
    // read of those stays.
    const xcb_atom_t clientList = m_connection->atom("_NET_CLIENT_LIST");
    QObject::connect(m_connection.get(), &X11Connection::rootPropertyChanged, m_context.get(),
                     [this, clientList](xcb_atom_t atom) {
                         if (atom == clientList) {
                             listChanged();
                         } else {
                             invalidate();
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
    if (m_pass.pass != 0 && m_pass.pass != m_connection->pass()) {
        invalidate();
    }
}

void X11Windows::changed(xcb_window_t window, bool stacking, std::optional<bool> minimized) {
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
    X11Connection& x = *m_connection;
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
        return *(pass().missingSupport = QStringLiteral(
                     "no window manager that follows the Extended Window Manager Hints is running"));
    }
    m_checkWindow = rootCheck.first();
    QStringList missing;
    for (const char* name : kRequiredSupport) {
        if (!supported.contains(x.atom(name))) {
            missing << QString::fromLatin1(name);
        }
    }
    return *(pass().missingSupport = missing.isEmpty()
                                         ? QString()
                                         : QStringLiteral("the window manager does not support ") +
                                               missing.join(QStringLiteral(", ")));
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
    const auto gone = [&live](auto it) { return !live.contains(it.key()); };
    m_frames.removeIf(gone);
    m_listed.removeIf(gone);
}

bool X11Windows::isManaged(xcb_window_t window) {
    return window != XCB_WINDOW_NONE && clientList().contains(window);
}

QList<X11Client> X11Windows::clients() {
    expire();
    return clients(clientList());
}

QList<X11Client> X11Windows::listedClients() {
    expire();
    const QList<xcb_window_t> windows = clientList();
    QList<xcb_window_t> unread;
    for (const xcb_window_t w : windows) {
        if (!m_listed.contains(w)) {
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
    X11Connection& x = *m_connection;
    xcb_connection_t* c = x.xcb();
    checkRes();
    // Atoms are interned before the first request goes out: an atom asked for amid the answers
    // would be a wait of its own.
    const X11ClientProperties properties(x);
    const xcb_atom_t clientListAtom = x.atom("_NET_CLIENT_LIST");
    const xcb_atom_t activeAtom = x.atom("_NET_ACTIVE_WINDOW");
    const xcb_atom_t desktopAtom = x.atom("_NET_CURRENT_DESKTOP");

    // Every request goes out before the first answer is awaited: one wait for the server, however
    // many windows. The answers are then taken in the order the requests went out, which is the
    // order the server sends them in: libxcb keeps answers not yet taken in a list that each
    // taking searches from its start, so taking them in any other order costs the square of
    // their number.
    std::optional<xcb_query_tree_cookie_t> rootTree;
    if (!known.rootChildren) {
        rootTree = xcb_query_tree(c, x.root());
    }
    std::optional<xcb_get_property_cookie_t> listCookie;
    if (!known.clientList) {
        listCookie = x.requestProperty(x.root(), clientListAtom);
    }
    // The active window and the current desktop are asked for along the way: the window list and
    // the accessibility attributes want them next to the windows, and here they cost no wait.
    std::optional<xcb_get_property_cookie_t> activeCookie;
    if (!known.activeWindow) {
        activeCookie = x.requestProperty(x.root(), activeAtom);
    }
    std::optional<xcb_get_property_cookie_t> desktopCookie;
    if (!known.currentDesktop) {
        desktopCookie = x.requestProperty(x.root(), desktopAtom);
    }
    struct Asked {
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_query_tree_cookie_t tree;
        std::optional<xcb_res_query_client_ids_cookie_t> owner;
        std::array<xcb_get_property_cookie_t, X11ClientProperties::count> properties;
    };
    std::vector<Asked> asked;
    asked.reserve(size_t(windows.size()));
    for (const xcb_window_t w : windows) {
        Asked& a = asked.emplace_back();
        a.geometry = xcb_get_geometry(c, w);
        a.origin = xcb_translate_coordinates(c, w, x.root(), 0, 0);
        a.attributes = xcb_get_window_attributes(c, w);
        a.tree = xcb_query_tree(c, w);
        if (m_hasRes) {
            // The server knows which process holds the connection that made the window, which
            // is true even for programs that never set _NET_WM_PID.
            xcb_res_client_id_spec_t spec{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            a.owner = xcb_res_query_client_ids(c, 1, &spec);
        }
        for (size_t p = 0; p < X11ClientProperties::count; ++p) {
            a.properties[p] = x.requestProperty(w, properties.atoms()[p]);
        }
    }

    if (rootTree) {
        known.rootChildren = children(x.reply(xcb_query_tree_reply, *rootTree));
    }
    if (listCookie) {
        QList<xcb_window_t> list;
        for (const quint32 w : x.propertyReply(*listCookie).value_or(X11Connection::Property()).items()) {
            list.append(w);
        }
        known.clientList = list;
        keepList(list);
    }
    if (activeCookie) {
        const QList<quint32> items =
            x.propertyReply(*activeCookie).value_or(X11Connection::Property()).items();
        known.activeWindow = items.isEmpty() ? xcb_window_t(XCB_WINDOW_NONE) : items.first();
    }
    if (desktopCookie) {
        const QList<quint32> items =
            x.propertyReply(*desktopCookie).value_or(X11Connection::Property()).items();
        known.currentDesktop = items.isEmpty() ? std::nullopt : std::optional<quint32>(items.first());
    }
    struct Answered {
        X11Reply<xcb_get_geometry_reply_t> geometry;
        X11Reply<xcb_translate_coordinates_reply_t> origin;
        X11Reply<xcb_get_window_attributes_reply_t> attributes;
        std::optional<qint32> owner;
        X11ClientProperties::Values values;
    };
    std::vector<Answered> answers;
    answers.reserve(asked.size());
    QList<xcb_window_t> parents;
    parents.reserve(windows.size());
    for (const Asked& a : asked) {
        Answered& answer = answers.emplace_back();
        answer.geometry = x.reply(xcb_get_geometry_reply, a.geometry);
        answer.origin = x.reply(xcb_translate_coordinates_reply, a.origin);
        answer.attributes = x.reply(xcb_get_window_attributes_reply, a.attributes);
        const auto tree = x.reply(xcb_query_tree_reply, a.tree);
        parents.append(tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE));
        if (a.owner) {
            answer.owner = ownerOf(x.reply(xcb_res_query_client_ids_reply, *a.owner));
        }
        for (size_t p = 0; p < a.properties.size(); ++p) {
            answer.values[p] = x.propertyReply(a.properties[p]);
        }
    }
    const QHash<xcb_window_t, xcb_window_t> frames = framesOf(windows, parents);

    for (qsizetype i = 0; i < windows.size(); ++i) {
        const Answered& answer = answers[size_t(i)];
        const auto& geo = answer.geometry;
        const auto& pos = answer.origin;
        const auto& attr = answer.attributes;
        if (!geo || !pos || !attr || !X11ClientProperties::windowExisted(answer.values)) {
            known.clients.insert(windows[i], std::nullopt); // gone while it was read
            m_listed.remove(windows[i]);
            continue;
        }
        X11Client client;
        client.window = windows[i];
        client.frame = frames.value(windows[i], windows[i]);
        client.pid = answer.owner;
        properties.apply(answer.values, client);
        client.viewable = attr->map_state == XCB_MAP_STATE_VIEWABLE;
        client.clientRect = QRect(pos->dst_x, pos->dst_y, geo->width, geo->height);
        known.clients.insert(windows[i], client);
        m_listed.insert(windows[i], client);
    }
}

void X11Windows::checkRes() {
    if (m_resChecked) {
        return;
    }
    m_resChecked = true;
    xcb_connection_t* c = m_connection->xcb();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_res_id);
    if (ext && ext->present) {
        const auto version = m_connection->reply(xcb_res_query_version_reply, xcb_res_query_version(c, 1, 2));
        m_hasRes = version &&
                   (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
    }
}

std::optional<qint32> X11Windows::ownerOf(const X11Reply<xcb_res_query_client_ids_reply_t>& reply) {
    if (!reply) {
        return std::nullopt;
    }
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
         xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) != 0 &&
            xcb_res_client_id_value_value_length(it.data) >= 1) {
            return qint32(*xcb_res_client_id_value_value(it.data));
        }
    }
    return std::nullopt;
}

QList<xcb_window_t> X11Windows::children(const X11Reply<xcb_query_tree_reply_t>& tree) {
    if (!tree) {
        return {};
    }
    const xcb_window_t* data = xcb_query_tree_children(tree.get());
    return QList<xcb_window_t>(data, data + xcb_query_tree_children_length(tree.get()));
}

QList<xcb_window_t> X11Windows::rootChildren() {
    if (m_pass.rootChildren) {
        return *m_pass.rootChildren;
    }
    xcb_connection_t* c = m_connection->xcb();
    const QList<xcb_window_t> result =
        children(m_connection->reply(xcb_query_tree_reply, xcb_query_tree(c, m_connection->root())));
    pass().rootChildren = result;
    return result;
}

QHash<xcb_window_t, xcb_window_t> X11Windows::framesOf(const QList<xcb_window_t>& windows,
                                                       const QList<xcb_window_t>& parents) {
    xcb_connection_t* c = m_connection->xcb();
    const xcb_window_t root = m_connection->root();
    const QList<xcb_window_t> topLevels = rootChildren();
    const QSet<xcb_window_t> top(topLevels.cbegin(), topLevels.cend());
    QHash<xcb_window_t, xcb_window_t> frames;
    // The usual cases need nothing more: the window is a child of the root itself, or of its
    // frame. A deeper window keeps the frame found for it while its parent and that frame stay
    // (a window id that comes back for another window has another parent). The rest are walked
    // up a level at a time until each reaches a child of the root.
    QHash<xcb_window_t, xcb_window_t> current; // window -> the ancestor reached so far
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const xcb_window_t w = windows[i];
        const xcb_window_t parent = parents.value(i, XCB_WINDOW_NONE);
        const auto kept = m_frames.constFind(w);
        if (parent == XCB_WINDOW_NONE) {
            continue;
        } else if (parent == root) {
            frames.insert(w, w);
        } else if (top.contains(parent)) {
            frames.insert(w, parent);
        } else if (kept != m_frames.constEnd() && kept->parent == parent && top.contains(kept->frame)) {
            frames.insert(w, kept->frame);
        } else {
            current.insert(w, parent);
        }
    }
    for (int depth = 0; depth < 8 && !current.isEmpty(); ++depth) {
        QList<std::pair<xcb_window_t, xcb_query_tree_cookie_t>> pending;
        for (auto it = current.cbegin(); it != current.cend(); ++it) {
            pending.append({it.key(), xcb_query_tree(c, it.value())});
        }
        for (const auto& [window, cookie] : pending) {
            const auto tree = m_connection->reply(xcb_query_tree_reply, cookie);
            if (!tree || tree->parent == XCB_WINDOW_NONE) {
                current.remove(window);
            } else if (tree->parent == root || top.contains(tree->parent)) {
                const xcb_window_t frame = tree->parent == root ? current.value(window) : tree->parent;
                frames.insert(window, frame);
                m_frames.insert(window, {parents.value(windows.indexOf(window)), frame});
                current.remove(window);
            } else {
                current.insert(window, tree->parent);
            }
        }
    }
    return frames;
}

QList<X11Client> X11Windows::stackedClients() {
    expire();
    QList<X11Client> list = clients();
    sortFrontToBack(list);
    return list;
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
    const auto active =
        m_connection->property(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW"));
    const QList<quint32> items = active.value_or(X11Connection::Property()).items();
    return *(pass().activeWindow = items.isEmpty() ? xcb_window_t(XCB_WINDOW_NONE) : items.first());
}

std::optional<quint32> X11Windows::currentDesktop() {
    expire();
    if (m_pass.currentDesktop) {
        return *m_pass.currentDesktop;
    }
    const auto desktop =
        m_connection->property(m_connection->root(), m_connection->atom("_NET_CURRENT_DESKTOP"));
    const QList<quint32> items = desktop.value_or(X11Connection::Property()).items();
    return *(pass().currentDesktop = items.isEmpty() ? std::nullopt : std::optional<quint32>(items.first()));
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
    changed(window, true, true);
    return true;
}

bool X11Windows::deminimize(xcb_window_t window) {
    if (!isManaged(window)) {
        return false;
    }
    // Mapping an iconic window asks its manager to show it again; some managers (mutter) now and
    // then let that request pass, but none an activation.
    m_connection->discard(xcb_map_window_checked(m_connection->xcb(), window));
    m_connection->flush();
    changed(window, true, false);
    activate(window);
    return true;
}

bool X11Windows::activate(xcb_window_t window) {
    if (!isManaged(window)) {
        return false;
    }
    m_connection->sendRootMessage(window, m_connection->atom("_NET_ACTIVE_WINDOW"),
                                  {kSourcePager, XCB_CURRENT_TIME, 0, 0, 0});
    changed(window, true);
    return true;
}

bool X11Windows::raise(xcb_window_t window) {
    const std::optional<X11Client> found = clientForRequest(window);
    if (!found) {
        return false;
    }
    // A stacking request on the client reaches the manager, which raises the frame; the extended
    // restack message is ignored by some managers.
    const quint32 above = XCB_STACK_MODE_ABOVE;
    m_connection->discard(
        xcb_configure_window_checked(m_connection->xcb(), window, XCB_CONFIG_WINDOW_STACK_MODE, &above));
    m_connection->flush();
    changed(window, true);
    // Some managers (mutter) raise a window for another program only when it is activated; a
    // minimised window stays down (activating it would bring it back).
    if (!found->minimized) {
        activate(window);
    }
    return true;
}

bool X11Windows::close(xcb_window_t window) {
    if (!isManaged(window)) {
        return false;
    }
    m_connection->sendRootMessage(window, m_connection->atom("_NET_CLOSE_WINDOW"),
                                  {XCB_CURRENT_TIME, kSourcePager, 0, 0, 0});
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
