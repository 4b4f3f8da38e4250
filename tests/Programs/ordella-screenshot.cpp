// Writes a picture of the X11 desktop, or of one window, to a PNG file:
//   ordella-screenshot FILE             every monitor of the desktop
//   ordella-screenshot FILE WINDOW-ID   one window (decimal or 0x hexadecimal id)
// Exit status 0 when the file was written.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTextStream>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        QTextStream(stderr) << "usage: ordella-screenshot FILE [WINDOW-ID]\n";
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) {
        QTextStream(stderr) << "ordella-screenshot: no screen\n";
        return 1;
    }
    QPixmap picture;
    if (arguments.size() == 3) {
        bool ok = false;
        const WId window = arguments.at(2).toULongLong(&ok, 0);
        if (!ok) {
            QTextStream(stderr) << "ordella-screenshot: not a window id: " << arguments.at(2) << '\n';
            return 2;
        }
        picture = screen->grabWindow(window);
    } else {
        // The area is given relative to the screen grabbed from.
        const QRect desktop = screen->virtualGeometry();
        const QPoint origin = desktop.topLeft() - screen->geometry().topLeft();
        picture = screen->grabWindow(0, origin.x(), origin.y(), desktop.width(), desktop.height());
    }
    if (picture.isNull() || !picture.save(arguments.at(1), "PNG")) {
        QTextStream(stderr) << "ordella-screenshot: cannot write " << arguments.at(1) << '\n';
        return 1;
    }
    return 0;
}
