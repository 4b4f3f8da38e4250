#include "Platform/Linux/X11Monitors.h"

#include <xcb/randr.h>

namespace {} // namespace

X11Monitors::X11Monitors(std::shared_ptr<X11Connection> connection)
    : m_connection(std::move(connection)) {
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

QList<X11Monitor> X11Monitors::monitors(bool described) {
    xcb_connection_t* c = m_connection->xcb();
    QList<X11Monitor> list;
    if (m_hasRandr) {
        const auto reply = m_connection->reply(xcb_randr_get_monitors_reply,
                                               xcb_randr_get_monitors(c, m_connection->root(), 1));
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
    for (X11Monitor& monitor : list) {
        if (described) {
            monitor.name = atomName(monitor.nameAtom);
            monitor.edid = edidOf(monitor.outputs);
        }
    }
    return list;
}

QPoint X11Monitors::primaryOrigin() {
    const QList<X11Monitor> list = monitors(false);
    return list.isEmpty() ? QPoint(0, 0) : list.first().geometry.topLeft();
}
