#include "Support/Views/ViewHarness.h"

#include "Services/Storage/SettingsManager.h"
#include "ViewModels/FaviconLoader.h"
#include "Views/Theme.h"
#include "Views/UiSetup.h"

#include <QDir>
#include <QQmlComponent>
#include <QQmlContext>
#include <QSGRendererInterface>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <gtest/gtest.h>

Q_IMPORT_QML_PLUGIN(OrdellaPlugin)

namespace {

void collect(QQuickItem* item, const QString& objectName, QList<QQuickItem*>& found) {
    if (!item) {
        return;
    }
    if (item->objectName() == objectName) {
        found.append(item);
    }
    for (QQuickItem* child : item->childItems()) {
        collect(child, objectName, found);
    }
}

QtMessageHandler previousHandler = nullptr;
// Harnesses may live side by side (a view shown beside another): the first installs the handler
// below and the last one gone puts back the one before it. Each putting back its own "previous"
// would leave the handler calling itself once they go in the order they came.
int harnesses = 0;

// A warning of the QML engine (a failed binding, an unknown name, a type error) fails the test.
void failOnQmlWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg &&
        (message.contains(QLatin1String("qrc:/")) || message.contains(QLatin1String("QML")))) {
        ADD_FAILURE() << "QML: " << message.toStdString();
    }
    if (previousHandler) {
        previousHandler(type, context, message);
    }
}

} // namespace

ViewHarness::ViewHarness() {
    static const bool prepared = [] {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        UiSetup::prepare();
        return true;
    }();
    Q_UNUSED(prepared)
    Theme::shared().setAnimated(false);
    // Site icons come from a test's own local service, if any: never from the internet.
    FaviconLoader::shared().setServiceAddress(QUrl());
    if (harnesses++ == 0) {
        previousHandler = qInstallMessageHandler(failOnQmlWarnings);
    }
    m_engine = std::make_unique<QQmlEngine>();
    m_window = std::make_unique<QQuickWindow>();
}

ViewHarness::~ViewHarness() {
    delete m_root;
    m_window.reset();
    m_engine.reset();
    if (--harnesses == 0) {
        qInstallMessageHandler(previousHandler);
    }
}

QQuickItem* ViewHarness::show(const QString& view, const QVariantMap& properties, int width) {
    delete m_root;
    QQmlComponent component(m_engine.get(),
                            QUrl(QStringLiteral("qrc:/Ordella/") + view + QStringLiteral(".qml")));
    std::unique_ptr<QObject> object(
        component.createWithInitialProperties(properties, m_engine->rootContext()));
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item) {
        ADD_FAILURE() << "cannot show " << view.toStdString() << ": "
                      << component.errorString().toStdString();
        return nullptr;
    }
    object.release();
    m_root = item;
    // A view model that goes first takes the view with it, before any binding reads it again.
    for (const QVariant& value : properties) {
        if (QObject* model = value.value<QObject*>()) {
            QObject::connect(model, &QObject::destroyed, item, [this] { delete m_root; });
        }
    }
    m_width = width;
    item->setParentItem(m_window->contentItem());
    m_window->setColor(Theme::shared().windowBackground());
    QObject::connect(&Theme::shared(), &Theme::changed, m_window.get(),
                     [w = m_window.get()] { w->setColor(Theme::shared().windowBackground()); });
    settle();
    m_window->show();
    // Every view starts without the pointer over it, wherever an earlier test left the pointer.
    leave();
    return item;
}

void ViewHarness::settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        if (m_root) {
            const qreal w = m_width > 0 ? m_width : m_root->implicitWidth();
            m_root->setSize(QSizeF(w, m_root->implicitHeight()));
            m_window->resize(qMax(m_minimumSize.width(), qCeil(w)),
                             qMax(m_minimumSize.height(), qCeil(m_root->implicitHeight())));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCoreApplication::processEvents();
}

QList<QQuickItem*> ViewHarness::items(const QString& objectName) const {
    // The content item holds the view and the overlay with the open popups.
    QList<QQuickItem*> found;
    collect(m_window->contentItem(), objectName, found);
    return found;
}

QQuickItem* ViewHarness::findItem(const QString& objectName) const {
    const QList<QQuickItem*> found = items(objectName);
    return found.isEmpty() ? nullptr : found.first();
}

bool ViewHarness::has(const QString& objectName) const {
    return findItem(objectName) != nullptr;
}

QQuickItem* ViewHarness::item(const QString& objectName) const {
    QQuickItem* found = findItem(objectName);
    if (!found) {
        ADD_FAILURE() << "no item named " << objectName.toStdString();
    }
    return found;
}

QString ViewHarness::text(const QString& objectName) const {
    // The one on screen when several carry the name.
    const QList<QQuickItem*> found = items(objectName);
    for (QQuickItem* candidate : found) {
        if (candidate->isVisible()) {
            return candidate->property("text").toString();
        }
    }
    return item(objectName) ? found.first()->property("text").toString() : QString();
}

bool ViewHarness::isShown(const QString& objectName) const {
    for (QQuickItem* i = findItem(objectName); i; i = i->parentItem()) {
        if (!i->isVisible() || i->opacity() <= 0.0) {
            return false;
        }
        if (i == m_window->contentItem()) {
            return true;
        }
    }
    return false;
}

void ViewHarness::click(const QString& objectName) {
    click(item(objectName));
}

void ViewHarness::click(QQuickItem* target) {
    if (!target) {
        return;
    }
    hover(target);
    const QPoint at = target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    QTest::mouseClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, at);
    settle();
}

void ViewHarness::hover(const QString& objectName) {
    hover(item(objectName));
}

void ViewHarness::hover(QQuickItem* target) {
    if (!target) {
        return;
    }
    QTest::mouseMove(m_window.get(),
                     target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint());
    settle();
}

void ViewHarness::leave() {
    QTest::mouseMove(m_window.get(), QPoint(-50, -50));
    // A move outside is not delivered to the items: the window is told the pointer left it.
    QEvent left(QEvent::Leave);
    QCoreApplication::sendEvent(m_window.get(), &left);
    settle();
}

void ViewHarness::pressKey(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(m_window.get(), &press);
    QCoreApplication::sendEvent(m_window.get(), &release);
    settle();
}

void ViewHarness::typeText(const QString& text) {
    for (const QChar c : text) {
        pressKey(0, Qt::NoModifier, QString(c));
    }
}

QImage ViewHarness::grab() {
    settle();
    return m_window->grabWindow();
}

void ViewHarness::setTheme(AppTheme theme) {
    SettingsManager::shared().setAppTheme(theme);
    QCoreApplication::processEvents();
}

void ViewHarness::screenshots(const QString& name) {
    const AppTheme before = SettingsManager::shared().appTheme();
    const QString folder = QStringLiteral(ORDELLA_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    for (const auto& [theme, suffix] :
         {std::pair{AppTheme::light, "light"}, std::pair{AppTheme::dark, "dark"}}) {
        setTheme(theme);
        const QString path = folder + QLatin1Char('/') + name + QLatin1Char('-') + QLatin1String(suffix) +
                             QStringLiteral(".png");
        EXPECT_TRUE(grab().save(path)) << "cannot write " << path.toStdString();
    }
    setTheme(before);
}
