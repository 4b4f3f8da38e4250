#include "Platform/Linux/X11PanelWindow.h"

#include "Platform/Linux/X11Connection.h"

#include <QByteArray>
#include <QList>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const QByteArray& name) {
    const X11Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, quint16(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

void replaceAtoms(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property,
                  const QList<xcb_atom_t>& atoms) {
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_ATOM, 32,
                        quint32(atoms.size()), atoms.constData());
}

} // namespace

void X11PanelWindow::markBeforeShow(WId window) {
    xcb_connection_t* connection = X11Connection::applicationConnection();
    if (!connection || window == 0) {
        return;
    }
    const auto x11Window = xcb_window_t(window);
    const xcb_atom_t state = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t type = atom(connection, "_NET_WM_WINDOW_TYPE");
    QList<xcb_atom_t> states;
    for (const QByteArray& name :
         {QByteArray("_NET_WM_STATE_SKIP_TASKBAR"), QByteArray("_NET_WM_STATE_SKIP_PAGER"),
          QByteArray("_NET_WM_STATE_ABOVE")}) {
        states.append(atom(connection, name));
    }
    const xcb_atom_t utility = atom(connection, "_NET_WM_WINDOW_TYPE_UTILITY");
    if (state == XCB_ATOM_NONE || type == XCB_ATOM_NONE || states.contains(XCB_ATOM_NONE) ||
        utility == XCB_ATOM_NONE) {
        return;
    }
    replaceAtoms(connection, x11Window, type, {utility});
    replaceAtoms(connection, x11Window, state, states);
    xcb_flush(connection);
}
