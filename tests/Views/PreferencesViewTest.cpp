#include "Views/PreferencesWindowController.h"
#include "Views/Theme.h"

#include "Support/PreferencesFixture.h"
#include "Support/Views/ViewHarness.h"
#include "Support/WorkspaceSamples.h"

#include <QFile>
#include <QQuickView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Tab = PreferencesViewModel::Tab;

struct SampleApp {
    const char* id;
    const char* name;
    const char* from;
    const char* to;
    char16_t glyph;
};

// Installed applications with icons of their own, drawn as the desktop's applications would be.
void installApps(SimulatedDesktop& desktop, const QString& folder) {
    const SampleApp apps[] = {
        {"org.gnome.Music.desktop", "Music", "#ff5f6d", "#e0245e", 0xe405},
        {"org.gnome.Terminal.desktop", "Terminal", "#4a4a52", "#1c1c20", 0xeb8e},
        {"org.gnome.Nautilus.desktop", "Files", "#5aa9ff", "#2f6fe0", 0xe2c7},
        {"org.gnome.Calendar.desktop", "Calendar", "#ffb347", "#ff7b29", 0xe935},
        {"firefox-esr.desktop", "Web Browser", "#4fd1ff", "#2b7bff", 0xe80b},
        {"org.gnome.TextEditor.desktop", "Text Editor", "#5fd38d", "#22a35a", 0xe745},
    };
    for (const SampleApp& app : apps) {
        const QString icon = folder + "/" + app.id + ".svg";
        QFile svg(icon);
        svg.open(QIODevice::WriteOnly);
        svg.write(
            QString(
                "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64'>"
                "<defs><linearGradient id='g' x1='0' y1='0' x2='1' y2='1'>"
                "<stop offset='0' stop-color='%1'/><stop offset='1' stop-color='%2'/>"
                "</linearGradient></defs><rect x='2' y='2' width='60' height='60' rx='14' fill='url(#g)'/>"
                "<text x='32' y='44' font-family='Material Icons' font-size='34' fill='white' "
                "text-anchor='middle'>%3</text></svg>")
                .arg(app.from, app.to, QString(QChar(app.glyph)))
                .toUtf8());
        SimulatedDesktop::InstalledApp installed;
        installed.bundleIdentifier = app.id;
        installed.name = app.name;
        installed.icon = icon;
        desktop.installApplication(installed);
    }
}

class PreferencesViewTest : public PreferencesFixture {
protected:
    PreferencesViewTest() {
        installApps(desktop(), apps.path());
        capture.setAccessGranted(false);
        store.save(WorkspaceSamples::full());
        settings.setExcludedAppBundleIDs({"org.gnome.Music.desktop", "org.gnome.Terminal.desktop"});
        settings.setAppTheme(AppTheme::system);
    }
    ~PreferencesViewTest() override { settings.setExcludedAppBundleIDs({}); }

    // The window as it comes on screen, with the catalogue scanned.
    void show() {
        ui.show("PreferencesView", {{"preferences", QVariant::fromValue(&model)}});
        model.appear();
        ASSERT_TRUE(clock().runUntil([&] { return !model.isLoadingApps(); }));
        ui.settle();
    }
    void select(Tab tab) { ui.click(ui.items("sidebarButton").at(int(tab))); }
    // Scrolls the General tab to its end.
    void scrollDown() {
        QQuickItem* page = ui.item("generalTab");
        page->setProperty("contentY", page->property("contentHeight").toReal() - page->height());
        ui.settle();
    }
    QStringList texts(const QString& objectName) const {
        QStringList list;
        for (QQuickItem* item : ui.items(objectName)) {
            if (item->isVisible()) {
                list << item->property("text").toString();
            }
        }
        return list;
    }

    ViewHarness ui;
};

