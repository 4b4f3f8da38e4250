#pragma once

#include "Platform/Clock.h"

#include <QObject>
#include <QPointer>
#include <QRect>

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
// list) - that closes when Ordella loses the focus to another application or on a second click. Without a
// tray the window opens in the top-right corner of the screen.
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
};
