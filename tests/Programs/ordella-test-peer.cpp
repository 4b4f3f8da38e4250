// A process of another user at the instance socket, for the tests of who may talk to whom. Run
// as root, it first becomes the user id given, then:
//   ordella-test-peer UID listen PATH       listens on PATH (anyone may connect), prints
//                                           "listening", then "got: LINE" for each line it is
//                                           sent, answering each as an instance would
//   ordella-test-peer UID send PATH LINE    sends LINE to PATH and prints what comes back
#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTextStream>

#include <cstdio>

#include <grp.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: ordella-test-peer UID listen PATH | UID send PATH LINE\n", stderr);
        return 2;
    }
    const uid_t uid = uid_t(std::atoi(argv[1]));
    if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0) {
        std::perror("ordella-test-peer: cannot change user");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString path = QString::fromLocal8Bit(argv[3]);
    if (mode == QLatin1String("listen")) {
        auto* server = new QLocalServer(&app);
        server->setSocketOptions(QLocalServer::WorldAccessOption);
        QLocalServer::removeServer(path);
        if (!server->listen(path)) {
            QTextStream(stderr) << server->errorString() << '\n';
            return 1;
        }
        QObject::connect(server, &QLocalServer::newConnection, server, [server] {
            while (QLocalSocket* socket = server->nextPendingConnection()) {
                QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] {
                    if (!socket->canReadLine()) {
                        return;
                    }
                    QTextStream(stdout) << "got: " << socket->readLine().trimmed() << Qt::endl;
                    socket->write(R"({"ok":true,"output":"Saved"})");
                    socket->disconnectFromServer();
                });
            }
        });
        QTextStream(stdout) << "listening" << Qt::endl;
        return app.exec();
    }
    if (mode == QLatin1String("send") && argc > 4) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (!socket.waitForConnected(5000)) {
            QTextStream(stdout) << "not connected: " << socket.errorString() << Qt::endl;
            return 1;
        }
        socket.write(QByteArray(argv[4]) + '\n');
        QByteArray reply;
        while (socket.waitForReadyRead(5000)) {
            reply += socket.readAll();
        }
        reply += socket.readAll();
        QTextStream(stdout) << "reply: " << reply << Qt::endl;
        return 0;
    }
    return 2;
}