TEST_F(PreferencesViewTest, GeneralTabShowsTheSettingsPermissionsAndUpdates) {
    show();
    EXPECT_EQ(texts("sidebarTitle"), (QStringList{"General", "Appearance", "Data", "Support", "About"}));
    EXPECT_TRUE(ui.isShown("generalTab"));
    EXPECT_EQ(texts("settingTitle").mid(0, 4),
              (QStringList{"Launch at Login", "Show restore notifications", "Exclude apps from closing",
                           "Check for Updates"}));
    EXPECT_EQ(texts("chipName"), (QStringList{"Music", "Terminal"}));
    EXPECT_TRUE(ui.isShown("grantedMark"));
    ASSERT_EQ(ui.items("grantButton").size(), 2);
    EXPECT_FALSE(ui.items("grantButton")[0]->isVisible());
    EXPECT_TRUE(ui.items("grantButton")[1]->isVisible()) << "screen recording is not granted";
    EXPECT_TRUE(ui.isShown("updateActionButton"));
    ui.screenshots("PreferencesView-general");

    ui.click("notificationsSwitch");
    EXPECT_FALSE(settings.showRestoreNotifications());
    ui.click("launchAtLoginSwitch");
    EXPECT_EQ(loginItems->currentStatus, LoginItems::Status::enabled);
    ui.click(ui.items("chipRemoveButton").first());
    EXPECT_EQ(texts("chipName"), QStringList{"Terminal"});

    scrollDown();
    ui.screenshots("PreferencesView-general-bottom");
}

TEST_F(PreferencesViewTest, AddingAnExcludedAppThroughThePicker) {
    show();
    QQuickItem* page = ui.item("generalTab");
    page->setProperty("contentY", 120);
    ui.settle();
    ui.click("addAppButton");
    EXPECT_TRUE(model.exclusions()->isShowingPicker());
    EXPECT_TRUE(ui.isShown("appSearch"));
    EXPECT_EQ(texts("pickerRowName"), (QStringList{"Calendar", "Files", "Text Editor", "Web Browser"}));
    ui.screenshots("PreferencesView-appPicker");
    ui.typeText("FIL");
    EXPECT_EQ(texts("pickerRowName"), QStringList{"Files"});
    ui.typeText("x");
    EXPECT_TRUE(ui.isShown("pickerEmptyState"));
    EXPECT_EQ(ui.text("pickerEmptyText"), "No apps match 'FILx'");
    ui.screenshots("PreferencesView-appPicker-noMatch");
    ui.click("searchClearButton");
    ui.click(ui.items("pickerRow").at(1));
    EXPECT_FALSE(model.exclusions()->isShowingPicker());
    EXPECT_TRUE(settings.excludedAppBundleIDs().contains("org.gnome.Nautilus.desktop"));
    EXPECT_EQ(texts("chipName"), (QStringList{"Music", "Files", "Terminal"}));
}

TEST_F(PreferencesViewTest, AnApplicationWhoseEntryNamesNoIconShowsTheIconOfItsIdentifier) {
    SimulatedDesktop::InstalledApp notes;
    notes.bundleIdentifier = "org.example.Notes.desktop";
    notes.name = "Notes";
    desktop().installApplication(notes);
    show();
    ui.item("generalTab")->setProperty("contentY", 120);
    ui.settle();
    ui.click("addAppButton");
    const QStringList names = texts("pickerRowName");
    ASSERT_TRUE(names.contains("Notes"));
    QStringList withFallback;
    const QList<QQuickItem*> fallbacks = ui.items("pickerFallbackIcon");
    for (qsizetype i = 0; i < fallbacks.size() && i < names.size(); ++i) {
        if (fallbacks.at(i)->isVisible()) {
            withFallback << names.at(i);
        }
    }
    EXPECT_EQ(withFallback, QStringList{"Notes"});
    ui.screenshots("PreferencesView-appPicker-fallbackIcon");
}

TEST_F(PreferencesViewTest, AppearanceTabSwitchesTheTheme) {
    show();
    select(Tab::appearance);
    EXPECT_TRUE(ui.isShown("appearanceTab"));
    EXPECT_FALSE(ui.isShown("generalTab"));
    EXPECT_EQ(model.selectedTab(), Tab::appearance);
    ui.screenshots("PreferencesView-appearance");
    ui.click(ui.items("segment").at(2));
    EXPECT_EQ(settings.appTheme(), AppTheme::dark);
    EXPECT_TRUE(Theme::shared().dark());
    ui.click(ui.items("segment").at(1));
    EXPECT_FALSE(Theme::shared().dark());
}

