#include "App/MenuBarWindow.h"

#include "App/DialogPrompts.h"
#include "Platform/Linux/X11DockedWindow.h"
#include "Platform/Linux/X11PanelWindow.h"
#include "Platform/Platform.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/PopoverModel.h"
#include "Views/Theme.h"
#include "Views/UiSetup.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QSurfaceFormat>
#include <QSystemTrayIcon>
#include <QWidget>

MenuBarWindow::MenuBarWindow(AppRootModel& root, PopoverModel& popover, std::shared_ptr<Clock> clock,
                             QObject* parent)
    : QObject(parent)
    , m_appRoot(root)
    , m_popover(popover)
    , m_clock(std::move(clock))
    , m_tray(new QSystemTrayIcon(QIcon(QStringLiteral(":/Ordella/AppIcon.svg")), this)) {
    // The list comes on screen in the open window once onboarding is done.
    connect(&root, &AppRootModel::isOnboardingCompleteChanged, this, [this] {
        if (isOpen()) {
            m_popover.appeared();
        }
    });

    m_menu = std::make_unique<QMenu>();
    m_menu->addAction(QStringLiteral("Open Ordella"), this, &MenuBarWindow::open);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit Ordella"), &popover, &PopoverModel::quit);
    m_tray->setContextMenu(m_menu.get());
    m_tray->setToolTip(QStringLiteral("Ordella"));
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            toggle();
        }
    });
    m_iconGeometry = [this] { return m_tray->isVisible() ? trayIconGeometry() : QRect(); };
    m_pointer = [] { return QCursor::pos(); };
    m_workArea = [this](const QRect& icon) {
        const QPoint at = icon.isValid() && !icon.isEmpty() ? icon.center() : m_pointer();
        QScreen* primary = QGuiApplication::primaryScreen();
        if (m_desktopScreens) {
            const QRect area = usableArea(at, m_desktopScreens->screens(),
                                          primary ? primary->geometry().topLeft() : QPoint());
            if (area.isValid()) {
                return area;
            }
        }
        QScreen* screen = QGuiApplication::screenAt(at);
        if (!screen) {
            screen = primary;
        }
        return screen ? screen->availableGeometry() : QRect();
    };
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            &MenuBarWindow::applicationStateChanged);
    connect(&m_popover, &PopoverModel::statusChanged, this, &MenuBarWindow::operationStateChanged);
    connect(&m_popover, &PopoverModel::closeRequested, this, &MenuBarWindow::close);
}

void MenuBarWindow::applicationStateChanged(Qt::ApplicationState state) {
    // Another application took the focus: the popup goes, unless one of Ordella's own alerts or
    // panels is what has it, or an operation that moves other windows to the front runs.
    if (state != Qt::ApplicationActive && isOpen() && DialogPrompts::openCount() == 0 &&
        !m_popover.isProcessing()) {
        close();
        m_closedBySelf = true;
    }
}

void MenuBarWindow::operationStateChanged() {
    const bool processing = m_popover.isProcessing();
    if (m_wasProcessing && !processing && isOpen() && !m_window->isActive()) {
        m_window->raise();
        m_window->requestActivate();
    }
    m_wasProcessing = processing;
}

void MenuBarWindow::prepare() {
    if (m_window) {
        return;
    }
    UiSetup::prepare();
    m_engine = std::make_unique<QQmlEngine>();
    m_window = std::make_unique<QQuickWindow>();
    m_window->setTitle(QStringLiteral("Ordella"));
    m_window->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // Translucent where the desktop composites windows; opaque (not black) where it does not.
    const std::function<bool()>& composited = Platform::current().windowsComposited;
    Theme::shared().setTranslucent(composited && composited());
    if (Theme::shared().translucent()) {
        QSurfaceFormat format = m_window->format();
        format.setAlphaBufferSize(8);
        m_window->setFormat(format);
    }
    const auto paint = [this] {
        m_window->setColor(Theme::shared().translucent() ? QColor(Qt::transparent)
                                                         : Theme::shared().windowBackground());
    };
    paint();
    connect(&Theme::shared(), &Theme::changed, m_window.get(), paint);

    QQmlComponent component(m_engine.get(), QUrl(QStringLiteral("qrc:/Ordella/AppRootView.qml")));
    QObject* created =
        component.createWithInitialProperties({{QStringLiteral("appRoot"), QVariant::fromValue(&m_appRoot)},
                                               {QStringLiteral("popover"), QVariant::fromValue(&m_popover)}});
    m_root = qobject_cast<QQuickItem*>(created);
    if (m_root) {
        m_root->setParentItem(m_window->contentItem());
        connect(m_root, &QQuickItem::implicitHeightChanged, this, &MenuBarWindow::fitToView);
        connect(m_root, &QQuickItem::implicitWidthChanged, this, &MenuBarWindow::fitToView);
        fitToView();
    } else {
        qWarning("%s", qPrintable(component.errorString()));
        delete created;
    }
    // The onboarding reads the permissions, and the list keeps its ages current, only while they
    // are on screen.
    connect(m_window.get(), &QWindow::visibleChanged, &m_appRoot, &AppRootModel::setWindowVisible);
    connect(m_window.get(), &QWindow::visibleChanged, &m_popover, &PopoverModel::setWindowVisible);
}

