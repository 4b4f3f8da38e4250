#pragma once

#include "Platform/Clock.h"
#include "Platform/Screens.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>

class AppRootModel;
class PopoverModel;
class QMenu;
class QQmlEngine;
class QQuickItem;
class QQuickWindow;
class QSystemTrayIcon;

// Ordella's place on the desktop: an icon in the system tray and, on its click, the menu-bar
// window - a frameless popup next to the icon showing the root view (onboarding or the workspace
// list) - that closes when Ordella loses the focus to another application or on a second click.
// Without a tray, or under a tray that does not tell where its icon is, the window opens in the
// top-right corner of the work area of the screen with the pointer. The work area leaves out what
// panels and docks reserve on that screen, so the window never covers them. Whenever its size
// changes (the list grows or shrinks) it is placed again against the icon and the work area. While an
// operation runs (a restore activates other applications' windows) losing the focus does not close
// it; when the operation ends it takes the focus back, so the result shows and a click elsewhere
// closes it as usual.
class MenuBarWindow : public QObject {
    Q_OBJECT
public:
    // A click on the icon that comes this soon after the window closed itself is the click that
    // took the focus away, not a request to open it again.
    static constexpr std::chrono::milliseconds reopenGuard{300};
    static constexpr int screenMargin = 8;

    // The tray icon and its menu are made at once; the window and its views only when first
    // needed (or prepared), so that starting Ordella does not wait for them.
    MenuBarWindow(AppRootModel& root, PopoverModel& popover, std::shared_ptr<Clock> clock,
                  QObject* parent = nullptr);
    ~MenuBarWindow() override;

    // Makes the window and its views now, if that has not happened yet.
    void prepare();
    bool isPrepared() const { return m_window != nullptr; }
    QQuickWindow* window();
    // The engine of Ordella's views, which other windows (the settings) share.
    QQmlEngine& engine();
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    bool isOpen() const;
    // Shows the tray icon; false when the desktop has no tray.
    bool showTrayIcon();

    // Where the tray icon is (empty without one, or when the tray does not say) and the usable
    // area of the screen it is on (of the screen with the pointer without an icon); tests put the
    // icon and the pointer anywhere.
    using IconGeometry = std::function<QRect()>;
    using WorkArea = std::function<QRect(const QRect& iconGeometry)>;
    using PointerPosition = std::function<QPoint()>;
    void setIconGeometry(IconGeometry iconGeometry) { m_iconGeometry = std::move(iconGeometry); }
    void setWorkArea(WorkArea workArea) { m_workArea = std::move(workArea); }
    void setPointerPosition(PointerPosition pointer) { m_pointer = std::move(pointer); }
    // The screens of the desktop the window is shown on, whose visible frames are the work areas;
    // without them, the work areas Qt knows.
    void setDesktopScreens(std::shared_ptr<Screens> screens) { m_desktopScreens = std::move(screens); }
    // Where the icon is now: empty without a tray, while the tray has not taken the icon in yet,
    // and under a tray that does not say.
    QRect iconGeometry() const;
    // Waits, at most wait, until the tray has placed the icon; whether it has.
    QCoro::Task<bool> iconPlaced(Clock::Duration wait);

    // The visible frame, in the window system's coordinates, of the screen at point (the primary
    // one when none is), from screens as the Screens port gives them; primaryOrigin is where the
    // primary screen's top-left corner lies in the window system's coordinates. Empty without
    // screens.
    static QRect usableArea(const QPoint& point, const QList<Screen>& screens, const QPoint& primaryOrigin);

    // Another application took the focus (or Ordella got it back).
    void applicationStateChanged(Qt::ApplicationState state);

    // Where the window goes for an icon at iconGeometry (empty without a tray) on a screen whose
    // usable area is available: centred under the icon (above it at the bottom of the screen),
    // inside the screen, at most as high as the screen.
    static QRect placement(const QRect& iconGeometry, const QRect& available, const QSize& size);

public slots:
    void open();
    void close();
    void toggle();

signals:
    // The window came on screen (the view is laid out and shown).
    void opened();

private:
    void fitToView();
    // The tray icon's place as the window system has it.
    QRect trayIconGeometry() const;
    // Sizes the window to its view and places it against the icon.
    void place();
    void operationStateChanged();

    AppRootModel& m_appRoot;
    PopoverModel& m_popover;
    std::shared_ptr<Clock> m_clock;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    QPointer<QQuickItem> m_root;
    QSystemTrayIcon* m_tray;
    std::unique_ptr<QMenu> m_menu;
    Clock::TimePoint m_closedAt{};
    bool m_closedBySelf = false;
    bool m_wasProcessing = false;
    IconGeometry m_iconGeometry;
    WorkArea m_workArea;
    PointerPosition m_pointer;
    std::shared_ptr<Screens> m_desktopScreens;
};
