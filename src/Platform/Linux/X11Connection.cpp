#include "Platform/Linux/X11Connection.h"

#include <QGuiApplication>

#include <xcb/randr.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// Properties are read whole; 16 MiB (in 32-bit units) is far above any window's property.
constexpr quint32 kMaxPropertyLength = 4u << 20;

// The server answers a property change at once; a server that does not within this time is
// stalled, and the last event's time has to do.
constexpr std::chrono::milliseconds kServerTimeWait{1000};

// Whether X time a is later than b; the 32-bit milliseconds wrap around every 49.7 days.
bool later(xcb_timestamp_t a, xcb_timestamp_t b) {
    return b == XCB_CURRENT_TIME || qint32(a - b) > 0;
}

} // namespace

QList<quint32> X11Connection::Property::items() const {
    QList<quint32> result;
    if (format != 32) {
        return result;
    }
    const qsizetype count = data.size() / 4;
    if (count == 0) {
        // An empty list has no storage to copy into (memcpy must not be given null).
        return result;
    }
    result.resize(count);
    std::memcpy(result.data(), data.constData(), size_t(count) * 4);
    return result;
}

QString X11Connection::Property::text() const {
    QByteArray bytes = data;
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0) {
        bytes.truncate(zero);
    }
    // Titles are UTF8_STRING (the extended hints) or STRING, which is Latin-1; anything else a
    // client put there is read as UTF-8, the likeliest guess.
    return type == XCB_ATOM_STRING ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

xcb_connection_t* X11Connection::applicationConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    return connection && !xcb_connection_has_error(connection) ? connection : nullptr;
}

int X11Connection::displayScreenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const qsizetype colon = display.lastIndexOf(':');
    return dot > colon && colon >= 0 ? display.mid(dot + 1).toInt() : 0;
}

std::shared_ptr<X11Connection> X11Connection::open() {
    xcb_connection_t* connection = applicationConnection();
    if (!connection) {
        return nullptr;
    }
    // Qt opens the default screen of the display; its root is the desktop's.
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(setup);
    if (it.rem == 0) {
        return nullptr;
    }
    int screenNumber = displayScreenNumber();
    while (screenNumber-- > 0 && it.rem > 1) {
        xcb_screen_next(&it);
    }
    return std::shared_ptr<X11Connection>(new X11Connection(connection, it.data));
}

X11Connection::X11Connection(xcb_connection_t* connection, const xcb_screen_t* screen)
    : m_connection(connection)
    , m_screen(screen)
    , m_root(screen->root) {
    if (const xcb_query_extension_reply_t* randr = xcb_get_extension_data(m_connection, &xcb_randr_id);
        randr && randr->present) {
        m_randrEventBase = randr->first_event;
    }
    watchRoot();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Connection::~X11Connection() {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
    }
}

void X11Connection::watchRoot() {
    // Event masks belong to the client, and Qt shares this one: add to its mask, never replace it.
    const auto attributes =
        reply(xcb_get_window_attributes_reply, xcb_get_window_attributes(m_connection, m_root));
    const quint32 mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
    discard(xcb_change_window_attributes_checked(m_connection, m_root, XCB_CW_EVENT_MASK, &mask));
    flush();
}

xcb_atom_t X11Connection::atom(const char* name) {
    const QByteArray key(name);
    if (const auto it = m_atoms.constFind(key); it != m_atoms.constEnd()) {
        return it.value();
    }
    const auto interned =
        reply(xcb_intern_atom_reply, xcb_intern_atom(m_connection, 0, quint16(key.size()), key.constData()));
    const xcb_atom_t atom = interned ? interned->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (atom != XCB_ATOM_NONE) {
        m_atoms.insert(key, atom);
    }
    return atom;
}

QList<std::optional<X11Connection::Property>>
X11Connection::properties(const QList<std::pair<xcb_window_t, xcb_atom_t>>& requests) {
    QList<xcb_get_property_cookie_t> cookies;
    cookies.reserve(requests.size());
    for (const auto& [window, atom] : requests) {
        cookies.append(requestProperty(window, atom));
    }
    QList<std::optional<Property>> result;
    result.reserve(requests.size());
    for (const xcb_get_property_cookie_t& cookie : cookies) {
        result.append(propertyReply(cookie));
    }
    return result;
}

xcb_get_property_cookie_t X11Connection::requestProperty(xcb_window_t window, xcb_atom_t atom) {
    return xcb_get_property(m_connection, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxPropertyLength);
}

std::optional<X11Connection::Property> X11Connection::propertyReply(xcb_get_property_cookie_t cookie) const {
    const auto answer = reply(xcb_get_property_reply, cookie);
    if (!answer) {
        return std::nullopt;
    }
    Property property;
    property.type = answer->type;
    property.format = answer->format;
    property.data = QByteArray(static_cast<const char*>(xcb_get_property_value(answer.get())),
                               xcb_get_property_value_length(answer.get()));
    return property;
}

