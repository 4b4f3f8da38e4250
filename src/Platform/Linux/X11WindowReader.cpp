#include "Platform/Linux/X11WindowReader.h"

#include "Platform/Linux/X11ClientProperties.h"

#include <array>
#include <vector>

X11WindowReader::X11WindowReader(X11Connection& connection)
    : m_connection(connection) {
}

X11WindowReader::~X11WindowReader() {
    dropAhead();
}

void X11WindowReader::askAhead(const QList<xcb_window_t>& windows) {
    dropAhead();
    QList<xcb_window_t> asked;
    QSet<xcb_window_t> seen;
    for (const xcb_window_t w : windows) {
        if (!seen.contains(w)) {
            asked.append(w);
            seen.insert(w);
        }
    }
    if (asked.isEmpty()) {
        return;
    }
    m_ahead = Ahead{ask(asked, RootWanted{true, true, true, true}), std::chrono::steady_clock::now()};
    m_connection.flush();
}

std::optional<X11WindowReader::Result> X11WindowReader::takeAhead(const QList<xcb_window_t>& windows,
                                                                  const QList<xcb_window_t>& topLevels) {
    // Answers older than a wait's step are too old to stand for the windows now.
    constexpr std::chrono::milliseconds kFresh{250};
    if (!m_ahead) {
        return std::nullopt;
    }
    const Ahead ahead = std::move(*m_ahead);
    m_ahead.reset();
    if (ahead.flight.windows != windows || std::chrono::steady_clock::now() - ahead.at > kFresh) {
        drop(ahead.flight);
        return std::nullopt;
    }
    return collect(ahead.flight, topLevels);
}

void X11WindowReader::dropAhead() {
    if (m_ahead) {
        drop(m_ahead->flight);
        m_ahead.reset();
    }
}

void X11WindowReader::checkRes() {
    if (m_resChecked) {
        return;
    }
    m_resChecked = true;
    xcb_connection_t* c = m_connection.xcb();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_res_id);
    if (ext && ext->present) {
        const auto version = m_connection.reply(xcb_res_query_version_reply, xcb_res_query_version(c, 1, 2));
        m_hasRes = version &&
                   (version->server_major > 1 || (version->server_major == 1 && version->server_minor >= 2));
    }
}

xcb_window_t X11WindowReader::firstItem(const std::optional<X11Connection::Property>& property) {
    const QList<quint32> items = property.value_or(X11Connection::Property()).items();
    return items.isEmpty() ? xcb_window_t(XCB_WINDOW_NONE) : items.first();
}

X11WindowReader::Result X11WindowReader::read(const QList<xcb_window_t>& windows, const RootWanted& wanted,
                                              const QList<xcb_window_t>& topLevels) {
    return collect(ask(windows, wanted), topLevels);
}

