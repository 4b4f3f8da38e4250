#include "Platform/Linux/LinuxScreens.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSet>

namespace {

// The namespace of Ordella's display identities.
const QUuid kIdentityNamespace(QStringLiteral("{5f6b1e43-2a7d-4c1e-9d0b-8e3f4a6c2b71}"));

QRectF bottomLeft(const QRect& topLeft, double primaryHeight) {
    return QRectF(topLeft.x(), primaryHeight - topLeft.y() - topLeft.height(), topLeft.width(),
                  topLeft.height());
}

} // namespace

LinuxScreens::LinuxScreens(std::shared_ptr<X11Windows> windows, std::shared_ptr<X11Monitors> monitors,
                           QObject* parent)
    : Screens(parent)
    , m_windows(std::move(windows))
    , m_monitors(std::move(monitors)) {
    m_last = screens();
    X11Connection* connection = &m_windows->connection();
    connect(connection, &X11Connection::screenLayoutChanged, this, &LinuxScreens::checkForChanges);
    const xcb_atom_t workArea = connection->atom("_NET_WORKAREA");
    connect(connection, &X11Connection::rootPropertyChanged, this, [this, workArea](xcb_atom_t atom) {
        if (atom == workArea) {
            checkForChanges(); // a panel came, went or changed the space it reserves
        }
    });
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::screenAdded, this, &LinuxScreens::checkForChanges);
        connect(app, &QGuiApplication::screenRemoved, this, &LinuxScreens::checkForChanges);
        connect(app, &QGuiApplication::primaryScreenChanged, this, &LinuxScreens::checkForChanges);
    }
}

QUuid LinuxScreens::identityOf(const X11Monitor& monitor, const std::optional<Edid>& edid) {
    if (edid) {
        const QString key = QStringLiteral("edid/") + edid->manufacturer + u'/' +
                            QString::number(edid->productCode) + u'/' + QString::number(edid->serialNumber) +
                            u'/' + edid->serialText;
        return QUuid::createUuidV5(kIdentityNamespace, key);
    }
    return QUuid::createUuidV5(kIdentityNamespace, QStringLiteral("monitor/") + monitor.name);
}

QRect LinuxScreens::usableArea(const QRect& monitor, const QList<QList<quint32>>& struts,
                               const QSize& rootSize) {
    QRect usable = monitor;
    const auto span = [](quint32 start, quint32 end) {
        return int(std::min<quint32>(end, 0xFFFF)) - int(start) + 1;
    };
    for (const QList<quint32>& s : struts) {
        if (s.size() < 12) {
            continue;
        }
        const int w = rootSize.width();
        const int h = rootSize.height();
        // Left, right, top and bottom: what each reserves, measured from the root window's edge.
        const QRect left(0, int(s[4]), int(s[0]), span(s[4], s[5]));
        const QRect right(w - int(s[1]), int(s[6]), int(s[1]), span(s[6], s[7]));
        const QRect top(int(s[8]), 0, span(s[8], s[9]), int(s[2]));
        const QRect bottom(int(s[10]), h - int(s[3]), span(s[10], s[11]), int(s[3]));
        QRect cut = usable;
        if (s[0] > 0 && left.intersects(cut)) {
            cut.setLeft(std::max(cut.left(), left.right() + 1));
        }
        if (s[1] > 0 && right.intersects(cut)) {
            cut.setRight(std::min(cut.right(), right.left() - 1));
        }
        if (s[2] > 0 && top.intersects(cut)) {
            cut.setTop(std::max(cut.top(), top.bottom() + 1));
        }
        if (s[3] > 0 && bottom.intersects(cut)) {
            cut.setBottom(std::min(cut.bottom(), bottom.top() - 1));
        }
        if (!cut.isEmpty()) {
            usable = cut;
        }
    }
    return usable;
}

QList<Screen> LinuxScreens::screens() const {
    const quint64 serial = m_monitors->layoutSerial();
    if (!m_current || m_currentSerial != serial) {
        m_current = read();
        m_currentSerial = serial;
    }
    return *m_current;
}

QList<Screen> LinuxScreens::read() const {
    const QList<X11Monitor> monitors = m_monitors->monitors(true);
    if (monitors.isEmpty()) {
        return {};
    }
    QList<QList<quint32>> struts;
    for (const X11Client& window : m_windows->clients()) {
        if (!window.strut.isEmpty() && !window.minimized) {
            struts.append(window.strut);
        }
    }
    const QSize root = m_monitors->rootSize();
    const QPoint origin = monitors.first().geometry.topLeft();
    const double primaryHeight = monitors.first().geometry.height();
    QList<Screen> result;
    QSet<QUuid> taken;
    for (const X11Monitor& monitor : monitors) {
        const std::optional<Edid> edid = Edid::parse(monitor.edid);
        Screen screen;
        screen.displayNumber =
            monitor.outputs.isEmpty() ? quint32(monitor.nameAtom) : monitor.outputs.first();
        QUuid identity = identityOf(monitor, edid);
        if (taken.contains(identity)) {
            // Two units of one model that report no serial number: the monitor's name tells
            // them apart.
            identity = QUuid::createUuidV5(identity, monitor.name);
        }
        taken.insert(identity);
        screen.identity = identity;
        screen.frame = bottomLeft(monitor.geometry.translated(-origin), primaryHeight);
        screen.visibleFrame =
            bottomLeft(usableArea(monitor.geometry, struts, root).translated(-origin), primaryHeight);
        screen.localizedName = edid && !edid->displayName.isEmpty() ? edid->displayName : monitor.name;
        result.append(screen);
    }
    return result;
}

std::optional<Screen> LinuxScreens::mainScreen() const {
    const QList<Screen> list = screens();
    if (list.isEmpty()) {
        return std::nullopt;
    }
    const std::optional<X11Client> active = m_windows->client(m_windows->activeWindow());
    if (active) {
        const QPoint origin = m_monitors->primaryOrigin();
        const QPointF centre = QRectF(active->frameRect().translated(-origin)).center();
        const double h = list.first().frame.height();
        const QPointF probe(centre.x(), h - centre.y());
        for (const Screen& screen : list) {
            if (screen.frame.contains(probe)) {
                return screen;
            }
        }
    }
    return list.first();
}

void LinuxScreens::checkForChanges() {
    // Whatever announced a change, the monitors and the struts are read again in full.
    m_monitors->invalidate();
    m_current.reset();
    const QList<Screen> now = screens();
    if (now != m_last) {
        m_last = now;
        emit screensChanged();
    }
}