std::optional<X11Connection::Property> X11Connection::property(xcb_window_t window, xcb_atom_t atom) {
    return properties({{window, atom}}).constFirst();
}

std::chrono::nanoseconds X11Connection::threadTime() {
    timespec time{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time) != 0) {
        return std::chrono::nanoseconds::zero();
    }
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

quint64 X11Connection::pass() {
    const auto now = std::chrono::steady_clock::now();
    // Asked for at every read, often thousands of times in a pass: the thread's processor time
    // (a system call) is looked at only once the last look is a while back. What it may add to a
    // pause is the idle time of that short while: a pass ends early rather than late.
    if (!m_passUsed || now - m_passUsedAt >= passSampling) {
        const auto busy = threadTime();
        // Time this thread spent on other work is no pause: a long computation between two reads
        // waits for nothing outside.
        const auto idle = (now - m_passUsedAt) - (busy - m_passBusyAt);
        if (m_passUsed && (idle > passPause || now - m_passBegan > passLifetime)) {
            ++m_pass;
            m_passUsed = false;
        }
        m_passUsedAt = now;
        m_passBusyAt = busy;
    } else if (now - m_passBegan > passLifetime) {
        ++m_pass;
        m_passUsed = false;
    }
    if (!m_passUsed) {
        m_passUsed = true;
        m_passBegan = now;
        QMetaObject::invokeMethod(
            this,
            [this, pass = m_pass] {
                if (m_pass == pass) {
                    ++m_pass;
                    m_passUsed = false;
                }
            },
            Qt::QueuedConnection);
    }
    return m_pass;
}

void X11Connection::answered() const {
    if (m_passUsed) {
        m_passUsedAt = std::chrono::steady_clock::now();
        m_passBusyAt = threadTime();
    }
}

xcb_timestamp_t X11Connection::serverTime() {
    if (!m_serverTime) {
        m_serverTime = std::make_unique<X11ServerTime>(X11ServerTime::applicationDisplayName());
    }
    // Asked afresh in each pass: a manager refuses an activation whose time is older than the
    // user's last key press or click, which this program does not see. Within one pass the
    // requests go out back to back, and one answer serves them all: asked for each of a hundred
    // windows, the server's time would cost a hundred waits for it.
    const quint64 now = pass();
    if (m_serverTimePass != now) {
        // A wait for the server like any other, if on a connection of its own.
        s_roundTrips.fetch_add(1, std::memory_order_relaxed);
        const std::optional<xcb_timestamp_t> time = m_serverTime->now(kServerTimeWait);
        answered();
        if (time) {
            noteTime(*time);
            m_serverTimePass = now;
        }
    }
    return m_lastEventTime;
}

void X11Connection::noteTime(xcb_timestamp_t time) {
    if (time != XCB_CURRENT_TIME && later(time, m_lastEventTime)) {
        m_lastEventTime = time;
    }
}

void X11Connection::sendRootMessage(xcb_window_t window, xcb_atom_t type,
                                    const std::array<quint32, 5>& data) {
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof(event));
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (size_t i = 0; i < data.size(); ++i) {
        event.data.data32[i] = data[i];
    }
    discard(xcb_send_event_checked(m_connection, 0, m_root,
                                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                   reinterpret_cast<const char*>(&event)));
    flush();
}

void X11Connection::discard(xcb_void_cookie_t cookie) {
    xcb_discard_reply(m_connection, cookie.sequence);
}

void X11Connection::discardReply(unsigned int sequence) {
    xcb_discard_reply(m_connection, sequence);
}

void X11Connection::flush() {
    xcb_flush(m_connection);
}

bool X11Connection::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    Q_UNUSED(result);
    if (eventType != "xcb_generic_event_t" || !message) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        noteTime(notify->time);
        if (notify->window == m_root) {
            emit rootPropertyChanged(notify->atom);
        }
    } else if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        // A release has the layout of a press.
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        noteTime(key->time);
        if (key->event == m_root) {
            if (type == XCB_KEY_PRESS) {
                emit keyPressed(key->detail, key->state, key->time);
            } else {
                emit keyReleased(key->detail, key->state, key->time);
            }
        }
    } else if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE || type == XCB_MOTION_NOTIFY) {
        // The three share the layout of a key press.
        noteTime(reinterpret_cast<const xcb_button_press_event_t*>(event)->time);
    } else if (type == XCB_ENTER_NOTIFY || type == XCB_LEAVE_NOTIFY) {
        noteTime(reinterpret_cast<const xcb_enter_notify_event_t*>(event)->time);
    } else if (type == XCB_MAPPING_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_mapping_notify_event_t*>(event);
        if (notify->request != XCB_MAPPING_POINTER) {
            emit keyboardMappingChanged();
        }
    } else if (m_randrEventBase != 0 && (type == m_randrEventBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                                         type == m_randrEventBase + XCB_RANDR_NOTIFY)) {
        ++m_screenLayoutGeneration;
        emit screenLayoutChanged();
    }
    // Qt goes on handling every event as usual.
    return false;
}
