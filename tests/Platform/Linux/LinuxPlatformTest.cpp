#include "Platform/Linux/LinuxPlatform.h"
#include "Platform/Linux/LinuxLoginItems.h"
#include "Platform/Linux/LinuxSystemInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include "Support/FullDisk.h"
#include "Support/X11DesktopTest.h"

#include <gtest/gtest.h>

namespace {

using Status = LoginItems::Status;

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    return file.fileName();
}

TEST(LinuxSystemInfoTest, ModelBytesBecomeText) {
    const QList<std::pair<QByteArray, QString>> rows{
        {QByteArray("Workstation 9000\0junk", 21), "Workstation 9000"},
        {QByteArray(), ""},
        {QByteArray("\0abc", 4), ""},
        {"Caf\xC3\xA9 Book", QString::fromUtf8("Caf\xC3\xA9 Book")},
        {"bad\xFF"
         "byte",
         QStringLiteral("bad\uFFFDbyte")},
        {"cut\xC3", QStringLiteral("cut\uFFFD")},
        {"\xEF\xBB\xBFmodel", QStringLiteral("\uFEFFmodel")},
    };
    for (const auto& [bytes, expected] : rows) {
        EXPECT_EQ(SystemInfo::modelFromBytes(bytes), expected) << bytes.toHex().toStdString();
    }
}

TEST(LinuxSystemInfoTest, ModelComesFromTheFirstFileThatNamesOne) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing");
    const QString dmi = writeFile(dir, "product_name", "ThinkStation P5\n");
    const QString emptyDmi = writeFile(dir, "empty", "\n");
    const QString tree = writeFile(dir, "model", QByteArray("Raspberry Pi 4 Model B Rev 1.4\0", 31));

    EXPECT_EQ(LinuxSystemInfo({dmi, tree}).getDeviceModel(), "ThinkStation P5");
    EXPECT_EQ(LinuxSystemInfo({missing, tree}).getDeviceModel(), "Raspberry Pi 4 Model B Rev 1.4");
    EXPECT_EQ(LinuxSystemInfo({emptyDmi, tree}).getDeviceModel(), "Raspberry Pi 4 Model B Rev 1.4");
    EXPECT_EQ(LinuxSystemInfo({missing}).getDeviceModel(), "");
    EXPECT_EQ(LinuxSystemInfo({dir.path()}).getDeviceModel(), "");

    const LinuxSystemInfo info;
    EXPECT_EQ(info.appVersion(), QStringLiteral(ORDELLA_VERSION));
    EXPECT_EQ(info.appBuild(), QStringLiteral(ORDELLA_BUILD));
    EXPECT_FALSE(info.osVersion().isEmpty());
}

TEST(LinuxLoginItemsTest, RegistersThroughTheAutostartFolder) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("config/autostart");
    LinuxLoginItems items(QStringLiteral("/opt/ordella/bin/ordella"), folder);
    EXPECT_EQ(items.entryPath(), folder + "/ordella.desktop");
    EXPECT_EQ(items.status(), Status::notRegistered);
    EXPECT_TRUE(items.unregisterApp().succeeded);

    ASSERT_TRUE(items.registerApp().succeeded);
    EXPECT_EQ(items.status(), Status::enabled);
    QFile entry(items.entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_EQ(entry.readAll(), QByteArray("[Desktop Entry]\nType=Application\nName=Ordella\n"
                                          "Comment=Restores saved desktop workspaces\n"
                                          "Exec=/opt/ordella/bin/ordella\nTerminal=false\n"
                                          "X-GNOME-Autostart-enabled=true\n"));
    entry.close();

    // An entry the user switched off does not count.
    for (const QByteArray& off : {QByteArray("Hidden=true"), QByteArray("X-GNOME-Autostart-enabled=false")}) {
        writeFile(dir, "config/autostart/ordella.desktop", "[Desktop Entry]\nExec=ordella\n" + off + "\n");
        EXPECT_EQ(items.status(), Status::notRegistered) << off.toStdString();
    }
    writeFile(dir, "config/autostart/ordella.desktop",
              "[Desktop Entry]\nExec=ordella\n[Other]\nHidden=true\n");
    EXPECT_EQ(items.status(), Status::enabled);

    ASSERT_TRUE(items.unregisterApp().succeeded);
    EXPECT_FALSE(QFile::exists(items.entryPath()));
    EXPECT_EQ(items.status(), Status::notRegistered);
}

