#include "Platform/Linux/X11Monitors.h"

#include <xcb/randr.h>

#include <algorithm>
#include <utility>

X11Monitors::X11Monitors(std::shared_ptr<X11Connection> connection)
    : m_connection(std::move(connection))
    , m_context(std::make_unique<QObject>()) {
    // Where a window is depends on where the primary monitor is: the list goes along with every
    // read of windows, and costs no wait of its own when a window's place is asked for later.
    QObject::connect(m_connection.get(), &X11Connection::flightBegins, m_context.get(),
                     [this] { askAhead(); });
    xcb_connection_t* c = m_connection->xcb();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_randr_id);
    if (ext && ext->present) {
        const auto version =
            m_connection->reply(xcb_randr_query_version_reply, xcb_randr_query_version(c, 1, 5));
        // Monitors came with RandR 1.5.
        m_hasRandr = version && (version->major_version > 1 ||
                                 (version->major_version == 1 && version->minor_version >= 5));
    }
}

QString X11Monitors::atomName(xcb_atom_t atom) {
    xcb_connection_t* c = m_connection->xcb();
    const auto reply = m_connection->reply(xcb_get_atom_name_reply, xcb_get_atom_name(c, atom));
    if (!reply) {
        return QString();
    }
    return QString::fromUtf8(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
}

QByteArray X11Monitors::edidOf(const QList<quint32>& outputs) {
    xcb_connection_t* c = m_connection->xcb();
    const xcb_atom_t edidAtom = m_connection->atom("EDID");
    for (const quint32 output : outputs) {
        const auto reply = m_connection->reply(
            xcb_randr_get_output_property_reply,
            xcb_randr_get_output_property(c, output, edidAtom, XCB_ATOM_ANY, 0, 256, 0, 0));
        if (reply && reply->format == 8 && reply->num_items > 0) {
            return QByteArray(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(reply.get())),
                              xcb_randr_get_output_property_data_length(reply.get()));
        }
    }
    return QByteArray();
}

namespace {

// Whether two lists name the same monitors with the same places and outputs.
bool sameLayout(const QList<X11Monitor>& a, const QList<X11Monitor>& b) {
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                      [](const X11Monitor& x, const X11Monitor& y) {
                          return x.nameAtom == y.nameAtom && x.primary == y.primary &&
                                 x.geometry == y.geometry && x.outputs == y.outputs;
                      });
}

} // namespace

QList<X11Monitor> X11Monitors::monitors(bool described) {
    const quint64 pass = m_connection->pass();
    if (m_generation != m_connection->screenLayoutGeneration()) {
        invalidate();
        m_generation = m_connection->screenLayoutGeneration();
    }
    if (!m_plain || m_pass != pass) {
        QList<X11Monitor> now = read();
        if (m_plain && !sameLayout(*m_plain, now)) {
            m_described.reset();
            m_rootSize.reset();
            ++m_layoutSerial;
        }
        m_plain = std::move(now);
        m_pass = pass;
    }
    if (!described) {
        return *m_plain;
    }
    if (!m_described) {
        m_described = *m_plain;
        describe(*m_described);
    }
    return *m_described;
}

void X11Monitors::invalidate() {
    m_plain.reset();
    m_described.reset();
    m_rootSize.reset();
    ++m_layoutSerial;
}

quint64 X11Monitors::layoutSerial() {
    monitors(false);
    return m_layoutSerial;
}

QSize X11Monitors::rootSize() {
    monitors(false); // a change of the layout may have changed the size
    if (!m_rootSize) {
        X11Connection& x = *m_connection;
        const auto geometry = x.reply(xcb_get_geometry_reply, xcb_get_geometry(x.xcb(), x.root()));
        m_rootSize = geometry ? QSize(geometry->width, geometry->height)
                              : QSize(x.screen()->width_in_pixels, x.screen()->height_in_pixels);
    }
    return *m_rootSize;
}

void X11Monitors::askAhead() {
    const quint64 pass = m_connection->pass();
    const bool known = m_plain && m_pass == pass && m_generation == m_connection->screenLayoutGeneration();
    if (!m_hasRandr || known || (m_ahead && m_aheadPass == pass)) {
        return;
    }
    if (m_ahead) {
        m_connection->discardReply(m_ahead->sequence);
    }
    m_ahead = xcb_randr_get_monitors(m_connection->xcb(), m_connection->root(), 1);
    m_aheadPass = pass;
}

QList<X11Monitor> X11Monitors::read() {
    xcb_connection_t* c = m_connection->xcb();
    QList<X11Monitor> list;
    // An answer asked for in an earlier pass may be out of date.
    std::optional<xcb_randr_get_monitors_cookie_t> ahead = std::exchange(m_ahead, std::nullopt);
    if (ahead && m_aheadPass != m_connection->pass()) {
        m_connection->discardReply(ahead->sequence);
        ahead.reset();
    }
    if (m_hasRandr) {
        const auto reply = m_connection->reply(
            xcb_randr_get_monitors_reply, ahead.value_or(xcb_randr_get_monitors(c, m_connection->root(), 1)));
        if (reply) {
            for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
                 xcb_randr_monitor_info_next(&it)) {
                X11Monitor monitor;
                monitor.nameAtom = it.data->name;
                monitor.primary = it.data->primary != 0;
                monitor.geometry = QRect(it.data->x, it.data->y, it.data->width, it.data->height);
                const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(it.data);
                monitor.outputs =
                    QList<quint32>(outputs, outputs + xcb_randr_monitor_info_outputs_length(it.data));
                list.append(monitor);
            }
        }
    }
    if (list.isEmpty()) {
        X11Monitor whole;
        whole.name = QStringLiteral("screen");
        whole.geometry =
            QRect(0, 0, m_connection->screen()->width_in_pixels, m_connection->screen()->height_in_pixels);
        whole.primary = true;
        return {whole};
    }
    qsizetype primary = -1;
    for (qsizetype i = 0; i < list.size() && primary < 0; ++i) {
        primary = list[i].primary ? i : -1;
    }
    for (qsizetype i = 0; i < list.size() && primary < 0; ++i) {
        primary = list[i].geometry.contains(QPoint(0, 0)) ? i : -1;
    }
    if (primary > 0) {
        list.move(primary, 0);
    }
    list.first().primary = true;
    return list;
}

void X11Monitors::describe(QList<X11Monitor>& monitors) {
    for (X11Monitor& monitor : monitors) {
        if (monitor.nameAtom != XCB_ATOM_NONE) {
            monitor.name = atomName(monitor.nameAtom);
        }
        monitor.edid = edidOf(monitor.outputs);
    }
}

QPoint X11Monitors::primaryOrigin() {
    const QList<X11Monitor> list = monitors(false);
    return list.isEmpty() ? QPoint(0, 0) : list.first().geometry.topLeft();
}
