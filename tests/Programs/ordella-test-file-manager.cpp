// A file manager for the desktop tests that is slow to load folders. It owns the freedesktop
// file-manager name on the session bus; each folder it is asked to show gets a window at once,
// titled "Loading…" and published without a folder. Only once the folder has "loaded" does the
// window take the folder's name and publish its folder, as a real file manager does. Each window
// carries the object path it is published under (_GTK_WINDOW_OBJECT_PATH). Folders named on its
// command line (paths or file: URIs, as a launcher hands them) are shown at its start. When another
// program owns the name, it runs all the same, as file managers do, publishing nothing. Options:
//   --loading-ms N   how long each folder takes to load (default 0)
//   --shown FILE     a line with the folder's URI is added to FILE for each folder asked for
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>
#include <QUrl>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <map>
#include <memory>

namespace {

const QString kService = QStringLiteral("org.freedesktop.FileManager1");
const QString kPath = QStringLiteral("/org/freedesktop/FileManager1");

void setObjectPath(QWindow& window, const QByteArray& path) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) {
        return;
    }
    xcb_connection_t* c = x11->connection();
    const auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<quint16>(qstrlen(name)), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return found;
    };
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()),
                        atom("_GTK_WINDOW_OBJECT_PATH"), atom("UTF8_STRING"), 8,
                        static_cast<quint32>(path.size()), path.constData());
    xcb_flush(c);
}

class FolderWindow : public QRasterWindow {
public:
    std::function<void()> closed;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(QRect(QPoint(0, 0), size()), Qt::white);
    }
    bool event(QEvent* e) override {
        if (e->type() == QEvent::Close && closed) {
            closed();
        }
        return QRasterWindow::event(e);
    }
};

class FileManager : public QDBusVirtualObject {
public:
    FileManager(int loadingMs, QString shownFile)
        : m_loadingMs(loadingMs)
        , m_shownFile(std::move(shownFile)) {}

    QString introspect(const QString&) const override { return QString(); }

    void show(const QString& uri) {
        QFile shown(m_shownFile);
        if (!m_shownFile.isEmpty() && shown.open(QIODevice::Append)) {
            shown.write(uri.toUtf8() + '\n');
        }
        open(uri);
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() == QLatin1String("ShowFolders") && !message.arguments().isEmpty()) {
            for (const QString& uri : message.arguments().first().toStringList()) {
                show(uri);
            }
            connection.send(message.createReply());
            return true;
        }
        if (message.member() == QLatin1String("Get")) {
            QMap<QString, QStringList> published;
            for (const auto& [path, window] : m_windows) {
                published.insert(path, window.loaded ? QStringList{window.uri} : QStringList());
            }
            connection.send(
                message.createReply(QVariant::fromValue(QDBusVariant(QVariant::fromValue(published)))));
            return true;
        }
        return false;
    }

private:
    struct Window {
        std::unique_ptr<FolderWindow> window;
        QString uri;
        bool loaded = false;
    };

    void open(const QString& uri) {
        const QString path =
            QStringLiteral("/org/ordella/TestFileManager/window/") + QString::number(++m_count);
        Window& made = m_windows[path];
        made.uri = uri;
        made.window = std::make_unique<FolderWindow>();
        made.window->setTitle(QStringLiteral("Loading…"));
        made.window->resize(500, 350);
        made.window->create();
        setObjectPath(*made.window, path.toUtf8());
        made.window->show();
        made.window->closed = [this, path] {
            // Not deleted from inside its own event.
            QTimer::singleShot(0, [this, path] { m_windows.erase(path); });
        };
        QTimer::singleShot(m_loadingMs, [this, path] {
            const auto found = m_windows.find(path);
            if (found == m_windows.end()) {
                return;
            }
            found->second.loaded = true;
            const QString name = QUrl(found->second.uri).fileName();
            found->second.window->setTitle(name.isEmpty() ? QStringLiteral("/") : name);
        });
    }

    int m_loadingMs = 0;
    QString m_shownFile;
    int m_count = 0;
    std::map<QString, Window> m_windows;
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QCommandLineParser parser;
    const QCommandLineOption loading(QStringLiteral("loading-ms"), QStringLiteral("loading time"),
                                     QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption shown(QStringLiteral("shown"), QStringLiteral("log of folders asked for"),
                                   QStringLiteral("file"));
    parser.addOptions({loading, shown});
    parser.process(app);
    qDBusRegisterMetaType<QMap<QString, QStringList>>();

    FileManager fileManager(parser.value(loading).toInt(), parser.value(shown));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(kPath, &fileManager)) {
        return 1;
    }
    bus.registerService(kService);
    for (const QString& folder : parser.positionalArguments()) {
        fileManager.show(QUrl::fromUserInput(folder).toString());
    }
    return app.exec();
}
