#include "ViewModels/UpdateBannerModel.h"

#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Update/AutoUpdateManager.h"
#include "Support/TestHttpServer.h"
#include "Support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Kind = UpdateState::Kind;
using Control = UpdateBannerModel::Control;

TEST(UpdateBannerRules, EveryStateHasItsTrailingControl) {
    struct Row {
        Kind state;
        Control control;
        QString text; // the button's title, or the progress row's text
    };
    const QString check = "Check for Updates";
    const QList<Row> rows = {
        {Kind::updateAvailable, Control::button, "Download"},
        {Kind::downloading, Control::progress, "Downloading..."},
        {Kind::error, Control::errorWithButton, check},
        {Kind::failedAfterRetry, Control::none, ""},
        {Kind::idle, Control::button, check},
        {Kind::checking, Control::none, ""},
        {Kind::noUpdateAvailable, Control::button, check},
        {Kind::installing, Control::progress, "Installing..."},
        {Kind::readyToInstall, Control::button, "Install Update"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(UpdateBannerModel::controlFor(row.state), row.control) << int(row.state);
        const QString text = row.control == Control::progress ? UpdateBannerModel::progressTextFor(row.state)
                                                              : UpdateBannerModel::buttonTitleFor(row.state);
        EXPECT_EQ(text, row.text) << int(row.state);
    }
}

// The banner over an updater in virtual time that asks a local version server; version 1.0.0 runs.
class UpdateBanner : public ::testing::Test {
protected:
    UpdateBanner() {
        const std::unique_ptr<QSettings> settings = JsonSettingsFormat::userSettings();
        for (const QString& key : settings->allKeys()) {
            if (key.startsWith("dismissedVersion_")) {
                settings->remove(key);
            }
        }
        serve("2.1.0");
        platform.clock().setRealWorkPending(
            [this] { return updater && updater->updateState().kind() == Kind::checking; });
        start(server.url("/version.json"));
    }
    // A new updater and banner, as after a restart.
    void start(const QString& versionCheckURL) {
        banner.reset();
        AutoUpdateManager::Configuration configuration;
        configuration.versionCheckURL = versionCheckURL;
        configuration.localVersion = "1.0.0";
        updater = std::make_unique<AutoUpdateManager>(configuration);
        banner = std::make_unique<UpdateBannerModel>(*updater);
    }
    void serve(const QByteArray& version) {
        server.route("/version.json", R"({"version": ")" + version + R"("})");
    }
    // A check that is not manual (start-up, the daily one, the banner's own), driven to its end.
    void check(bool manual = false) {
        updater->checkForUpdates(true, false, manual);
        ASSERT_TRUE(
            platform.clock().runUntil([this] { return updater->updateState().kind() != Kind::checking; }));
    }
    void wait(std::chrono::milliseconds d) { platform.clock().advanceBy(d); }

    TestPlatform platform;
    TestHttpServer server;
    std::unique_ptr<AutoUpdateManager> updater;
    std::unique_ptr<UpdateBannerModel> banner;
};

using namespace std::chrono_literals;

TEST_F(UpdateBanner, ShownATenthOfASecondAfterAnOfferAndDismissedForGood) {
    EXPECT_FALSE(banner->isShown());
    check();
    EXPECT_EQ(updater->updateState(), UpdateState::updateAvailable("2.1.0"));
    wait(90ms);
    EXPECT_FALSE(banner->isShown());
    wait(10ms);
    EXPECT_TRUE(banner->isShown());
    EXPECT_EQ(banner->versionLine(), "Latest Version: 2.1.0");
    EXPECT_TRUE(banner->showsButton());
    EXPECT_EQ(banner->buttonTitle(), "Download");

    // A state change never hides it: a check shows no control meanwhile.
    updater->checkForUpdates(true, false, false);
    EXPECT_TRUE(banner->isShown());
    EXPECT_FALSE(banner->showsButton() || banner->showsProgress());
    ASSERT_TRUE(
        platform.clock().runUntil([this] { return updater->updateState().kind() != Kind::checking; }));

    banner->dismiss();
    EXPECT_FALSE(banner->isShown());
    EXPECT_TRUE(JsonSettingsFormat::userSettings()->value("dismissedVersion_2.1.0").toBool());
    check();
    wait(1s);
    EXPECT_FALSE(banner->isShown());

    start(server.url("/version.json")); // a restart remembers it
    check();
    banner->windowAppeared();
    wait(1s);
    EXPECT_FALSE(banner->isShown());

    serve("2.2.0"); // a newer release is offered again
    check();
    wait(100ms);
    EXPECT_TRUE(banner->isShown());
    EXPECT_EQ(banner->versionLine(), "Latest Version: 2.2.0");
}

TEST_F(UpdateBanner, AManualCheckRaisesItOnlyWhenTheWindowComesOnScreen) {
    check(true);
    wait(1s);
    EXPECT_FALSE(banner->isShown());
    banner->windowAppeared();
    EXPECT_TRUE(banner->isShown());
}

TEST_F(UpdateBanner, AFailureRaisesItEvenForADismissedVersion) {
    check();
    wait(100ms);
    banner->dismiss();
    start("http://example.org/plain"); // refused: not https
    EXPECT_EQ(banner->versionLine(), "");
    updater->checkForUpdates(true, false, false);
    wait(100ms);
    EXPECT_TRUE(banner->isShown());
    EXPECT_TRUE(banner->showsError());
    EXPECT_EQ(banner->errorMessage(), "Invalid version check URL");
    EXPECT_EQ(banner->buttonTitle(), "Check for Updates");

    // Dismissed while no version was ever read: nothing is stored, and the next failure raises it.
    const QStringList keysBefore = JsonSettingsFormat::userSettings()->allKeys();
    banner->dismiss();
    EXPECT_FALSE(banner->isShown());
    EXPECT_EQ(JsonSettingsFormat::userSettings()->allKeys(), keysBefore);
    banner->performButtonAction(); // "Check for Updates": not a manual check
    EXPECT_FALSE(updater->isManualCheck());
    wait(100ms);
    EXPECT_TRUE(banner->isShown());

    // A manual check's failure does not raise it; the window coming on screen does.
    banner->dismiss();
    updater->checkForUpdates(true, true, true);
    wait(1s);
    EXPECT_FALSE(banner->isShown());
    banner->windowAppeared();
    EXPECT_TRUE(banner->isShown());
}

// A build without an update address: no check, so nothing ever raises the banner.
TEST_F(UpdateBanner, NeverShownWithoutAnUpdateAddress) {
    start("");
    updater->startPeriodicChecks();
    check();
    banner->performButtonAction();
    wait(std::chrono::hours(25));
    banner->windowAppeared();
    EXPECT_FALSE(banner->isShown());
    EXPECT_EQ(updater->updateState(), UpdateState::idle());
    EXPECT_EQ(server.requests(), QStringList());
}

} // namespace
