#include "App/InstanceCommands.h"

#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/QtPrinters.h"
#include "Support/ScriptedDesktop.h"
#include "ViewModels/PopoverModel.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(InstanceCommands, TheWordAfterACommandIsTheNameWhateverItLooksLike) {
    struct Case {
        QStringList arguments;
        QString command;
        QString name;
        QString error;
    };
    const QList<Case> cases{
        {{"--save", "Desk"}, "save", "Desk", {}},
        {{"--restore", "-reverse"}, "restore", "-reverse", {}},
        {{"--save", "--demo"}, "save", "--demo", {}},
        {{"--save", "--", "-style"}, "save", "-style", {}},
        {{"--restore", "--"}, "restore", "--", {}},
        {{"--save", ""}, "save", "", "--save needs the name of a workspace"},
        {{"--restore", "  "}, "restore", "  ", "--restore needs the name of a workspace"},
        {{"--save"}, "show", {}, "Unknown or incomplete option: --save"},
        {{"--bogus\x1b[2J"},
         "show",
         {},
         QString::fromUtf8("Unknown or incomplete option: --bogus\xef\xbf\xbd[2J")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const InstanceCommands::Parsed parsed = InstanceCommands::parse(QStringList{"ordella"} + c.arguments);
        const QJsonObject request = QJsonDocument::fromJson(parsed.request).object();
        EXPECT_EQ(request.value("command").toString(), c.command);
        EXPECT_EQ(request.value("name").toString(), c.name);
        EXPECT_EQ(parsed.error, c.error);
    }
}

TEST(InstanceCommands, TheReportPrintsDefinedNumbersAndNoControlCharacters) {
    RestoreReport report;
    report.workspaceName = "Desk\x1b[31m";
    report.status = RestoreStatus::partiallyRestored;
    AppRestoreResult app{"org.example.Editor", "Editor\x07", RestoreStatus::partiallyRestored, "1/2", {}};
    const double huge = 3e9;
    app.windowResults = {
        {QString("\x1b]0;owned\x07Notes\nfake line"), RestoreStatus::restored, "ok",
         QRectF(huge, -huge, 800, 600), QRectF(std::numeric_limits<double>::quiet_NaN(), 1e300, 10.6, -0.4)},
        {std::nullopt, RestoreStatus::failed, "No matching AX window found", QRectF(1, 2, 3, 4),
         std::nullopt},
    };
    report.appResults = {app};
    const QString text = InstanceCommands::describe(report);
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 5) << text.toStdString();
    const QString r = QString(QChar::ReplacementCharacter);
    EXPECT_EQ(lines[0], "Restore of \"Desk" + r + "[31m\": partiallyRestored in 0.0 s");
    EXPECT_EQ(lines[2], "  Editor" + r + " (org.example.Editor): partiallyRestored - 1/2");
    EXPECT_EQ(lines[3], "    \"" + r + "]0;owned" + r + "Notes" + r +
                            "fake line\": restored, asked 3000000000,-3000000000 800x600, got "
                            "0,9223372036854775807 10x0 - ok");
    EXPECT_EQ(lines[4], "    \"untitled\": failed, asked 1,2 3x4, got ? - No matching AX window found");

    // A reply read back carries no control character either, line breaks apart.
    const QByteArray reply = R"({"ok": true, "output": "a\u001b[2Jb\nc\u009bd"})";
    EXPECT_EQ(InstanceCommands::readReply(reply), std::make_pair(true, "a" + r + "[2Jb\nc" + r + "d"));
}

// The program itself: Qt never sees Ordella's options, so a name that looks like one of Qt's
// reaches the running Ordella (none runs here), and an empty name is a usage error.
TEST(InstanceCommands, TheProgramReadsItsOwnOptionsBeforeQt) {
    QTemporaryDir runtime;
    struct Case {
        QStringList arguments;
        int exitCode;
        QString firstLine;
    };
    const QList<Case> cases{
        {{"--save", "-reverse"}, 1, "Ordella is not running: start it first."},
        {{"--restore", "-style", "-reverse"}, 2, "Unknown or incomplete option: -reverse"},
        {{"--save", ""}, 2, "--save needs the name of a workspace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcess ordella;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        ordella.setProcessEnvironment(environment);
        ordella.start(ORDELLA_BINARY_DIR "/ordella", c.arguments);
        ASSERT_TRUE(ordella.waitForFinished(30'000));
        EXPECT_EQ(ordella.exitCode(), c.exitCode);
        EXPECT_EQ(QString::fromLocal8Bit(ordella.readAllStandardError()).section('\n', 0, 0), c.firstLine);
    }
}

// "--save" answers from what reached the disk: a workspace the store lists but could not write
// would be gone after a restart.
class InstanceSaveTest : public SimulatedDesktopFixture {
protected:
    InstanceSaveTest() {
        addScreen(1920, 1080);
        addApp("org.example.Editor", {QRectF(0, 25, 800, 600)}, {"notes.txt"});
    }

    std::pair<bool, QString> save(const QString& name) {
        const QByteArray request =
            QJsonDocument(QJsonObject{{"command", "save"}, {"name", name}}).toJson(QJsonDocument::Compact);
        return InstanceCommands::readReply(
            clock().runUntilDone(commands.handle(request)).value_or(QByteArray()));
    }

    QTemporaryDir folder;
    WorkspaceStore store{folder.path()};
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[](Workspace, bool) -> QCoro::Task<RestoreReport> { co_return {}; },
                                   &revertStates};
    PopoverModel popover{{&store, &coordinator, &revertStates, nullptr, nullptr, nullptr, platform().clock}};
    InstanceCommands commands{store, popover, coordinator};
};

TEST_F(InstanceSaveTest, AnswersFromWhatWasWritten) {
    const auto [ok, output] = save("Desk");
    EXPECT_TRUE(ok) << output.toStdString();
    EXPECT_TRUE(output.startsWith("Saved \"Desk\"")) << output.toStdString();

    // A file where the folder was: no write can succeed, whoever runs the test.
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    QFile blocker(folder.path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto [failed, message] = save("Office");
    EXPECT_FALSE(failed);
    EXPECT_EQ(message, "The workspace could not be saved.");
}

} // namespace
