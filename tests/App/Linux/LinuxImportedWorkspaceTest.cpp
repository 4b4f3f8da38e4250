#include "App/RestoreRunText.h"
#include "App/WorkspaceAppDelegate.h"
#include "Models/WorkspaceJson.h"
#include "Platform/Linux/LinuxProcess.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Desktop/AXWindowService.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Services/Storage/AnalysisLogger.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/StatusPostRecorder.h"
#include "Support/WorkspaceSamples.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <qcoro/qcorotask.h>

#include <sys/stat.h>

namespace {

// A workspace that arrives as a file (an import, or a file dropped into the data folder) names its
// programs and documents as it likes. One with a login trigger that names programs no capture on
// this computer saw, with one of the user's files as their document, restores at the next start
// without a click: nothing of it may start, and the file must stay as it is.
class LinuxImportedWorkspaceTest : public X11DesktopTest {
protected:
    void SetUp() override {
        X11DesktopTest::SetUp();
        if (IsSkipped() || HasFatalFailure() || !installProductionPlatform()) {
            return;
        }
        JsonSettingsFormat::userSettings()->remove(QStringLiteral("capturedPrograms"));
        revertStates = std::make_unique<RevertStateManager>();
        coordinator = std::make_unique<RestoreCoordinator>(WorkspaceRestorer::restore, revertStates.get());
    }

    void TearDown() override {
        delegate.reset();
        store.reset();
        coordinator.reset();
        revertStates.reset();
        X11DesktopTest::TearDown();
    }

    static AppSnapshot savedApp(const QString& identifier, const QString& document) {
        WindowSnapshot window;
        window.id = QUuid::createUuid();
        window.windowTitle = QFileInfo(document).fileName();
        window.frame = SnapshotRect{100, 100, 600, 400};
        window.documentURL = QUrl::fromLocalFile(document).toString();
        AppSnapshot app;
        app.id = QUuid::createUuid();
        app.bundleIdentifier = identifier;
        app.appName = QFileInfo(identifier).fileName();
        app.windowSnapshots = {window};
        return app;
    }

    // Imports the workspace into a fresh data folder, starts the way Ordella starts (the store
    // reads the folder, the login restore runs 3 seconds later) and waits for that restore; its
    // report. Its fixed budgets for programs that never show a window take half a minute; on a
    // loaded machine, with the memory checkers, the restore takes twice that.
    std::optional<RestoreReport> restoreAtNextStart(const Workspace& workspace) {
        const JsonResult<QByteArray> exported = WorkspaceJson::encodeList({workspace});
        EXPECT_TRUE(exported);
        {
            WorkspaceStore importing(data.path());
            const auto imported = importing.importWorkspaces(exported.value());
            EXPECT_TRUE(imported && imported.value().added == 1);
        }
        store = std::make_unique<WorkspaceStore>(data.path());
        EXPECT_EQ(store->workspaces().size(), 1);
        delegate = std::make_unique<WorkspaceAppDelegate>(WorkspaceAppDelegate::Services{
            nullptr, nullptr, coordinator.get(), revertStates.get(), Platform::current().userNotifications});
        delegate->setup(store.get());
        const auto atLogin = [this] {
            return std::find_if(recorder.posts.cbegin(), recorder.posts.cend(),
                                [](const WorkspaceRestoreStatus& post) { return post.report.has_value(); });
        };
        if (!waitUntil([&] { return atLogin() != recorder.posts.cend(); }, 100000)) {
            return std::nullopt;
        }
        return atLogin()->report;
    }

