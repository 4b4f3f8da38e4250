#include "Platform/Linux/X11Compositor.h"

#include "Platform/Linux/X11Connection.h"

#include <QByteArray>

bool X11Compositor::isRunning() {
    xcb_connection_t* connection = X11Connection::applicationConnection();
    if (!connection) {
        return false;
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(X11Connection::displayScreenNumber());
    const X11Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, quint16(name.size()), name.constData()), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE) {
        return false;
    }
    const X11Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}
