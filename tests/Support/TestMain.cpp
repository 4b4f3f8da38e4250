// The one main of every test executable: an offscreen application whose home, data and
// configuration folders live in a fresh temporary folder, so no test touches a real home.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Tests of the real desktop run in the X session their fixture started: its file names the
// display and the session bus. Without it (listing the tests, say) they run offscreen.
bool joinX11Session() {
    QFile session(QFile::decodeName(qgetenv("ORDELLA_X11_SESSION")));
    if (session.fileName().isEmpty() || !session.open(QIODevice::ReadOnly)) {
        return false;
    }
    bool hasDisplay = false;
    for (const QByteArray& line : session.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0) {
            ::setenv(line.left(equals).constData(), line.mid(equals + 1).constData(), 1);
            hasDisplay = hasDisplay || line.startsWith("DISPLAY=");
        }
    }
    return hasDisplay;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a temporary home folder\n");
        return 2;
    }
    const QByteArray root = home.path().toUtf8();
    ::setenv("HOME", root.constData(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    ::setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
    ::setenv("QT_QPA_PLATFORM", joinX11Session() ? "xcb" : "offscreen", 1);
    ::setenv("TZ", "UTC", 1);

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    QCoreApplication::setOrganizationName(QString());

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