TEST(LinuxLoginItemsTest, FailuresAreReported) {
    QTemporaryDir dir;
    writeFile(dir, "blocked", "a file where the autostart folder belongs");
    EXPECT_FALSE(LinuxLoginItems(QString(), dir.filePath("blocked/autostart")).registerApp().succeeded);

    LinuxLoginItems items(QStringLiteral("/usr/bin/ordella"), dir.filePath("autostart"));
    ASSERT_TRUE(QDir().mkpath(items.entryPath() + "/inside")); // a folder where the entry belongs
    EXPECT_EQ(items.status(), Status::notRegistered);
    const LoginItems::Result result = items.registerApp();
    EXPECT_FALSE(result.succeeded);
    EXPECT_FALSE(result.error.isEmpty());
    EXPECT_FALSE(items.unregisterApp().succeeded);
    // A path the desktop would read back as another program's is not written at all.
    LinuxLoginItems returned(QStringLiteral("/tmp/a\r"), dir.filePath("returned"));
    EXPECT_FALSE(returned.registerApp().succeeded);
    EXPECT_FALSE(QFileInfo::exists(returned.entryPath()));
}

// Registering again on a full disk fails with the disk's reason; the entry keeps what it held.
TEST(LinuxLoginItemsTest, AFullDiskKeepsTheEntry) {
    const QByteArray earlier = "[Desktop Entry]\nExec=/opt/ordella/bin/ordella\n";
    for (const FullDisk::Kind kind : FullDisk::kinds()) {
        SCOPED_TRACE(FullDisk::name(kind));
        FullDisk disk(kind);
        if (!disk.unavailableReason().isEmpty()) {
            continue;
        }
        LinuxLoginItems items(QStringLiteral("/usr/bin/ordella"), disk.folder() + "/autostart");
        ASSERT_TRUE(QDir().mkpath(disk.folder() + "/autostart"));
        QFile entry(items.entryPath());
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write(earlier);
        entry.close();

        disk.fill();
        const LoginItems::Result result = items.registerApp();
        EXPECT_FALSE(result.succeeded);
        EXPECT_TRUE(result.error.endsWith(": No space left on device")) << result.error.toStdString();
        ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
        EXPECT_EQ(entry.readAll(), earlier);
    }
}

TEST(LinuxLoginItemsTest, ExecArgumentIsQuotedAndEscaped) {
    const QList<std::pair<QString, QString>> rows{
        {"/usr/bin/ordella", "/usr/bin/ordella"},
        {"/opt/My Apps/ordella", "\"/opt/My Apps/ordella\""},
        {"/tmp/a$b\\c%d", "\"/tmp/a\\\\$b\\\\\\\\c%%d\""},
        {"/tmp/say \"hi\"", "\"/tmp/say \\\\\"hi\\\\\"\""},
        {"/tmp/100%", "/tmp/100%%"},
    };
    for (const auto& [path, expected] : rows) {
        EXPECT_EQ(LinuxLoginItems::execArgument(path), expected) << path.toStdString();
    }
}

using LinuxPlatformAssemblyTest = X11DesktopTest;

TEST_F(LinuxPlatformAssemblyTest, TheProductionPlatformHasEveryDesktopPort) {
    const LinuxPlatform::Assembly assembly = LinuxPlatform::create();
    EXPECT_TRUE(assembly.problem.isEmpty()) << assembly.problem.toStdString();
    const Platform& p = *assembly.platform;
    EXPECT_TRUE(p.clock && p.accessibility && p.runningApplications && p.windowServer && p.screens &&
                p.hotKeys && p.userNotifications && p.loginItems && p.screenCapture && p.systemInfo);
    EXPECT_TRUE(p.accessibility->isProcessTrusted());
    // Browsers and the file manager answer scripts here too; alerts and panels come with the user
    // interface.
    EXPECT_TRUE(p.scriptRunner);
    EXPECT_FALSE(p.prompts);
    // Its timers never fire early: a command that gives up before the deadline it named reports a
    // failure for a request the instance may still take.
    const ClockTimer timer = p.clock->startTimer(std::chrono::seconds(10), false, [] {});
    const QList<QTimer*> timers = p.clock->findChildren<QTimer*>();
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers.first()->timerType(), Qt::PreciseTimer);
}

} // namespace
