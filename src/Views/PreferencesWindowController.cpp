#include "Views/PreferencesWindowController.h"

#include "ViewModels/PreferencesViewModel.h"
#include "Views/Theme.h"

#include <QQuickView>
#include <QScreen>

QPointer<PreferencesWindowController> PreferencesWindowController::s_shared;

PreferencesWindowController::PreferencesWindowController(QQmlEngine& engine,
                                                         std::unique_ptr<PreferencesViewModel> model,
                                                         QObject* parent)
    : QObject(parent)
    , m_model(std::move(model))
    , m_window(std::make_unique<QQuickView>(&engine, nullptr)) {
    QQuickView& window = *m_window;
    window.setTitle(QStringLiteral("Settings"));
    window.setFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window.setMinimumSize(QSize(width, height));
    window.setMaximumSize(QSize(width, height));
    window.resize(width, height);
    window.setColor(Theme::shared().windowBackground());
    connect(&Theme::shared(), &Theme::changed, &window,
            [w = &window] { w->setColor(Theme::shared().windowBackground()); });
    window.setResizeMode(QQuickView::SizeRootObjectToView);
    window.setInitialProperties({{QStringLiteral("preferences"), QVariant::fromValue(m_model.get())}});
    window.setSource(QUrl(QStringLiteral("qrc:/Ordella/PreferencesView.qml")));
    connect(&window, &QWindow::visibleChanged, m_model.get(),
            [model = m_model.get()](bool visible) { visible ? model->appear() : model->disappear(); });
    connect(m_model.get(), &PreferencesViewModel::closeRequested, this, &PreferencesWindowController::close);
}

PreferencesWindowController::~PreferencesWindowController() {
    // The view goes before the model its bindings read.
    m_window.reset();
}

PreferencesWindowController&
PreferencesWindowController::showPreferences(QQmlEngine& engine, WorkspaceStore& store,
                                             std::unique_ptr<PreferencesWindowController>& holder) {
    if (holder) {
        holder->close();
    }
    holder =
        std::make_unique<PreferencesWindowController>(engine, std::make_unique<PreferencesViewModel>(store));
    s_shared = holder.get();
    holder->showWindow();
    return *holder;
}

void PreferencesWindowController::showWindow() {
    if (const QScreen* screen = m_window->screen()) {
        const QRect area = screen->availableGeometry();
        m_window->setPosition(area.center() - QPoint(width / 2, height / 2));
    }
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}

void PreferencesWindowController::close() {
    m_window->hide();
}