TEST_F(PreferencesViewTest, DataTabReportsTheLastOperation) {
    show();
    select(Tab::data);
    EXPECT_FALSE(ui.isShown("dataStatus"));
    prompts().queueAlertAnswer(1);
    ui.click("deleteAllButton");
    EXPECT_EQ(prompts().shownAlerts().last().messageText, "Delete All Workspaces");
    EXPECT_EQ(store.workspaces().size(), 1);
    prompts().queuePanelAnswer(apps.filePath("Workspaces.json"));
    ui.click("exportButton");
    EXPECT_EQ(ui.text("dataStatus"), "Workspaces exported successfully");
    ui.screenshots("PreferencesView-data");
    select(Tab::about);
    select(Tab::data);
    EXPECT_FALSE(ui.isShown("dataStatus"));
}

TEST_F(PreferencesViewTest, SupportAndAboutTabs) {
    show();
    select(Tab::support);
    EXPECT_EQ(texts("settingTitle"), (QStringList{"FAQ", "Report", "Send"}));
    EXPECT_FALSE(ui.item("attachLogSwitch")->isEnabled()) << "no log yet";
    ui.hover("attachLogLine");
    ui.screenshots("PreferencesView-support");
    ui.click("feedbackButton");
    EXPECT_EQ(prompts().openedUrls().last().scheme(), "mailto");

    select(Tab::about);
    EXPECT_EQ(ui.text("versionText"), "Version 1.0.0");
    EXPECT_EQ(ui.text("buildText"), "Build 100");
    ui.click("websiteLink");
    EXPECT_EQ(prompts().openedUrls().last(), QUrl("https://ordella.app"));
    ui.screenshots("PreferencesView-about");
}

TEST_F(PreferencesViewTest, UpdateCardFollowsTheUpdater) {
    AutoUpdateManager::Configuration refused;
    refused.versionCheckURL = "http://example.org/plain";
    AutoUpdateManager failing(refused);
    PreferencesViewModel failingModel{store, settings, failing};
    ui.show("PreferencesView", {{"preferences", QVariant::fromValue(&failingModel)}});
    failingModel.appear();
    scrollDown();
    ui.click("updateActionButton");
    EXPECT_TRUE(ui.isShown("updateErrorRow"));
    EXPECT_EQ(ui.text("updateErrorMessage"), "Invalid version check URL");
    scrollDown();
    ui.screenshots("PreferencesView-updateError");

    // A build without an update address says where its updates come from, with no control.
    AutoUpdateManager none{AutoUpdateManager::Configuration{}};
    PreferencesViewModel noneModel{store, settings, none};
    ui.show("PreferencesView", {{"preferences", QVariant::fromValue(&noneModel)}});
    noneModel.appear();
    scrollDown();
    EXPECT_TRUE(texts("settingTitle").contains("Where Updates Come From"));
    EXPECT_FALSE(ui.isShown("updateActionButton"));
    EXPECT_FALSE(ui.isShown("updateProgress"));
    EXPECT_FALSE(ui.isShown("updateErrorRow"));
    ui.screenshots("PreferencesView-updatesFromInstaller");
}

TEST_F(PreferencesViewTest, OpeningTheSettingsAgainLeavesOneFreshWindow) {
    QQmlEngine engine;
    std::unique_ptr<PreferencesWindowController> holder;
    PreferencesWindowController& first = PreferencesWindowController::showPreferences(engine, store, holder);
    EXPECT_TRUE(first.window().isVisible());
    EXPECT_EQ(first.window().title(), "Settings");
    EXPECT_EQ(first.window().minimumSize(), QSize(620, 420));
    EXPECT_EQ(first.window().maximumSize(), QSize(620, 420));
    EXPECT_FALSE(first.window().flags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(first.model().animateIn()) << "the window came on screen";
    first.model().selectTab(Tab::about);
    first.close();
    PreferencesWindowController& second = PreferencesWindowController::showPreferences(engine, store, holder);
    EXPECT_EQ(PreferencesWindowController::shared(), &second);
    EXPECT_TRUE(second.window().isVisible());
    EXPECT_EQ(second.model().selectedTab(), Tab::general);
    PreferencesWindowController::showPreferences(engine, store, holder);
    EXPECT_EQ(PreferencesWindowController::shared(), holder.get());

    // Escape closes an open popover first, then the window.
    QQuickView& window = holder->window();
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.isActive());
    holder->model().exclusions()->setShowingPicker(true);
    QCoreApplication::processEvents();
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(holder->model().exclusions()->isShowingPicker());
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
