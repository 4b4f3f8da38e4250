#include "Platform/RunningApplications.h"
#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Support/RowFixture.h"
#include "Support/SnapshotBuilders.h"
#include "Support/Views/LocalFavicons.h"
#include "Support/Views/ViewHarness.h"
#include "ViewModels/AppSelectionRowModel.h"
#include "ViewModels/BrowserSelectionRowModel.h"
#include "ViewModels/FaviconLoader.h"
#include "ViewModels/ThumbnailQueue.h"
#include "ViewModels/WorkspacePreviewInlineModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The demo scene with window pictures and a local favicon service that draws an icon per host.
class PreviewViewsTest : public RowFixture {
protected:
    PreviewViewsTest()
        : capture(desktop()) {
        capture.installInto(platform());
    }

    Workspace demo() {
        const auto captured = clock().runUntilDone(WorkspaceCapturer::capture("Client Work"));
        EXPECT_TRUE(captured && *captured);
        return captured && *captured ? **captured : Workspace();
    }
    // Lets pictures and icons arrive, then the view settle.
    void load() {
        const auto idle = [] { return ThumbnailQueue::pending() == 0 && !LocalFavicons::busy(); };
        ui.settle();
        EXPECT_TRUE(clock().runUntil(idle));
        ui.settle();
    }
    qint32 runningApplication(const QString& bundleIdentifier) {
        for (const RunningApplication& app : platform().runningApplications->runningApplications()) {
            if (app.bundleIdentifier == bundleIdentifier) {
                return app.processIdentifier;
            }
        }
        ADD_FAILURE() << "not running: " << bundleIdentifier.toStdString();
        return 0;
    }
    int shownCount(const QString& objectName) const {
        int n = 0;
        for (QQuickItem* item : ui.items(objectName)) {
            n += item->isVisible();
        }
        return n;
    }

    SimulatedScreenCapture capture;
    ViewHarness ui;
    // After the harness, which turns every favicon service off.
    LocalFavicons favicons{clock()};
};

} // namespace

TEST_F(PreviewViewsTest, InlinePreviewShowsTheDemoWorkspace) {
    Workspace w = demo();
    w.iconName = "briefcase.fill";
    w.gradientIndex = 4;
    WorkspacePreviewInlineModel preview(w);
    ui.show("WorkspacePreviewInlineView", {{"preview", QVariant::fromValue(&preview)}}, 410);
    load();
    EXPECT_EQ(ui.text("workspaceName"), "Client Work");
    EXPECT_EQ(ui.text("summaryText"), WorkspacePreviewInlineModel::summaryText(w));
    EXPECT_EQ(ui.items("appRestorePreviewRow").size(), w.appSnapshots.size());
    EXPECT_EQ(shownCount("tabLine"), 3);
    EXPECT_EQ(shownCount("documentLine"), 3); // the editor's two files and the folder
    EXPECT_FALSE(ui.isShown("emptyState"));
    EXPECT_TRUE(ui.isShown("faviconPicture"));
    ui.screenshots("WorkspacePreviewInlineView");

    QSignalSpy closed(&preview, &WorkspacePreviewInlineModel::closeRequested);
    QTest::keyClick(ui.window(), Qt::Key_Escape);
    EXPECT_EQ(closed.size(), 1);
    ui.hover("backButton");
    ui.click("backButton");
    EXPECT_EQ(closed.size(), 2);
}

// Directional marks in a name or title stay inside it: each is shown isolated.
TEST_F(PreviewViewsTest, NamesAndTitlesWithDirectionalMarksAreShownIsolated) {
    const QString spoof = QStringLiteral("\u202Egnp.exe");
    const auto isolated = [](const QString& text) {
        return QStringLiteral("\u2068") + text + QStringLiteral("\u2069");
    };
    Workspace w = demo();
    w.name = spoof + " Desk";
    for (AppSnapshot& app : w.appSnapshots) {
        app.appName = spoof + " " + app.appName;
        for (WindowSnapshot& window : app.windowSnapshots) {
            for (TabSnapshot& tab : window.tabSnapshots) {
                tab.title = spoof + " tab";
            }
        }
    }
    WorkspacePreviewInlineModel preview(w);
    ui.show("WorkspacePreviewInlineView", {{"preview", QVariant::fromValue(&preview)}}, 410);
    load();
    EXPECT_EQ(ui.text("workspaceName"), isolated(spoof + " Desk"));
    const QList<QQuickItem*> names = ui.items("appName");
    ASSERT_EQ(names.size(), w.appSnapshots.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_EQ(names[i]->property("text").toString(), isolated(w.appSnapshots[i].appName));
    }
    ASSERT_FALSE(ui.items("tabTitle").isEmpty());
    for (const QQuickItem* title : ui.items("tabTitle")) {
        EXPECT_EQ(title->property("text").toString(), isolated(spoof + " tab"));
    }
    ui.screenshots("WorkspacePreviewInlineView-directional-marks");
}

TEST_F(PreviewViewsTest, InlinePreviewOfAnEmptyWorkspace) {
    Workspace w = Snapshots::workspace({});
    w.name = "Nothing Yet";
    WorkspacePreviewInlineModel preview(w);
    ui.show("WorkspacePreviewInlineView", {{"preview", QVariant::fromValue(&preview)}}, 410);
    EXPECT_EQ(ui.text("summaryText"), "No items to restore");
    EXPECT_TRUE(ui.isShown("emptyState"));
    EXPECT_TRUE(ui.isShown("backButton"));
    EXPECT_TRUE(ui.items("appRestorePreviewRow").isEmpty());
    ui.screenshots("WorkspacePreviewInlineView-empty");
}