X11WindowReader::Flight X11WindowReader::ask(const QList<xcb_window_t>& windows, const RootWanted& wanted) {
    X11Connection& x = m_connection;
    xcb_connection_t* c = x.xcb();
    checkRes();
    // Atoms are interned before the first request goes out: an atom asked for amid the answers
    // would be a wait of its own.
    const X11ClientProperties properties(x);
    const xcb_atom_t clientListAtom = x.atom("_NET_CLIENT_LIST");
    const xcb_atom_t activeAtom = x.atom("_NET_ACTIVE_WINDOW");
    const xcb_atom_t desktopAtom = x.atom("_NET_CURRENT_DESKTOP");
    x.beginFlight();

    // Every request goes out before the first answer is awaited: one wait for the server, however
    // many windows. The answers are then taken in the order the requests went out, which is the
    // order the server sends them in: libxcb keeps answers not yet taken in a list that each
    // taking searches from its start, so taking them in any other order costs the square of
    // their number.
    Flight flight;
    flight.windows = windows;
    if (wanted.children) {
        flight.rootTree = xcb_query_tree(c, x.root());
    }
    if (wanted.clientList) {
        flight.clientList = x.requestProperty(x.root(), clientListAtom);
    }
    if (wanted.activeWindow) {
        flight.activeWindow = x.requestProperty(x.root(), activeAtom);
    }
    if (wanted.currentDesktop) {
        flight.currentDesktop = x.requestProperty(x.root(), desktopAtom);
    }
    flight.asked.reserve(size_t(windows.size()));
    for (const xcb_window_t w : windows) {
        Flight::Asked& a = flight.asked.emplace_back();
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
    return flight;
}

void X11WindowReader::drop(const Flight& flight) {
    const auto dropOne = [this](unsigned int sequence) { m_connection.discardReply(sequence); };
    for (const auto& cookie : {flight.clientList, flight.activeWindow, flight.currentDesktop}) {
        if (cookie) {
            dropOne(cookie->sequence);
        }
    }
    if (flight.rootTree) {
        dropOne(flight.rootTree->sequence);
    }
    for (const Flight::Asked& a : flight.asked) {
        for (const unsigned int sequence :
             {a.geometry.sequence, a.origin.sequence, a.attributes.sequence, a.tree.sequence}) {
            dropOne(sequence);
        }
        if (a.owner) {
            dropOne(a.owner->sequence);
        }
        for (const xcb_get_property_cookie_t& cookie : a.properties) {
            dropOne(cookie.sequence);
        }
    }
}

X11WindowReader::Result X11WindowReader::collect(const Flight& flight, const QList<xcb_window_t>& topLevels) {
    X11Connection& x = m_connection;
    const X11ClientProperties properties(x);
    const QList<xcb_window_t>& windows = flight.windows;
    Result result;
    if (flight.rootTree) {
        result.rootChildren = children(x.reply(xcb_query_tree_reply, *flight.rootTree));
    }
    if (flight.clientList) {
        QList<xcb_window_t> list;
        for (const quint32 w :
             x.propertyReply(*flight.clientList).value_or(X11Connection::Property()).items()) {
            list.append(w);
        }
        result.clientList = list;
    }
    if (flight.activeWindow) {
        result.activeWindow = firstItem(x.propertyReply(*flight.activeWindow));
    }
    if (flight.currentDesktop) {
        const QList<quint32> items =
            x.propertyReply(*flight.currentDesktop).value_or(X11Connection::Property()).items();
        result.currentDesktop = items.isEmpty() ? std::nullopt : std::optional<quint32>(items.first());
    }
    struct Answered {
        X11Reply<xcb_get_geometry_reply_t> geometry;
        X11Reply<xcb_translate_coordinates_reply_t> origin;
        X11Reply<xcb_get_window_attributes_reply_t> attributes;
        std::optional<qint32> owner;
        X11ClientProperties::Values values;
    };
    std::vector<Answered> answers;
    answers.reserve(flight.asked.size());
    QList<xcb_window_t> parents;
    parents.reserve(windows.size());
    for (const Flight::Asked& a : flight.asked) {
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
    const QHash<xcb_window_t, xcb_window_t> frames =
        windows.isEmpty() ? QHash<xcb_window_t, xcb_window_t>()
                          : framesOf(windows, parents, result.rootChildren.value_or(topLevels));

    result.clients.reserve(windows.size());
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const Answered& answer = answers[size_t(i)];
        const auto& geo = answer.geometry;
        const auto& pos = answer.origin;
        const auto& attr = answer.attributes;
        if (!geo || !pos || !attr || !X11ClientProperties::windowExisted(answer.values)) {
            result.clients.append(std::nullopt); // gone while it was read
            continue;
        }
        X11Client client;
        client.window = windows[i];
        client.frame = frames.value(windows[i], windows[i]);
        client.pid = answer.owner;
        properties.apply(answer.values, client);
        client.viewable = attr->map_state == XCB_MAP_STATE_VIEWABLE;
        client.clientRect = QRect(pos->dst_x, pos->dst_y, geo->width, geo->height);
        result.clients.append(client);
    }
    return result;
}

QList<xcb_window_t> X11WindowReader::rootChildren() {
    return children(
        m_connection.reply(xcb_query_tree_reply, xcb_query_tree(m_connection.xcb(), m_connection.root())));
}

void X11WindowReader::keepOnly(const QSet<xcb_window_t>& live) {
    m_frames.removeIf([&live](auto it) { return !live.contains(it.key()); });
}

std::optional<qint32> X11WindowReader::ownerOf(const X11Reply<xcb_res_query_client_ids_reply_t>& reply) {
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

QList<xcb_window_t> X11WindowReader::children(const X11Reply<xcb_query_tree_reply_t>& tree) {
    if (!tree) {
        return {};
    }
    const xcb_window_t* data = xcb_query_tree_children(tree.get());
    return QList<xcb_window_t>(data, data + xcb_query_tree_children_length(tree.get()));
}

QHash<xcb_window_t, xcb_window_t> X11WindowReader::framesOf(const QList<xcb_window_t>& windows,
                                                            const QList<xcb_window_t>& parents,
                                                            const QList<xcb_window_t>& topLevels) {
    xcb_connection_t* c = m_connection.xcb();
    const xcb_window_t root = m_connection.root();
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
            const auto tree = m_connection.reply(xcb_query_tree_reply, cookie);
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
