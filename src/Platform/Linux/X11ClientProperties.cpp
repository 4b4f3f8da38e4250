#include "Platform/Linux/X11ClientProperties.h"

namespace {

// The properties read for every window, in this order.
constexpr const char* kClientAtoms[] = {
    "_NET_WM_PID",      "_NET_WM_NAME",          "WM_NAME",
    "WM_CLASS",         "_NET_WM_WINDOW_TYPE",   "_NET_WM_STATE",
    "WM_STATE",         "_NET_FRAME_EXTENTS",    "_NET_WM_DESKTOP",
    "WM_TRANSIENT_FOR", "_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT",
};
static_assert(std::size(kClientAtoms) == X11ClientProperties::count);
enum ClientAtom {
    Pid,
    NetName,
    Name,
    Class,
    WindowType,
    NetState,
    WmState,
    Extents,
    Desktop,
    Transient,
    StrutPartial,
    Strut
};

constexpr quint32 kIconicState = 3;

} // namespace

X11ClientProperties::X11ClientProperties(X11Connection& x)
    : m_text(x) {
    for (size_t i = 0; i < count; ++i) {
        m_atoms[i] = x.atom(kClientAtoms[i]);
    }
    m_types = {
        {x.atom("_NET_WM_WINDOW_TYPE_NORMAL"), X11Client::Type::Normal},
        {x.atom("_NET_WM_WINDOW_TYPE_DIALOG"), X11Client::Type::Dialog},
        {x.atom("_NET_WM_WINDOW_TYPE_UTILITY"), X11Client::Type::Utility},
        {x.atom("_NET_WM_WINDOW_TYPE_TOOLBAR"), X11Client::Type::Toolbar},
        {x.atom("_NET_WM_WINDOW_TYPE_MENU"), X11Client::Type::Menu},
        {x.atom("_NET_WM_WINDOW_TYPE_SPLASH"), X11Client::Type::Splash},
        {x.atom("_NET_WM_WINDOW_TYPE_DOCK"), X11Client::Type::Dock},
        {x.atom("_NET_WM_WINDOW_TYPE_DESKTOP"), X11Client::Type::Desktop},
        {x.atom("_NET_WM_WINDOW_TYPE_NOTIFICATION"), X11Client::Type::Notification},
    };
    m_hidden = x.atom("_NET_WM_STATE_HIDDEN");
    m_fullScreen = x.atom("_NET_WM_STATE_FULLSCREEN");
    m_skipTaskbar = x.atom("_NET_WM_STATE_SKIP_TASKBAR");
    m_above = x.atom("_NET_WM_STATE_ABOVE");
    m_demandsAttention = x.atom("_NET_WM_STATE_DEMANDS_ATTENTION");
}

bool X11ClientProperties::windowExisted(const Values& values) {
    // A property the window does not have is an empty value; a window that is gone gives none.
    return values[Pid].has_value();
}

void X11ClientProperties::apply(const Values& values, X11Client& client) const {
    const auto items = [&](ClientAtom a) { return values[a].value_or(X11Connection::Property()).items(); };
    if (const QList<quint32> pid = items(Pid); !client.pid && !pid.isEmpty() && pid.first() > 0) {
        client.pid = qint32(pid.first());
    }
    // xterm and other older clients name their windows with WM_NAME only.
    for (const ClientAtom a : {NetName, Name}) {
        if (values[a] && !client.title) {
            client.title = m_text.decode(*values[a]);
        }
    }
    const QList<QByteArray> classParts = values[Class].value_or(X11Connection::Property()).data.split('\0');
    client.wmInstance = QString::fromLocal8Bit(classParts.value(0));
    client.wmClass = QString::fromLocal8Bit(classParts.value(1));
    client.transient = !items(Transient).isEmpty();
    client.type = client.transient ? X11Client::Type::Dialog : X11Client::Type::Normal;
    for (const quint32 t : items(WindowType)) {
        if (const auto known = m_types.constFind(t); known != m_types.constEnd()) {
            client.type = known.value();
            break; // the first type the manager knows is the one that holds
        }
    }
    const QList<quint32> state = items(NetState);
    const QList<quint32> wmState = items(WmState);
    client.hiddenState = state.contains(m_hidden);
    client.iconic = !wmState.isEmpty() && wmState.first() == kIconicState;
    // Until the current desktop is known (see X11Client::minimizedOn).
    client.minimized = client.hiddenState || client.iconic;
    client.fullScreen = state.contains(m_fullScreen);
    client.skipTaskbar = state.contains(m_skipTaskbar);
    client.above = state.contains(m_above);
    client.demandsAttention = state.contains(m_demandsAttention);
    if (const QList<quint32> desktop = items(Desktop); !desktop.isEmpty()) {
        client.desktop = desktop.first();
    }
    if (const QList<quint32> e = items(Extents); e.size() >= 4) {
        client.extents = QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
    }
    client.strut = items(StrutPartial);
    if (client.strut.size() < 12) {
        const QList<quint32> simple = items(Strut);
        // A plain strut reserves the whole length of its edges.
        client.strut = simple.size() < 4
                           ? QList<quint32>()
                           : QList<quint32>{simple[0], simple[1], simple[2], simple[3], 0, 0xFFFF,
                                            0,         0xFFFF,    0,         0xFFFF,    0, 0xFFFF};
    }
}
