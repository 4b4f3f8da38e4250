// The update banner and the new-workspace button in the menu-bar window, over an updater that asks
// a local update server.
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Update/AutoUpdateManager.h"
#include "Support/RowFixture.h"
#include "Support/TestHttpServer.h"
#include "Support/Views/ViewHarness.h"
#include "ViewModels/PopoverModel.h"
#include "ViewModels/StatusTexts.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Kind = UpdateState::Kind;

class UpdateBannerViewTest : public RowFixture {
protected:
    UpdateBannerViewTest() {
        JsonSettingsFormat::userSettings()->remove("dismissedVersion_2.1.0");
        settings.setWorkspaceSortOption("updatedAt");
        server.route("/version.json", R"({"version": "2.1.0"})");
        clock().setRealWorkPending([this] { return updater->updateState().kind() == Kind::checking; });
    }
    static AutoUpdateManager::Configuration configuration(const QString& versionCheckURL,
                                                          const QString& downloadBase) {
        AutoUpdateManager::Configuration c;
        c.versionCheckURL = versionCheckURL;
        c.downloadBase = downloadBase;
        c.localVersion = "1.0.0";
        return c;
    }
    void show() { ui.show("PopoverView", {{"popover", QVariant::fromValue(&model)}}, 450); }
    // The banner alone, as it stands now; then the window again.
    void bannerScreenshots(PopoverModel& popover, const QString& name) {
        ui.show("UpdateBanner", {{"banner", QVariant::fromValue(popover.updateBanner())}}, 410);
        ui.screenshots(name);
        ui.show("PopoverView", {{"popover", QVariant::fromValue(&popover)}}, 450);
    }
    void check() {
        updater->checkForUpdates(true, false, false);
        ASSERT_TRUE(clock().runUntil([this] { return updater->updateState().kind() != Kind::checking; }));
        clock().advanceBy(100ms);
        ui.settle();
    }

    TestHttpServer server;
    std::unique_ptr<AutoUpdateManager> updater = std::make_unique<AutoUpdateManager>(
        configuration(server.url("/version.json"), server.url("/downloads/Ordella")));
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[this](Workspace w, bool) -> QCoro::Task<RestoreReport> {
                                       co_await clock().sleep(2s);
                                       RestoreReport report;
                                       report.workspaceName = w.name;
                                       report.status = RestoreStatus::restored;
                                       co_return report;
                                   },
                                   &revertStates};
    SettingsManager settings;
    PopoverModel model{
        {&store, &coordinator, &revertStates, &hotkeys, updater.get(), &settings, platform().clock}};
    ViewHarness ui;
};

} // namespace

TEST_F(UpdateBannerViewTest, OfferedDownloadedAndDismissed) {
    ASSERT_TRUE(store.save(sample("Client Work")));
    show();
    EXPECT_FALSE(ui.isShown("updateBannerSlot"));
    check();
    EXPECT_TRUE(ui.isShown("updateBanner"));
    EXPECT_EQ(ui.text("bannerTitle"), "Update Available");
    EXPECT_EQ(ui.text("bannerVersion"), "Latest Version: 2.1.0");
    EXPECT_EQ(ui.text("bannerButtonTitle"), "Download");
    EXPECT_FALSE(ui.isShown("bannerProgress"));
    EXPECT_FALSE(ui.isShown("bannerError"));
    ui.screenshots("PopoverView-updateBanner");
    bannerScreenshots(model, "UpdateBanner-download");

    server.route("/downloads/Ordella2.1.0.tar.gz", {TestHttpServer::Response::held()});
    ui.click("bannerButton");
    EXPECT_EQ(updater->updateState().kind(), Kind::downloading);
    EXPECT_TRUE(ui.isShown("bannerProgress"));
    EXPECT_EQ(ui.text("bannerProgressText"), "Downloading...");
    EXPECT_FALSE(ui.isShown("bannerButton"));
    bannerScreenshots(model, "UpdateBanner-downloading");

    ui.click("bannerDismissButton");
    EXPECT_FALSE(ui.isShown("updateBannerSlot"));
    EXPECT_TRUE(AutoUpdateManager::wasVersionDismissed("2.1.0"));
    model.appeared(); // the window comes on screen again: the version stays dismissed
    ui.settle();
    EXPECT_FALSE(ui.isShown("updateBannerSlot"));
}

TEST_F(UpdateBannerViewTest, AFailedCheckShowsItsMessageAndAWayToTryAgain) {
    AutoUpdateManager refused(configuration("http://example.org/version.json", ""));
    PopoverModel failing{
        {&store, &coordinator, &revertStates, &hotkeys, &refused, &settings, platform().clock}};
    refused.checkForUpdates(true, true, true); // from the settings: raises nothing by itself
    ui.show("PopoverView", {{"popover", QVariant::fromValue(&failing)}}, 450);
    clock().advanceBy(1s);
    ui.settle();
    EXPECT_FALSE(ui.isShown("updateBannerSlot"));
    failing.appeared(); // the window opens on the failure
    ui.settle();
    EXPECT_TRUE(ui.isShown("updateBanner"));
    EXPECT_EQ(ui.text("bannerTitle"), "Update Available");
    EXPECT_EQ(ui.text("bannerError"), "Invalid version check URL");
    EXPECT_EQ(ui.text("bannerButtonTitle"), "Check for Updates");
    EXPECT_FALSE(ui.isShown("bannerVersion"));
    bannerScreenshots(failing, "UpdateBanner-error");

    // A longer failure stays on one line beside the title.
    server.route("/version.json", {TestHttpServer::Response::dropped()});
    check();
    ASSERT_EQ(updater->updateState().kind(), Kind::error);
    show();
    model.appeared();
    ui.settle();
    EXPECT_TRUE(ui.isShown("updateBanner"));
    EXPECT_TRUE(ui.text("bannerError").startsWith("Failed to check for updates: "));
    QQuickItem* error = ui.item("bannerError");
    EXPECT_LE(error->height(), 16);
    const QRectF banner = ui.item("updateBanner")
                              ->mapRectToScene(QRectF(0, 0, ui.item("updateBanner")->width(),
                                                      ui.item("updateBanner")->height()));
    EXPECT_TRUE(banner.contains(error->mapRectToScene(QRectF(0, 0, error->width(), error->height()))));
    ui.screenshots("PopoverView-updateBanner-error");
}

TEST_F(UpdateBannerViewTest, NewWorkspaceButtonHoversAndPressesButClicksOnlyWhenIdle) {
    ASSERT_TRUE(store.save(sample("Client Work")));
    show();
    QQuickItem* button = ui.item("newWorkspaceButton");
    ui.hover(button);
    EXPECT_TRUE(button->property("isHovered").toBool());
    ui.screenshots("NewWorkspaceButton-hovered");

    model.restoreWorkspace(store.workspaces().first()); // something runs
    ui.settle();
    ASSERT_TRUE(model.isProcessing());
    const QPoint centre = button->mapToScene(QPointF(button->width() / 2, 21)).toPoint();
    QTest::mousePress(ui.window(), Qt::LeftButton, Qt::NoModifier, centre);
    EXPECT_TRUE(button->property("isPressed").toBool());
    ui.screenshots("NewWorkspaceButton-pressedWhileBusy");
    QTest::mouseRelease(ui.window(), Qt::LeftButton, Qt::NoModifier, centre);
    ui.settle();
    EXPECT_FALSE(button->property("isPressed").toBool());
    EXPECT_EQ(model.screen(), "list");

    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    ui.click(button);
    EXPECT_EQ(model.screen(), "save");
}
