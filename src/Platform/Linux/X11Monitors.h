#pragma once

#include "Platform/Linux/X11Connection.h"

#include <xcb/randr.h>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>
#include <optional>

// One monitor as RandR describes it: a named area of the root window, shown by zero or more
// outputs (a monitor set up by hand may have none).
struct X11Monitor {
    QString name;
    xcb_atom_t nameAtom = XCB_ATOM_NONE;
    bool primary = false;
    // In root coordinates.
    QRect geometry;
    QList<quint32> outputs;
    // The EDID of the first of its outputs that has one; empty when none has.
    QByteArray edid;
};

// The monitors of the X screen, the primary one first. Their list is read from RandR once per pass
// of the connection (see X11Connection::pass); their names, EDIDs and the root window's size are
// read again only when that list, RandR's events or the screens' port say the layout changed.
class X11Monitors {
public:
    explicit X11Monitors(std::shared_ptr<X11Connection> connection);

    // The primary monitor is the one RandR marks; without a mark, the one at the root's origin,
    // else the first. A server without RandR has one monitor covering the root window. Names and
    // EDIDs cost a request each and are read only when described is true.
    QList<X11Monitor> monitors(bool described = true);
    // The top-left corner of the primary monitor in root coordinates: the origin of the global
    // coordinates every port speaks.
    QPoint primaryOrigin();
    // The size of the root window, which holds every monitor.
    QSize rootSize();
    // Asks for the list ahead when this pass has not read it yet, so that the question travels
    // with whatever is asked next (a window's reading) instead of on a wait of its own.
    void askAhead();
    // Forgets what was read: a change of the layout was seen where RandR's own events do not
    // reach (Qt's list of screens).
    void invalidate();
    // Changes whenever the layout may have changed (checked once per pass): what was worked out
    // from the monitors under the same number still holds.
    quint64 layoutSerial();

private:
    QList<X11Monitor> read();
    void describe(QList<X11Monitor>& monitors);
    QByteArray edidOf(const QList<quint32>& outputs);
    QString atomName(xcb_atom_t atom);

    std::shared_ptr<X11Connection> m_connection;
    // Receives the connection's signals; goes with this object.
    std::unique_ptr<QObject> m_context;
    bool m_hasRandr = false;
    // The list read in pass m_pass (or at layout generation m_generation); the same with names
    // and EDIDs, and the root's size, as long as the list stays the same.
    quint64 m_pass = 0;
    quint64 m_generation = 0;
    std::optional<QList<X11Monitor>> m_plain;
    std::optional<QList<X11Monitor>> m_described;
    std::optional<QSize> m_rootSize;
    quint64 m_layoutSerial = 1;
    // The list asked for ahead in pass m_aheadPass, its answer not read yet.
    std::optional<xcb_randr_get_monitors_cookie_t> m_ahead;
    quint64 m_aheadPass = 0;
};
