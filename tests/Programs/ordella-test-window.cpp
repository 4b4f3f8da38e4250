// A small X11 client for the desktop tests: it shows one window per document named on the command
// line (titled with the file's name), or --count windows titled --title and a number. Options:
//   --caption TEXT    title of windows without a document (default "Test window"); Qt itself
//                     takes --title
//   --colour NAME     colour the windows are filled with (default #7ae6c7)
//   --count N         number of such windows (default 1)
//   --size WxH        client size (default 400x300)
//   --increments WxH  size increments the window asks its manager to keep to
//   --type KIND       the first window draws the desktop ("desktop") or is a panel ("dock")
//   --no-focus        the windows never take the keyboard focus
//   --keys FILE       each key the windows get is added to FILE as a line ("Ctrl+2")
//   --tabs N          each window holds N tabs, shown by a browser's tab keys (Ctrl+1..8 the tab,
//                     Ctrl+9 the last, Ctrl+PgDown/PgUp the next/previous) and titled after the
//                     one it shows: "Tab K - CAPTION"
//   --keep-running    the program runs on when its windows are closed (until it is signalled)
//   --delay MS        the windows show this long after the process started (a slow program)
#include <QColor>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

class PlainWindow : public QRasterWindow {
public:
    PlainWindow(QColor colour, QString keys, int tabs, QString caption, int ignored = 0)
        : m_colour(colour)
        , m_keys(std::move(keys))
        , m_tabs(tabs)
        , m_caption(std::move(caption))
        , m_ignored(ignored) {
        showTab(1);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(QRect(QPoint(0, 0), size()), m_colour);
    }
    void keyPressEvent(QKeyEvent* event) override {
        // A modifier pressed on its own is part of the next key.
        const int key = event->key();
        if (key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt || key == Qt::Key_Meta) {
            return;
        }
        QFile keys(m_keys);
        if (!m_keys.isEmpty() && keys.open(QIODevice::Append)) {
            keys.write(QKeySequence(event->keyCombination()).toString().toUtf8() + '\n');
        }
        // A browser busy with its start drops a tab key now and then: noted, but not acted on.
        if (m_ignored > 0) {
            --m_ignored;
            return;
        }
        if (m_tabs > 0 && event->modifiers() == Qt::ControlModifier) {
            if (key >= Qt::Key_1 && key <= Qt::Key_8) {
                showTab(std::min(key - Qt::Key_0, m_tabs));
            } else if (key == Qt::Key_9) {
                showTab(m_tabs);
            } else if (key == Qt::Key_PageDown) {
                showTab(m_shown % m_tabs + 1);
            } else if (key == Qt::Key_PageUp) {
                showTab((m_shown + m_tabs - 2) % m_tabs + 1);
            }
        }
    }

private:
    void showTab(int tab) {
        if (m_tabs > 0) {
            m_shown = tab;
            setTitle(QStringLiteral("Tab %1 - %2").arg(QString::number(tab), m_caption));
        }
    }

    QColor m_colour;
    QString m_keys;
    int m_tabs = 0;
    QString m_caption;
    int m_shown = 1;
    int m_ignored = 0;
};

QSize sizeOption(const QString& text, QSize fallback) {
    const QStringList parts = text.split(u'x');
    bool w = false;
    bool h = false;
    const QSize size(parts.value(0).toInt(&w), parts.value(1).toInt(&h));
    return w && h && parts.size() == 2 ? size : fallback;
}

// How long ago this process started: its start time (the 20th field after the command's closing
// parenthesis, in clock ticks) against the system's uptime.
qint64 sinceStartMs() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const double started =
        line.mid(line.lastIndexOf(')') + 2).split(' ').value(19).toDouble() / sysconf(_SC_CLK_TCK);
    const double now =
        uptime.open(QIODevice::ReadOnly) ? uptime.readAll().split(' ').value(0).toDouble() : started;
    return qint64((now - started) * 1000);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption title(QStringLiteral("caption"), QStringLiteral("caption"),
                                   QStringLiteral("text"), QStringLiteral("Test window"));
    const QCommandLineOption colour(QStringLiteral("colour"), QStringLiteral("colour"),
                                    QStringLiteral("name"), QStringLiteral("#7ae6c7"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("count"), QStringLiteral("n"),
                                   QStringLiteral("1"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("size"), QStringLiteral("WxH"));
    const QCommandLineOption increments(QStringLiteral("increments"), QStringLiteral("increments"),
                                        QStringLiteral("WxH"));
    const QCommandLineOption type(QStringLiteral("type"), QStringLiteral("type"), QStringLiteral("kind"));
    const QCommandLineOption noFocus(QStringLiteral("no-focus"), QStringLiteral("no-focus"));
    const QCommandLineOption keys(QStringLiteral("keys"), QStringLiteral("keys"), QStringLiteral("file"));
    const QCommandLineOption keepRunning(QStringLiteral("keep-running"), QStringLiteral("keep-running"));
    const QCommandLineOption tabs(QStringLiteral("tabs"), QStringLiteral("tabs"), QStringLiteral("n"),
                                  QStringLiteral("0"));
    const QCommandLineOption ignore(QStringLiteral("ignore-keys"), QStringLiteral("ignore-keys"),
                                    QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("delay"), QStringLiteral("ms"),
                                   QStringLiteral("0"));
    parser.addOptions(
        {title, colour, count, size, increments, type, noFocus, keys, keepRunning, tabs, ignore, delay});
    parser.process(app);
    QGuiApplication::setQuitOnLastWindowClosed(!parser.isSet(keepRunning));

    QStringList titles;
    for (const QString& document : parser.positionalArguments()) {
        titles << QFileInfo(document).fileName();
    }
    if (titles.isEmpty()) {
        const int n = std::max(1, parser.value(count).toInt());
        for (int i = 1; i <= n; ++i) {
            titles << (n == 1 ? parser.value(title) : parser.value(title) + u' ' + QString::number(i));
        }
    }
    std::vector<std::unique_ptr<PlainWindow>> windows;
    for (const QString& text : titles) {
        auto window = std::make_unique<PlainWindow>(QColor(parser.value(colour)), parser.value(keys),
                                                    std::max(0, parser.value(tabs).toInt()), text,
                                                    std::max(0, parser.value(ignore).toInt()));
        if (parser.isSet(noFocus)) {
            window->setFlag(Qt::WindowDoesNotAcceptFocus);
        }
        if (!parser.isSet(tabs)) {
            window->setTitle(text);
        }
        window->resize(sizeOption(parser.value(size), QSize(400, 300)));
        if (parser.isSet(increments)) {
            window->setBaseSize(QSize(0, 0));
            window->setSizeIncrement(sizeOption(parser.value(increments), QSize(1, 1)));
        }
        if (windows.empty() && parser.isSet(type)) {
            // The platform plugin's own window types (desktop 0x2, dock 0x4), read when the
            // window is created.
            window->setProperty("_q_xcb_wm_window_type",
                                parser.value(type) == QLatin1String("dock") ? 0x4 : 0x2);
        }
        if (!parser.isSet(delay)) {
            window->show();
        }
        windows.push_back(std::move(window));
    }
    const auto show = [&windows] {
        for (const std::unique_ptr<PlainWindow>& window : windows) {
            window->show();
        }
    };
    if (parser.isSet(delay)) {
        QTimer::singleShot(std::max<qint64>(0, parser.value(delay).toLongLong() - sinceStartMs()), show);
    }
    return app.exec();
}