QQuickWindow* MenuBarWindow::window() {
    prepare();
    return m_window.get();
}

QQmlEngine& MenuBarWindow::engine() {
    prepare();
    return *m_engine;
}

MenuBarWindow::~MenuBarWindow() {
    delete m_root;
}

QRect MenuBarWindow::trayIconGeometry() const {
    // On X11 the icon is a small window of its own, which Qt places at 0,0 until the tray takes it
    // in (and says so a moment after): only the X server's answer counts there.
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    const auto icon = std::find_if(windows.cbegin(), windows.cend(), [](const QWidget* w) {
        return w->objectName() == QLatin1String("QSystemTrayIconSys");
    });
    if (icon == windows.cend() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return m_tray->geometry();
    }
    const std::optional<QRect> docked = X11DockedWindow::geometry((*icon)->winId());
    if (!docked) {
        return QRect();
    }
    // Scaled, Qt's coordinates are not the server's: Qt's own answer is right once it is docked.
    return (*icon)->devicePixelRatioF() == 1.0 ? *docked : m_tray->geometry();
}

QRect MenuBarWindow::iconGeometry() const {
    return m_iconGeometry ? m_iconGeometry() : QRect();
}

QCoro::Task<bool> MenuBarWindow::iconPlaced(Clock::Duration wait) {
    const QPointer<MenuBarWindow> self(this);
    const std::shared_ptr<Clock> clock = m_clock;
    // Named: a lambda made inside the awaited expression is destroyed twice by this compiler.
    const auto placed = [self] { return !self || !self->iconGeometry().isEmpty(); };
    co_return co_await clock->pollUntil(placed, wait, std::chrono::milliseconds(20)) && self;
}

bool MenuBarWindow::showTrayIcon() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        return false;
    }
    m_tray->show();
    return true;
}

bool MenuBarWindow::isOpen() const {
    return m_window && m_window->isVisible();
}

void MenuBarWindow::fitToView() {
    place();
}

void MenuBarWindow::place() {
    if (!m_root) {
        return;
    }
    const QRect icon = m_iconGeometry ? m_iconGeometry() : QRect();
    const QRect available = m_workArea ? m_workArea(icon) : QRect();
    const QSize size(qCeil(m_root->implicitWidth()), qCeil(m_root->implicitHeight()));
    const QRect geometry = available.isValid() ? placement(icon, available, size) : QRect(QPoint(), size);
    m_window->setGeometry(geometry);
    m_root->setSize(geometry.size());
}

QRect MenuBarWindow::usableArea(const QPoint& point, const QList<Screen>& screens,
                                const QPoint& primaryOrigin) {
    if (screens.isEmpty()) {
        return QRect();
    }
    // The port's frames grow upwards from the primary screen's bottom-left corner.
    const double primaryHeight = screens.first().frame.height();
    const auto toWindowSystem = [&](const QRectF& frame) {
        return QRectF(frame.x(), primaryHeight - frame.y() - frame.height(), frame.width(), frame.height())
            .translated(primaryOrigin)
            .toAlignedRect();
    };
    const Screen* chosen = &screens.first();
    for (const Screen& screen : screens) {
        if (toWindowSystem(screen.frame).contains(point)) {
            chosen = &screen;
            break;
        }
    }
    return toWindowSystem(chosen->visibleFrame);
}

QRect MenuBarWindow::placement(const QRect& iconGeometry, const QRect& available, const QSize& size) {
    const int height = std::min(size.height(), available.height() - 2 * screenMargin);
    const int width = std::min(size.width(), available.width() - 2 * screenMargin);
    int x = available.right() - screenMargin - width + 1;
    int y = available.top() + screenMargin;
    if (iconGeometry.isValid() && !iconGeometry.isEmpty()) {
        x = iconGeometry.center().x() - width / 2;
        const bool iconAtBottom = iconGeometry.center().y() > available.center().y();
        y = iconAtBottom ? iconGeometry.top() - screenMargin - height : iconGeometry.bottom() + screenMargin;
    }
    x = std::clamp(x, available.left() + screenMargin, available.right() - screenMargin - width + 1);
    y = std::clamp(y, available.top() + screenMargin, available.bottom() - screenMargin - height + 1);
    return QRect(x, y, width, height);
}

void MenuBarWindow::open() {
    prepare();
    if (!m_root) {
        return;
    }
    place();
    m_closedBySelf = false;
    if (!m_window->isVisible()) {
        X11PanelWindow::markBeforeShow(m_window->winId());
    }
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
    m_popover.appeared();
    emit opened();
}

void MenuBarWindow::close() {
    if (m_window) {
        m_window->hide();
    }
    m_closedAt = m_clock->now();
}

void MenuBarWindow::toggle() {
    if (isOpen()) {
        close();
        return;
    }
    if (m_closedBySelf && m_clock->now() - m_closedAt < reopenGuard) {
        m_closedBySelf = false;
        return;
    }
    open();
}
