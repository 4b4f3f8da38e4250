#include "Services/Storage/AnalysisLogger.h"

#include "Platform/Simulated/SimulatedSystemInfo.h"
#include "Support/DiagnosticsCapture.h"
#include "Support/FullDisk.h"
#include "Support/TestPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace std::chrono_literals;

QString logPath() {
    return AnalysisLogger::logFileURL().toLocalFile();
}

QString readLog() {
    QFile file(logPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

WindowSnapshot window(std::optional<QString> title, SnapshotRect frame) {
    WindowSnapshot w;
    w.windowTitle = std::move(title);
    w.frame = frame;
    return w;
}

Workspace sampleWorkspace() {
    Workspace w;
    w.id = QUuid::fromString(QStringLiteral("6f1c2d3e-4b5a-4c7d-8e9f-0a1b2c3d4e5f"));
    w.name = QStringLiteral("Morning Focus");
    w.appSnapshots = {
        {{},
         "org.example.browser",
         "Browser",
         {window("Start Page", {0, 25, 1440, 875}), window(std::nullopt, {-0.6, 100.9, 800.5, 600})},
         false},
        {{}, "org.example.notes", "Notes", {}, true}};
    w.displaySnapshots = {
        {{}, 0, std::nullopt, {0, 0, 1440, 900}, "Built-in Display"},
        {{}, 0, "37D8832A-2D66-02CA-B9F7-8F30A301B230", {1440, 0, 1920, 1080}, std::nullopt},
        {{}, 0, std::nullopt, {-1920, 0, 1920, 1080}, std::nullopt}};
    return w;
}

RestoreReport sampleReport() {
    using S = RestoreStatus;
    const QRectF placed(0, 25, 1440, 875);
    const QList<WindowRestoreResult> windows{
        {"Start Page", S::restored, "Position verified", placed, placed},
        {std::nullopt, S::failed, "No matching window", QRectF(-0.6, 100.9, 800.5, 600), std::nullopt}};
    return {"Morning Focus",
            S::partiallyRestored,
            {{"org.example.browser", "Browser", S::partiallyRestored, "1 of 2 windows placed", windows},
             {"org.example.notes", "Notes", S::skipped, "Not installed", {}}},
            3.456,
            {"Built-in Display matched by identity"},
            {"Studio Display", "Unknown Display"}};
}

class AnalysisLoggerTest : public ::testing::Test {
protected:
    AnalysisLoggerTest() {
        platform.platform().systemInfo = systemInfo;
        QFile::remove(logPath());
    }

    TestPlatform platform;
    std::shared_ptr<SimulatedSystemInfo> systemInfo = std::make_shared<SimulatedSystemInfo>();
};

TEST_F(AnalysisLoggerTest, WritesTheCompleteLog) {
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    systemInfo->deviceModel = QStringLiteral("Workstation 9000");
    systemInfo->operatingSystem = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
    systemInfo->build = std::nullopt;

    // Names, titles and addresses from outside keep to their record's line, their control and
    // direction characters written as escapes.
    Workspace workspace = sampleWorkspace();
    workspace.appSnapshots[1].appName = QStringLiteral("Notes\u202Etxt.exe");
    workspace.appSnapshots[0].windowSnapshots[0].windowTitle = QStringLiteral("Start\r\nApps (9):");
    RestoreReport report = sampleReport();
    report.appResults[0].windowResults[0].windowTitle = QStringLiteral("Start\nPage\u2029");
    // What the request's runs did to the window comes before what its last run found.
    report.appResults[0].windowResults[0].actions = {QStringLiteral("started"), QStringLiteral("moved")};
    report.appResults[0].closedWindows = {
        {QStringLiteral("Page 6\u202E"), ClosedWindow::Why::outsideWorkspace},
        {QStringLiteral("New Tab"), ClosedWindow::Why::blank},
        {QStringLiteral("Music"), ClosedWindow::Why::folderOutsideWorkspace}};
    AnalysisLogger logger;
    logger.setTimeZone(berlin);
    platform.clock().advanceBy(1500ms);
    logger.beginSession(workspace);
    platform.clock().advanceBy(250ms);
    logger.log(QStringLiteral("WorkspaceRestorer"), QStringLiteral("Planning 2 apps"));
    platform.clock().advanceBy(1007ms);
    logger.log(QStringLiteral("WindowMatcher"), QStringLiteral("first line\nsecond line"));
    logger.log(QStringLiteral("BrowserTabRestorer"),
               QStringLiteral("Opening https://a.example/\n--user-data-dir=/tmp/x, active=false\t\u2066"
                              "\u200F\x1B[2J\u0085\u2028\x7F \u05E9 caf\u00E9 \U0001F600"));
    platform.clock().advanceBy(500ms);
    EXPECT_TRUE(logger.endSession(report));
    EXPECT_FALSE(logger.isSessionActive());

    const QString goldenPath = QStringLiteral(ORDELLA_TEST_DATA_DIR "/analysis/RestorationAnalysis.log");
    if (qEnvironmentVariableIsSet("ORDELLA_UPDATE_GOLDEN")) {
        QFile::remove(goldenPath);
        ASSERT_TRUE(QFile::copy(logPath(), goldenPath));
    }
    QFile golden(goldenPath);
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(readLog().toStdString(), QString::fromUtf8(golden.readAll()).toStdString());
    EXPECT_EQ(AnalysisLogger::existingLogFileURL(), AnalysisLogger::logFileURL());
}

TEST_F(AnalysisLoggerTest, CollectsOnlyWhileASessionIsOpen) {
    AnalysisLogger logger;
    logger.log(QStringLiteral("T"), QStringLiteral("before"));
    EXPECT_TRUE(logger.entries().isEmpty());
    EXPECT_TRUE(logger.buildLogContent().contains(QStringLiteral("\n(no workspace data captured)\n")));

    // Ending without a session leaves the file alone; none exists before the first session ends.
    EXPECT_FALSE(logger.endSession(sampleReport()));
    EXPECT_FALSE(AnalysisLogger::existingLogFileURL());

    logger.beginSession(sampleWorkspace());
    EXPECT_TRUE(logger.endSession(std::nullopt));
    const QString empty = readLog();
    EXPECT_TRUE(empty.contains(QStringLiteral("DEBUG LOGS (0 entries) ") + QString(29, QChar(0x2500)) +
                               QStringLiteral("\n(no entries)\n")));
    EXPECT_FALSE(empty.endsWith(u'\n'));

    logger.log(QStringLiteral("T"), QStringLiteral("after"));
    EXPECT_TRUE(logger.entries().isEmpty());
    EXPECT_FALSE(logger.endSession(sampleReport()));
    EXPECT_EQ(readLog(), empty);

    // Sequence numbers restart with every session and pad to four digits without cutting.
    for (int session = 0; session < 2; ++session) {
        logger.beginSession(sampleWorkspace());
        for (int i = 0; i < 12345; ++i) {
            logger.log(QStringLiteral("T"), QStringLiteral("line"));
        }
        ASSERT_EQ(logger.entries().size(), 12345);
        EXPECT_EQ(logger.entries().first().sequence, 1);
    }
    const QString text = logger.buildLogContent();
    EXPECT_TRUE(text.contains(QStringLiteral(":#0001] [T] line")));
    EXPECT_TRUE(text.contains(QStringLiteral(":#0012] [T] line")));
    EXPECT_TRUE(text.contains(QStringLiteral(":#12345] [T] line")));
}

TEST_F(AnalysisLoggerTest, NonFiniteAndHugeFramesPrintSafely) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    Workspace workspace = sampleWorkspace();
    workspace.appSnapshots[0].windowSnapshots = {window(QStringLiteral("Odd"), {nan, inf, -inf, 1e300})};
    RestoreReport report = sampleReport();
    report.duration = nan;
    report.appResults[0].windowResults[0].actualFrame = QRectF(nan, -1e300, inf, 12.9);

    AnalysisLogger logger;
    logger.beginSession(workspace);
    ASSERT_TRUE(logger.endSession(report));
    const QString text = readLog();
    EXPECT_TRUE(text.contains(QStringLiteral(
        "    \u2013 Odd  frame=(0, 9223372036854775807, -9223372036854775808\u00D79223372036854775807)")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("actual=(0,-9223372036854775808 9223372036854775807\u00D712) \u2014 ")));
    EXPECT_TRUE(text.contains(QStringLiteral("Duration       : nans")));
}

TEST_F(AnalysisLoggerTest, UnwritableFileKeepsTheRestoreGoing) {
    ASSERT_TRUE(QDir().mkpath(logPath())); // a folder where the file must go
    AnalysisLogger logger;
    logger.beginSession(sampleWorkspace());
    logger.log(QStringLiteral("T"), QStringLiteral("line"));
    EXPECT_FALSE(logger.endSession(sampleReport()));
    EXPECT_FALSE(logger.isSessionActive());
    EXPECT_FALSE(AnalysisLogger::existingLogFileURL());
    QDir(logPath()).removeRecursively();
}

// A copy a killed write left beside the log goes with the next log; the user's files stay.
TEST_F(AnalysisLoggerTest, TheNextLogRemovesOnlyCopiesAKilledWriteLeft) {
    const QDir folder = QFileInfo(logPath()).absoluteDir();
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const QString left = folder.filePath(QStringLiteral("RestorationAnalysis.log.ordella-write-a1B2c3"));
    const QStringList users{QStringLiteral("RestorationAnalysis.log.ordella-write-a1B2c3.txt"),
                            QStringLiteral("RestorationAnalysis.log.before"),
                            QStringLiteral("RestorationAnalysis.log.ordella-write-Z9y8x7")};
    for (const QString& name : QStringList{left} + users.mid(0, 2)) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // Named like a copy, but a link: neither it nor the file it points to is touched.
    ASSERT_TRUE(QFile::link(folder.filePath(users[1]), folder.filePath(users[2])));
    AnalysisLogger logger;
    logger.beginSession(sampleWorkspace());
    ASSERT_TRUE(logger.endSession(sampleReport()));
    EXPECT_FALSE(QFileInfo::exists(left));
    for (const QString& name : users) {
        EXPECT_TRUE(QFileInfo(folder.filePath(name)).isFile()) << name.toStdString();
    }
    for (const QString& name : users) {
        QFile::remove(folder.filePath(name));
    }
}

// The log of a restore that ends on a full disk is not written, is printed as such, and the log
// of the restore before stays whole.
TEST_F(AnalysisLoggerTest, AFullDiskKeepsTheLastLog) {
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    for (const FullDisk::Kind kind : FullDisk::kinds()) {
        SCOPED_TRACE(FullDisk::name(kind));
        FullDisk disk(kind);
        if (!disk.unavailableReason().isEmpty()) {
            continue;
        }
        if (kind == FullDisk::Kind::tmpfs) {
            qputenv("XDG_DATA_HOME", QFile::encodeName(disk.folder()));
        }
        const std::shared_ptr<void> restoreHome(nullptr,
                                                [&dataHome](void*) { qputenv("XDG_DATA_HOME", dataHome); });
        AnalysisLogger logger;
        logger.beginSession(sampleWorkspace());
        logger.log(QStringLiteral("T"), QStringLiteral("the first restore"));
        ASSERT_TRUE(logger.endSession(sampleReport()));
        const QString first = readLog();

        disk.fill();
        DiagnosticsCapture diagnostics;
        logger.beginSession(sampleWorkspace());
        logger.log(QStringLiteral("T"), QStringLiteral("the second restore"));
        EXPECT_FALSE(logger.endSession(sampleReport()));
        EXPECT_EQ(readLog(), first);
        EXPECT_EQ(diagnostics.lines(), QStringList{"[AnalysisLogger.endSession] Could not write " +
                                                   logPath() + ": No space left on device"});
    }
}

} // namespace
