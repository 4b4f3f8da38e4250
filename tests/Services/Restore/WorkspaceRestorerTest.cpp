#include "Services/Restore/WorkspaceRestorer.h"

#include "RestoreFixture.h"

namespace {

class WorkspaceRestorerTest : public RestoreFixture {
protected:
    RestoreReport restore(const Workspace& w, bool closeOtherApps = false) {
        return run(WorkspaceRestorer::restore(w, closeOtherApps));
    }
};

TEST_F(WorkspaceRestorerTest, WithoutPermissionTouchesNothingAndSaysWhy) {
    const qint32 pid = addApp("org.example.Editor", {QRectF(400, 300, 600, 400)});
    desktop().setTrusted(false);
    const RestoreReport report =
        restore(workspace({savedApp("org.example.Editor", {savedWindow(QRectF(100, 100, 800, 600))})}));
    EXPECT_EQ(report.status, RestoreStatus::skipped);
    ASSERT_EQ(report.appResults.size(), 1);
    EXPECT_EQ(report.appResults[0],
              (AppRestoreResult{"", "", RestoreStatus::skipped, "Accessibility permission not granted", {}}));
    EXPECT_EQ(report.summary(), "Accessibility permission not granted");
    EXPECT_EQ(prompts().shownAlerts().size(), 1);
    EXPECT_EQ(frameOf(windowOf(pid)), QRectF(400, 300, 600, 400));
    EXPECT_TRUE(restorerLines().isEmpty());
}

TEST_F(WorkspaceRestorerTest, MovesWindowsBackAndHidesOthers) {
    const qint32 editor = addApp("org.example.Editor", {QRectF(400, 300, 600, 400)}, {"Doc"});
    const qint32 other = addApp("org.example.Other", {QRectF(0, 30, 300, 300)});
    const RestoreReport report = restore(
        workspace({savedApp("org.example.Editor", {savedWindow(QRectF(100, 100, 800, 600), "Doc")})}));
    EXPECT_EQ(report.status, RestoreStatus::restored);
    EXPECT_EQ(report.appResults.first().reason, "All 1 windows restored");
    EXPECT_EQ(frameOf(windowOf(editor)), QRectF(100, 100, 800, 600));
    EXPECT_TRUE(desktop().application(other)->hidden);
    EXPECT_TRUE(report.displayMappingNotes.isEmpty());
}

} // namespace