    std::unique_ptr<RevertStateManager> revertStates;
    std::unique_ptr<RestoreCoordinator> coordinator;
    QTemporaryDir data;
    std::unique_ptr<WorkspaceStore> store;
    std::unique_ptr<WorkspaceAppDelegate> delegate;
    StatusPostRecorder recorder;
};

TEST_F(LinuxImportedWorkspaceTest, ALoginRestoreStartsNoProgramItNeverSawOnTheUsersFiles) {
    QTemporaryDir home;
    const QString victim = home.filePath(QStringLiteral("thesis.txt"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("six years of work\n");
    }
    // A program from the downloads folder that would leave a mark if it ever ran.
    const QString marker = home.filePath(QStringLiteral("ran"));
    const QString downloaded = home.filePath(QStringLiteral("Downloads/tool"));
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Downloads")));
    {
        QFile script(downloaded);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n");
    }
    QFile::setPermissions(downloaded, QFile::permissions(downloaded) | QFileDevice::ExeOwner);

    Workspace workspace = WorkspaceSamples::plain(QStringLiteral("Morning"), WorkspaceSamples::date(0));
    workspace.appSnapshots = {savedApp(QStringLiteral("/usr/bin/rm"), victim), savedApp(downloaded, victim)};
    workspace.triggers = {{QUuid::createUuid(), WorkspaceTrigger::Login{}}};
    const std::optional<RestoreReport> atLogin = restoreAtNextStart(workspace);
    ASSERT_TRUE(atLogin);
    // And a restore asked for by hand.
    const RestoreReport report = QCoro::waitFor(coordinator->restore(store->workspaces().first(), false));
    for (const RestoreReport& each : {*atLogin, report}) {
        ASSERT_EQ(each.appResults.size(), 2);
        for (const AppRestoreResult& app : each.appResults) {
            EXPECT_EQ(app.status, RestoreStatus::failed) << app.appName.toStdString();
            EXPECT_EQ(app.reason, QStringLiteral("App could not be launched or found"));
        }
    }
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("six years of work\n"));
    EXPECT_FALSE(QFileInfo::exists(marker));
}

// Installed entries that run whatever they are handed: an interpreter that runs in a terminal,
// and a terminal. A workspace hands each a script of the downloads folder and an editor a text
// file: at the next start only the editor gets its file, and each refusal is logged with its reason.
TEST_F(LinuxImportedWorkspaceTest, ALoginRestoreHandsNoScriptToAnInterpreterOrATerminal) {
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Downloads")));
    const QString pythonMarker = home.filePath(QStringLiteral("python-ran"));
    const QString shellMarker = home.filePath(QStringLiteral("shell-ran"));
    const QString python = home.filePath(QStringLiteral("Downloads/evil.py"));
    const QString shell = home.filePath(QStringLiteral("Downloads/evil.sh"));
    const QString notes = home.filePath(QStringLiteral("notes.txt"));
    // A text file that is a program too, to an interpreter behind a launch wrapper that declares text.
    const QString wrappedMarker = home.filePath(QStringLiteral("wrapped-ran"));
    const QString letter = home.filePath(QStringLiteral("letter.txt"));
    const auto write = [](const QString& path, const QByteArray& contents) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
    };
    // Each would leave its mark and stay a while, as a program that took over would.
    ASSERT_TRUE(write(python, "import pathlib, time\npathlib.Path('" + QFile::encodeName(pythonMarker) +
                                  "').touch()\ntime.sleep(60)\n"));
    ASSERT_TRUE(write(shell, "#!/bin/sh\ntouch '" + QFile::encodeName(shellMarker) + "'\nsleep 60\n"));
    QFile::setPermissions(shell, QFile::permissions(shell) | QFileDevice::ExeOwner);
    ASSERT_TRUE(write(notes, "notes\n"));
    ASSERT_TRUE(write(letter, "import pathlib, time\npathlib.Path('" + QFile::encodeName(wrappedMarker) +
                                  "').touch()\ntime.sleep(60)\n"));
    const QString entries = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/applications");
    ASSERT_TRUE(QDir().mkpath(entries));
    const QString interpreter = QStringLiteral("ordella-test-python.desktop");
    const QString terminal = QStringLiteral("ordella-test-terminal.desktop");
    ASSERT_TRUE(
        write(entries + u'/' + interpreter,
              "[Desktop Entry]\nType=Application\nName=Python\nExec=/usr/bin/python3\nTerminal=true\n"));
    ASSERT_TRUE(write(entries + u'/' + terminal,
                      "[Desktop Entry]\nType=Application\nName=Terminal\nExec=xterm\n"
                      "Categories=System;TerminalEmulator;\n"));
    const QString wrapped = QStringLiteral("ordella-test-wrapped.desktop");
    ASSERT_TRUE(write(entries + u'/' + wrapped, "[Desktop Entry]\nType=Application\nName=Wrapped\n"
                                                "Exec=nice -n 5 python3 %f\nMimeType=text/plain;\n"));
    // A program that runs a folder's Makefile, whose line has "-e" before the file: no terminal, and
    // never started in a saved folder.
    const QString make = home.filePath(QStringLiteral("Downloads/make"));
    const QString project = home.filePath(QStringLiteral("project"));
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("project")));
    ASSERT_TRUE(write(project + QStringLiteral("/Makefile"), "all:\n\ttouch made\n"));
    ASSERT_TRUE(write(make, "#!/bin/sh\n[ -f Makefile ] && touch made\nexit 0\n"));
    QFile::setPermissions(make, QFile::permissions(make) | QFileDevice::ExeOwner);
    const QString maker = QStringLiteral("ordella-test-make.desktop");
    ASSERT_TRUE(write(entries + u'/' + maker, "[Desktop Entry]\nType=Application\nName=Make\nExec=" +
                                                  QFile::encodeName(make) + " -e %f\n"));
    // A program that is a FIFO: opening it to look at it would wait for a writer that never comes.
    const QString pipe = home.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0755), 0);
    const QString piped = QStringLiteral("ordella-test-pipe.desktop");
    ASSERT_TRUE(write(entries + u'/' + piped, "[Desktop Entry]\nType=Application\nName=Pipe\nExec=" +
                                                  QFile::encodeName(pipe) + " %f\nMimeType=text/plain;\n"));
    const QString editor = installTestWindowEntry();

    Workspace workspace = WorkspaceSamples::plain(QStringLiteral("Morning"), WorkspaceSamples::date(0));
    // The terminal also had a window on a folder: it starts there.
    AppSnapshot terminalApp = savedApp(terminal, shell);
    terminalApp.windowSnapshots.append(savedApp(terminal, home.path()).windowSnapshots.first());
    workspace.appSnapshots = {savedApp(interpreter, python), terminalApp,
                              savedApp(wrapped, letter),     savedApp(editor, notes),
                              savedApp(maker, project),      savedApp(piped, notes)};
    workspace.triggers = {{QUuid::createUuid(), WorkspaceTrigger::Login{}}};
    const std::optional<RestoreReport> report = restoreAtNextStart(workspace);
    ASSERT_TRUE(report);
    EXPECT_EQ(report->appResults.size(), 6);
    // The terminal started in the saved folder is that window's, never the refused script's.
    const auto terminalResult =
        std::find_if(report->appResults.begin(), report->appResults.end(),
                     [&](const AppRestoreResult& app) { return app.bundleIdentifier == terminal; });
    ASSERT_NE(terminalResult, report->appResults.end());
    ASSERT_EQ(terminalResult->windowResults.size(), 2);
    EXPECT_EQ(terminalResult->windowResults[0].status, RestoreStatus::failed)
        << terminalResult->reason.toStdString();

    // On a slow machine the report can come before the programs it started show their windows.
    QHash<QString, RunningApplication> running;
    const auto shown = [&] {
        running.clear();
        for (const RunningApplication& app : Platform::current().runningApplications->runningApplications()) {
            running.insert(app.bundleIdentifier.value_or(QString()), app);
        }
        return running.contains(editor) && running.contains(terminal) &&
               !AXWindowService::currentWindowTitles(running.value(editor)).isEmpty() &&
               !AXWindowService::axWindowList(running.value(terminal)).value_or(QList<AXElement>()).isEmpty();
    };
    RestoreRun run;
    run.report = *report;
    ASSERT_TRUE(waitUntil(shown)) << RestoreRunText::describe(run).toStdString();
    const RunningApplication editing = running.value(editor);
    // Once: a later pass does not ask the running terminal for the folder again.
    EXPECT_EQ(LinuxProcess::workingFolder(running.value(terminal).processIdentifier), home.path());
    EXPECT_EQ(AXWindowService::axWindowList(running.value(terminal)).value_or(QList<AXElement>()).size(), 1);
    EXPECT_EQ(AXWindowService::currentWindowTitles(editing), QStringList{QStringLiteral("notes.txt")});
    EXPECT_FALSE(QFileInfo::exists(pythonMarker));
    EXPECT_FALSE(QFileInfo::exists(shellMarker));
    EXPECT_FALSE(QFileInfo::exists(wrappedMarker));
    EXPECT_FALSE(QFileInfo::exists(project + QStringLiteral("/made")));
    QStringList lines;
    for (const auto& entry : AnalysisLogger::shared().entries()) {
        lines << entry.message;
    }
    const QString refused = QStringLiteral("openDocuments: refusing %1 for %2: %3");
    EXPECT_TRUE(lines.contains(refused.arg(QUrl::fromLocalFile(python).toString(), interpreter,
                                           "the application runs in a terminal, which would run the file")));
    EXPECT_TRUE(lines.contains(refused.arg(QUrl::fromLocalFile(shell).toString(), terminal,
                                           "not a folder (the terminal would run it)")));
    EXPECT_TRUE(
        lines.contains(refused.arg(QUrl::fromLocalFile(letter).toString(), wrapped,
                                   "its program is an interpreter or a shell, which would run the file")));
    EXPECT_TRUE(
        lines.contains(refused.arg(QUrl::fromLocalFile(project).toString(), maker,
                                   "its program is an interpreter or a shell, which would run the file")));
}

} // namespace
