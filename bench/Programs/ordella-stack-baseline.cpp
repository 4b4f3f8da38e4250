// The smallest program on Ordella's user-interface stack, for the start-up benchmark to set its
// memory figures against: a QApplication with a tray icon, a Qt Quick window in the Basic style
// with a text field and a list of 200 rows with a button each (the software renderer, as Ordella
// uses), and one https request, which loads the TLS libraries as Ordella's update check does. It
// holds no data of its own, so what it costs is the floor any program built this way pays; the
// libraries' pages count as private where no other program on the machine maps them.
#include <QApplication>
#include <QIcon>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPixmap>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSystemTrayIcon>

namespace {

const char* const view = R"(
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

Window {
    width: 460
    height: 600
    visible: true
    title: "Stack baseline"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 12

        TextField {
            Layout.fillWidth: true
            placeholderText: "Search"
        }
        ListView {
            id: list
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            spacing: 6
            model: 200
            ScrollBar.vertical: ScrollBar {}

            delegate: Rectangle {
                required property int index

                width: list.width
                height: 72
                radius: 12
                color: "#f0f0f0"

                RowLayout {
                    anchors.fill: parent
                    anchors.margins: 10

                    Text {
                        Layout.fillWidth: true
                        text: "Workspace " + (parent.parent.index + 1)
                        font.pixelSize: 14
                        font.weight: Font.DemiBold
                    }
                    Button {
                        text: "Restore"
                    }
                }
            }
        }
    }
}
)";

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") && qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND")) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    QPixmap icon(22, 22);
    icon.fill(Qt::darkCyan);
    QSystemTrayIcon tray{QIcon(icon)};
    tray.show();

    QQmlApplicationEngine engine;
    engine.loadData(view);
    if (engine.rootObjects().isEmpty()) {
        return 1;
    }

    // Nothing listens there: the request fails at once, after the TLS backend is loaded.
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(QStringLiteral("https://127.0.0.1:9/"))));
    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    return app.exec();
}
