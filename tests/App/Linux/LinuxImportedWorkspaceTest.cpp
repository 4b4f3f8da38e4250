#include "App/WorkspaceAppDelegate.h"
#include "Models/WorkspaceJson.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Restore/WorkspaceRestorer.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/StatusPostRecorder.h"
#include "Support/WorkspaceSamples.h"
#include "Support/X11DesktopTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <qcoro/qcorotask.h>

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

    std::unique_ptr<RevertStateManager> revertStates;
    std::unique_ptr<RestoreCoordinator> coordinator;
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
    const JsonResult<QByteArray> exported = WorkspaceJson::encodeList({workspace});
    ASSERT_TRUE(exported);
    QTemporaryDir data;
    {
        WorkspaceStore importing(data.path());
        const auto imported = importing.importWorkspaces(exported.value());
        ASSERT_TRUE(imported);
        ASSERT_EQ(imported.value().added, 1);
    }

    // The next start: the store reads the folder, the login restore runs 3 seconds later.
    WorkspaceStore store(data.path());
    ASSERT_EQ(store.workspaces().size(), 1);
    delegate = std::make_unique<WorkspaceAppDelegate>(WorkspaceAppDelegate::Services{
        nullptr, nullptr, coordinator.get(), revertStates.get(), Platform::current().userNotifications});
    delegate->setup(&store);
    const auto finished = [this] {
        return std::any_of(recorder.posts.cbegin(), recorder.posts.cend(),
                           [](const WorkspaceRestoreStatus& post) { return post.report.has_value(); });
    };
    ASSERT_TRUE(waitUntil(finished, 60000));
    // And a restore asked for by hand.
    const RestoreReport report = QCoro::waitFor(coordinator->restore(store.workspaces().first(), false));
    const auto atLogin =
        std::find_if(recorder.posts.cbegin(), recorder.posts.cend(),
                     [](const WorkspaceRestoreStatus& post) { return post.report.has_value(); });
    for (const RestoreReport& each : {*atLogin->report, report}) {
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

} // namespace
