// File-manager conversations end to end against the simulated file manager.
#include "Services/Scripting/FinderScriptService.h"

#include "Support/DiagnosticsCapture.h"
#include "Support/ScriptedDesktop.h"

#include "Support/ScriptTestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;

namespace {

using Info = FinderScriptService::FinderWindowInfo;

class FinderScriptServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        finder = d.addApp("com.apple.finder", "Finder");
        for (const char* folder : {"/home/me", "/home/me/Documents", "/srv/share", "/tmp"}) {
            d.host().addFolder(folder);
        }
    }

    quint32 folderWindow(const std::optional<QString>& folder, const QRectF& frame) {
        const quint32 number = d.addWindow(finder, frame, folder ? folder->section('/', -1) : "Search");
        d.host().setFolder(number, folder);
        return number;
    }

    QList<Info> capture() {
        auto windows = d.clock().runUntilDone(FinderScriptService::captureWindows());
        return windows ? *windows : QList<Info>{};
    }

    QStringList shownFolders() {
        QStringList folders;
        for (const Info& w : capture()) {
            folders << w.path;
        }
        return folders;
    }

    ScriptedDesktop d;
    DiagnosticsCapture diagnostics;
    qint32 finder = 0;
};

} // namespace

TEST_F(FinderScriptServiceTest, CapturesFolderWindowsButNotSearches) {
    folderWindow("/tmp", QRectF(0, 0, 400, 300));
    folderWindow(std::nullopt, QRectF(10, 10, 400, 300));
    folderWindow("/home/me", QRectF(100, 50, 800, 600));
    EXPECT_EQ(capture(),
              (QList<Info>{{"/home/me/", {100, 50, 800, 600}, "me"}, {"/tmp/", {0, 0, 400, 300}, "tmp"}}));
    EXPECT_TRUE(diagnostics.lines().first().startsWith("[FinderScriptService.runAppleScript] Executing: tell "
                                                       "application \"Finder\"     set windowData to {}"));
    EXPECT_TRUE(d.host().rejectedScripts().isEmpty());
}

// A folder that no longer exists costs only its own window.
TEST_F(FinderScriptServiceTest, BatchRestoreOpensTheOthersAroundAMissingFolder) {
    folderWindow("/tmp", QRectF(0, 0, 400, 300));
    ASSERT_TRUE(d.clock().runUntilDone(FinderScriptService::batchRestoreWindows(
        {"/home/me", "/gone/away", "/srv/share"},
        {{10, 20, 500, 400}, {0, 0, 300, 300}, {600, 20, 500, 400}})));
    EXPECT_EQ(capture(), (QList<Info>{{"/srv/share/", {600, 20, 500, 400}, "share"},
                                      {"/home/me/", {10, 20, 500, 400}, "me"}}));
    EXPECT_TRUE(d.host().rejectedScripts().isEmpty());
    EXPECT_TRUE(diagnostics.lines().filter("AppleScript error").isEmpty());
}

TEST_F(FinderScriptServiceTest, BatchOperationsCloseOpenAndMoveOnlyWhatDiffers) {
    d.host().addFolder("/opt");
    const quint32 opt = folderWindow("/opt", QRectF(400, 400, 500, 400));
    folderWindow("/tmp", QRectF(0, 0, 400, 300));
    const quint32 docs = folderWindow("/home/me/Documents", QRectF(151, 100, 500, 400));
    const quint32 home = folderWindow("/home/me", QRectF(50, 0, 500, 400));
    // Saved paths are as a capture gave them, with the trailing slash; "/opt/" has no saved frame.
    const QStringList all{"/home/me/", "/gone/", "/srv/share/", "/home/me/Documents/", "/opt/"};
    const QList<SnapshotRect> frames{
        {0, 0, 500, 400}, {0, 0, 500, 400}, {700, 0, 400, 400}, {100, 100, 500, 400}};
    ASSERT_TRUE(d.clock().runUntilDone(FinderScriptService::batchOperations(
        {"/tmp/", "/not/open/"}, {"/gone/", "/srv/share/"}, all, frames, capture(),
        {"/home/me/", "/home/me/Documents/", "/opt/"}, within50)));
    EXPECT_EQ(shownFolders(), (QStringList{"/srv/share/", "/home/me/", "/home/me/Documents/", "/opt/"}));
    EXPECT_EQ(d.desktop().window(home)->frame, QRectF(50, 0, 500, 400));    // off by 50: left alone
    EXPECT_EQ(d.desktop().window(docs)->frame, QRectF(100, 100, 500, 400)); // off by 51: moved
    EXPECT_EQ(d.desktop().window(opt)->frame, QRectF(400, 400, 500, 400));
    EXPECT_EQ(capture().first().bounds, (SnapshotRect{700, 0, 400, 400}));
    EXPECT_TRUE(d.host().rejectedScripts().isEmpty());
}

TEST_F(FinderScriptServiceTest, FailuresArePrintedWithoutAnAlert) {
    folderWindow("/tmp", QRectF(0, 0, 400, 300));
    d.host().queueBehaviour("Finder", SimulatedScriptHost::refusal("Finder", false));
    d.host().queueBehaviour("Finder", SimulatedScriptHost::failure(-1708, "Finder got an error."));
    d.host().queueBehaviour("Finder", SimulatedScriptHost::late(6s));
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(capture().isEmpty());
    }
    EXPECT_EQ(d.clock().elapsed(), 5s);
    const QStringList lines =
        diagnostics.lines().filter(QRegularExpression("^\\[FinderScriptService[^\\]]*\\] [^E]"));
    EXPECT_EQ(lines, (QStringList{
                         "[FinderScriptService] Not authorized to send Apple events to Finder",
                         "[FinderScriptService.captureWindows] Failed to capture Finder windows",
                         "[FinderScriptService] AppleScript error (-1708): Finder got an error.",
                         "[FinderScriptService.captureWindows] Failed to capture Finder windows",
                         "[FinderScriptService.runAppleScript] TIMEOUT after 5.0s",
                         "[FinderScriptService.captureWindows] Failed to capture Finder windows",
                     }));
    EXPECT_TRUE(d.prompts().shownAlerts().isEmpty());
    // The late script still ends, and the next caller waits for it.
    EXPECT_EQ(shownFolders(), QStringList{"/tmp/"});
    EXPECT_EQ(d.clock().elapsed(), 6s);
}
