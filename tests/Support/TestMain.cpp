// The one main of every test executable: an offscreen application whose home, data and
// configuration folders live in a fresh temporary folder, so no test touches a real home.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

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
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TZ", "UTC", 1);

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordella"));
    QCoreApplication::setOrganizationName(QString());

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
