#pragma once

#include "Platform/Linux/Edid.h"
#include "Platform/Linux/X11Monitors.h"
#include "Platform/Linux/X11Windows.h"
#include "Platform/Screens.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QUuid>

#include <memory>
#include <optional>

// The screens of an X11 desktop: RandR monitors, the primary one first. A monitor's identity is a
// name-based UUID made from its EDID (maker, model, serial number and serial text), so the same
// display is recognised whichever connector it is plugged into; a monitor without EDID is known by
// its name. Each visible frame leaves out what docks and panels reserve (their struts), worked out
// per monitor because the desktop-wide work area cannot say which monitor a panel is on. The
// screens worked out are kept while the monitors stay the same (see X11Monitors) and until RandR,
// the work area or Qt's list of screens announce a change.
class LinuxScreens : public Screens {
    Q_OBJECT
public:
    LinuxScreens(std::shared_ptr<X11Windows> windows, std::shared_ptr<X11Monitors> monitors,
                 QObject* parent = nullptr);

    QList<Screen> screens() const override;
    // The screen that shows the active window, else the primary screen.
    std::optional<Screen> mainScreen() const override;

    static QUuid identityOf(const X11Monitor& monitor, const std::optional<Edid>& edid);
    // The part of monitor (root coordinates) that the struts (each the 12 values of an extended
    // strut) leave free on a root window of rootSize. A strut that would leave nothing is ignored.
    static QRect usableArea(const QRect& monitor, const QList<QList<quint32>>& struts, const QSize& rootSize);

private:
    QList<Screen> read() const;
    void checkForChanges();

    std::shared_ptr<X11Windows> m_windows;
    std::shared_ptr<X11Monitors> m_monitors;
    QList<Screen> m_last;
    // The screens as last worked out, at the monitors' layout serial m_currentSerial.
    mutable std::optional<QList<Screen>> m_current;
    mutable quint64 m_currentSerial = 0;
};
