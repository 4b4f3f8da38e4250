#pragma once

#include "Platform/Linux/X11Connection.h"

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

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

// The monitors of the X screen, read from RandR on every call, the primary one first.
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

private:
    QByteArray edidOf(const QList<quint32>& outputs);
    QString atomName(xcb_atom_t atom);

    std::shared_ptr<X11Connection> m_connection;
    bool m_hasRandr = false;
};