TEST_F(PreviewViewsTest, AppRowSwitchesModesAndTicksOffDocuments) {
    WorkspacePreviewViewModel preview;
    ASSERT_TRUE(clock().runUntilDone(preview.capture()));
    const AppSnapshot editor = preview.capturedWorkspace()->appSnapshots.first();
    ASSERT_EQ(editor.bundleIdentifier, "org.example.Editor");
    auto* row = new AppSelectionRowModel(&preview, editor, PreviewBadge::Kind::Saved, 5, &preview);
    ui.show("AppPreviewRow", {{"appRow", QVariant::fromValue(row)}}, 410);
    load();
    EXPECT_EQ(ui.text("appSubtitle"), "2 windows");
    EXPECT_TRUE(ui.isShown("modeSelector"));
    ASSERT_EQ(ui.items("documentCard").size(), 2);
    EXPECT_EQ(ui.items("documentName").first()->property("text").toString(), "notes.txt");
    EXPECT_EQ(shownCount("thumbnailPicture"), 2);
    ui.screenshots("AppPreviewRow-files");

    ui.click(ui.items("includeSwitch")[0]); // the first card's switch
    EXPECT_TRUE(preview.ignoredWindowIDs().contains(editor.windowSnapshots[0].id));
    ui.screenshots("AppPreviewRow-fileLeftOut");

    ui.click("appOnlyButton");
    EXPECT_TRUE(preview.appOnlyModeIDs().contains(editor.id));
    EXPECT_TRUE(ui.items("documentCard").isEmpty());
    EXPECT_EQ(ui.items("windowPicture").size(), 1);
    load();
    ui.screenshots("AppPreviewRow-appOnly");

    ui.click("appIncludeSwitch");
    EXPECT_TRUE(preview.ignoredAppIDs().contains(editor.id));
    EXPECT_FALSE(ui.isShown("modeSelector"));
    EXPECT_FALSE(ui.isShown("cardStrip"));
    EXPECT_FALSE(ui.item("appIncludeSwitch")->property("checked").toBool());
    ui.screenshots("AppPreviewRow-excluded");
}

TEST_F(PreviewViewsTest, BrowserRowShowsEveryTabWithItsFavicon) {
    WorkspacePreviewViewModel preview;
    ASSERT_TRUE(clock().runUntilDone(preview.capture()));
    const AppSnapshot chrome = preview.capturedWorkspace()->appSnapshots[1];
    ASSERT_EQ(chrome.bundleIdentifier, "com.google.Chrome");
    auto* row = new BrowserSelectionRowModel(&preview, chrome, PreviewBadge::Kind::New, &preview);
    ui.show("BrowserAppPreviewRow", {{"browserRow", QVariant::fromValue(row)}}, 410);
    load();
    EXPECT_EQ(ui.text("appSubtitle"), "3 tabs across 2 windows");
    ASSERT_EQ(ui.items("tabCard").size(), 3);
    EXPECT_EQ(shownCount("faviconPicture"), 3);
    EXPECT_EQ(ui.items("tabHost").first()->property("text").toString(), "example.org");
    ui.screenshots("BrowserAppPreviewRow");

    ui.click(ui.items("includeSwitch")[1]);
    EXPECT_TRUE(preview.ignoredTabIDs().contains(chrome.windowSnapshots[0].tabSnapshots[1].id));
    ui.click("appIncludeSwitch");
    EXPECT_TRUE(preview.ignoredAppIDs().contains(chrome.id));
    EXPECT_TRUE(ui.isShown("cardStrip"));
    EXPECT_DOUBLE_EQ(ui.items("tabCard").first()->opacity(), 0.4);
    ui.screenshots("BrowserAppPreviewRow-excluded");
}

TEST_F(PreviewViewsTest, FaviconShowsTheGlobeUntilAndUnlessAnIconArrives) {
    const struct {
        QString url;
        bool icon;
    } cases[] = {
        {"https://example.org/page", true}, {"https://broken.example/", false}, {"file:///etc/hosts", false}};
    for (const auto& c : cases) {
        delete ui.root();
        ui.show("FaviconImage", {{"url", c.url}, {"size", 16}});
        load();
        EXPECT_EQ(ui.isShown("faviconPicture"), c.icon) << c.url.toStdString();
        EXPECT_EQ(ui.isShown("faviconGlobe"), !c.icon) << c.url.toStdString();
    }
    EXPECT_EQ(favicons.requests(), QStringList({"/s2/favicons?domain=example.org&sz=32",
                                                "/s2/favicons?domain=broken.example&sz=32"}));
}

TEST_F(PreviewViewsTest, WithoutScreenRecordingAWindowShowsThePlaceholderAtOnce) {
    capture.setAccessGranted(false);
    const qint32 pid = runningApplication("org.example.Editor");
    ui.show("WindowThumbnail", {{"pid", pid}, {"windowIndex", 0}, {"isMinimized", true}});
    EXPECT_TRUE(ui.isShown("thumbnailPlaceholderSymbol"));
    EXPECT_FALSE(ui.isShown("thumbnailProgress"));
    EXPECT_FALSE(ui.isShown("thumbnailPicture"));
    EXPECT_TRUE(ui.isShown("thumbnailMinimizedBadge"));
    ui.screenshots("WindowThumbnail-placeholder");
}
