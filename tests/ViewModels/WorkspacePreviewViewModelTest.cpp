#include "ViewModels/WorkspacePreviewViewModel.h"

#include "Support/SnapshotBuilders.h"
#include "Support/TestPlatform.h"

#include <gtest/gtest.h>

using namespace Snapshots;

namespace {

QStringList bundleIDs(const Workspace& w) {
    QStringList ids;
    for (const AppSnapshot& a : w.appSnapshots) {
        ids << a.bundleIdentifier;
    }
    return ids;
}

QStringList urls(const WindowSnapshot& w) {
    QStringList list;
    for (const TabSnapshot& t : w.tabSnapshots) {
        list << t.url;
    }
    return list;
}

const QString chrome = "com.google.Chrome";
const QString spotify = "com.spotify.client";
const QString editor = "com.example.TextEdit";

} // namespace

TEST(WorkspacePreviewViewModel, CaptureShowsProgressAndStartsAppOnlyApplications) {
    TestPlatform tp;
    Workspace captured =
        workspace({app(spotify, {window("Song", "file:///a.mp3")}), app(editor, {window("x")}),
                   app(chrome, {window("t", std::nullopt, {tab("https://a.example")})})});
    WorkspacePreviewViewModel model(fixed(captured));
    QList<bool> capturingSeen;
    QObject::connect(&model, &WorkspacePreviewViewModel::isCapturingChanged,
                     [&] { capturingSeen << model.isCapturing(); });
    ASSERT_TRUE(tp.clock().runUntilDone(model.capture()));
    EXPECT_EQ(capturingSeen, (QList<bool>{true, false}));
    ASSERT_TRUE(model.capturedWorkspace());
    EXPECT_EQ(model.capturedWorkspace()->name, "preview");
    EXPECT_EQ(model.appOnlyModeIDs(), (QSet<QUuid>{captured.appSnapshots[0].id}));
    EXPECT_FALSE(model.captureError());
    // The document application in app-only mode loses its windows; the others keep theirs.
    const auto filtered = model.filteredWorkspace("  Music  ");
    ASSERT_TRUE(filtered);
    EXPECT_EQ(filtered->name, "  Music  ");
    EXPECT_TRUE(filtered->appSnapshots[0].windowSnapshots.isEmpty());
    EXPECT_EQ(filtered->appSnapshots[1].windowSnapshots.size(), 1);
    EXPECT_EQ(filtered->id, captured.id);
}

TEST(WorkspacePreviewViewModel, FailedCaptureLeavesNothingToSave) {
    TestPlatform tp;
    WorkspacePreviewViewModel model(fixed(std::nullopt));
    ASSERT_TRUE(tp.clock().runUntilDone(model.capture()));
    EXPECT_EQ(model.captureError(), std::optional<QString>("Failed to capture workspace"));
    EXPECT_FALSE(model.capturedWorkspace());
    EXPECT_FALSE(model.hasAnyAppsToSave());
    EXPECT_FALSE(model.filteredWorkspace("x"));
    EXPECT_EQ(model.summaryText(), "");
    model.deselectAllApps();
    EXPECT_TRUE(model.ignoredAppIDs().isEmpty());
}

TEST(WorkspacePreviewViewModel, AppOnlyModeOnlyAffectsDocumentApplications) {
    TestPlatform tp;
    Workspace captured = workspace({app(spotify, {window("Player")}),
                                    app(chrome, {window("t", "file:///x", {tab("https://a")})}),
                                    app(editor, {window("Doc", "file:///doc.txt"), window("Untitled", "")})});
    WorkspacePreviewViewModel model(fixed(captured));
    ASSERT_TRUE(tp.clock().runUntilDone(model.capture()));
    model.toggleRestoreFilesMode(captured.appSnapshots[1].id);
    model.toggleRestoreFilesMode(captured.appSnapshots[2].id);
    const auto filtered = *model.filteredWorkspace("w");
    EXPECT_EQ(filtered.appSnapshots[0].windowSnapshots.size(), 1); // no document window
    EXPECT_EQ(filtered.appSnapshots[1].windowSnapshots.size(), 1); // a browser never goes app-only
    EXPECT_EQ(filtered.appSnapshots[1].windowSnapshots[0].tabSnapshots.size(), 1);
    EXPECT_TRUE(filtered.appSnapshots[2].windowSnapshots.isEmpty());
}

TEST(WorkspacePreviewViewModel, SelectionAndSummary) {
    TestPlatform tp;
    Workspace captured =
        workspace({app(editor, {window("a"), window("b")}),
                   app(chrome, {window("t", std::nullopt, {tab("https://a"), tab("https://b")})})});
    WorkspacePreviewViewModel model(fixed(captured));
    ASSERT_TRUE(tp.clock().runUntilDone(model.capture()));
    EXPECT_EQ(model.summaryText(), "2 apps, 3 windows, 2 tabs");

    int windowSignals = 0;
    QObject::connect(&model, &WorkspacePreviewViewModel::ignoredWindowIDsChanged, [&] { ++windowSignals; });
    const QUuid firstWindow = captured.appSnapshots[0].windowSnapshots[0].id;
    model.toggleWindowIgnore(firstWindow);
    EXPECT_EQ(model.summaryText(), "2 apps, 3 windows, 2 tabs"); // unticked windows still count
    model.toggleWindowIgnore(firstWindow);
    EXPECT_TRUE(model.ignoredWindowIDs().isEmpty());
    EXPECT_EQ(windowSignals, 2);

    model.toggleTabIgnore(captured.appSnapshots[1].windowSnapshots[0].tabSnapshots[0].id);
    EXPECT_EQ(model.summaryText(), "2 apps, 3 windows, 1 tab");
    model.toggleAppIgnore(captured.appSnapshots[1].id);
    EXPECT_EQ(model.summaryText(), "1 app, 2 windows");

    int appSignals = 0;
    QObject::connect(&model, &WorkspacePreviewViewModel::ignoredAppIDsChanged, [&] { ++appSignals; });
    model.deselectAllApps();
    EXPECT_EQ(appSignals, 1); // only the one application not yet unticked
    EXPECT_FALSE(model.hasAnyAppsToSave());
    EXPECT_EQ(model.summaryText(), "");
    model.selectAllApps();
    EXPECT_TRUE(model.hasAnyAppsToSave());
    EXPECT_EQ(model.summaryText(), "2 apps, 3 windows, 1 tab");

    model.toggleWindowIgnore(firstWindow);
    model.toggleWindowIgnore(captured.appSnapshots[0].windowSnapshots[1].id);
    const auto filtered = *model.filteredWorkspace("w");
    EXPECT_TRUE(filtered.appSnapshots[0].windowSnapshots.isEmpty()); // still saved, without windows
    EXPECT_EQ(urls(filtered.appSnapshots[1].windowSnapshots[0]), QStringList{"https://b"});
}

TEST(WorkspacePreviewViewModel, SummaryCountsSingulars) {
    TestPlatform tp;
    WorkspacePreviewViewModel model(fixed(workspace({app(editor, {window("a")})})));
    ASSERT_TRUE(tp.clock().runUntilDone(model.capture()));
    EXPECT_EQ(model.summaryText(), "1 app, 1 window");
}

TEST(WorkspacePreviewViewModel, UpdateMergesBrowserWindowsByTheirTabs) {
    TestPlatform tp;
    AppSnapshot savedBrowser =
        app(chrome, {window("saved", std::nullopt, {tab("https://A.example/"), tab("https://b")}),
                     window("gone", std::nullopt, {tab("https://closed")})});
    AppSnapshot savedEditor = app(editor, {window("One", "file:///one"), window("Two", "file:///two")});
    AppSnapshot savedNotRunning = app("com.example.Old", {window("old")});
    Workspace saved = workspace({savedNotRunning, savedBrowser, savedEditor});
    saved.name = "Work";

    WindowSnapshot w1 = window("W1", std::nullopt, {tab("https://b"), tab("https://c")});
    WindowSnapshot w2 =
        window("W2", std::nullopt, {tab("https://a.example"), tab("https://b"), tab("https://d")});
    w2.frame = {100, 100, 1000, 700};
    w2.isMinimized = true;
    WindowSnapshot empty = window("blank");
    AppSnapshot freshBrowser = app(chrome, {w1, w2, empty});
    freshBrowser.isHidden = true;
    WindowSnapshot two = window("Two", "file:///two");
    two.isMinimized = true;
    AppSnapshot freshEditor =
        app(editor, {window("One", "file:///one"), two, window("Three", "file:///three")});
    AppSnapshot newMusic = app(spotify, {window("Song", "file:///s.mp3")});
    Workspace fresh = workspace({freshEditor, newMusic, freshBrowser});
    fresh.displaySnapshots[0].displayID = 7;

    WorkspacePreviewViewModel model(fixed(fresh));
    ASSERT_TRUE(tp.clock().runUntilDone(model.captureForUpdate(saved)));
    ASSERT_TRUE(model.capturedWorkspace());
    const Workspace& merged = *model.capturedWorkspace();
    EXPECT_EQ(merged.name, "Work");
    EXPECT_NE(merged.id, saved.id);
    EXPECT_EQ(merged.displaySnapshots[0].displayID, 7u);
    // Running applications in today's stacking order, the one not running last.
    EXPECT_EQ(bundleIDs(merged), (QStringList{editor, spotify, chrome, "com.example.Old"}));
    EXPECT_EQ(model.savedAppIDs(), (QSet<QUuid>{savedNotRunning.id, savedBrowser.id, savedEditor.id}));
    EXPECT_EQ(model.ignoredAppIDs(), (QSet<QUuid>{newMusic.id}));
    EXPECT_EQ(model.appOnlyModeIDs(), (QSet<QUuid>{newMusic.id}));

    const AppSnapshot& browser = merged.appSnapshots[2];
    EXPECT_EQ(browser.id, savedBrowser.id);
    EXPECT_TRUE(browser.isHidden);
    ASSERT_EQ(browser.windowSnapshots.size(), 3);
    // The saved window pairs with W2 (two shared addresses), keeps its tabs and gains "d".
    EXPECT_EQ(browser.windowSnapshots[0].id, savedBrowser.windowSnapshots[0].id);
    EXPECT_EQ(urls(browser.windowSnapshots[0]),
              (QStringList{"https://A.example/", "https://b", "https://d"}));
    EXPECT_EQ(browser.windowSnapshots[0].frame, w2.frame);
    EXPECT_TRUE(browser.windowSnapshots[0].isMinimized);
    EXPECT_EQ(browser.windowSnapshots[1], savedBrowser.windowSnapshots[1]); // all its tabs closed: kept
    EXPECT_EQ(browser.windowSnapshots[2], w1); // new window; the empty one dropped

    const AppSnapshot& edited = merged.appSnapshots[0];
    EXPECT_EQ(edited.id, savedEditor.id);
    ASSERT_EQ(edited.windowSnapshots.size(), 2); // "Three" is not added
    EXPECT_FALSE(edited.windowSnapshots[0].isMinimized);
    EXPECT_TRUE(edited.windowSnapshots[1].isMinimized);
    EXPECT_EQ(edited.windowSnapshots[1].frame, savedEditor.windowSnapshots[1].frame);
    EXPECT_EQ(merged.appSnapshots[3], savedNotRunning);
}

TEST(WorkspacePreviewViewModel, UpdatePairsTheFirstOfEquallyGoodBrowserWindows) {
    TestPlatform tp;
    AppSnapshot savedBrowser = app(chrome, {window("s", std::nullopt, {tab("https://a"), tab("https://b")})});
    WindowSnapshot first = window("1", std::nullopt, {tab("https://a")});
    WindowSnapshot second = window("2", std::nullopt, {tab("https://b")});
    second.frame = {5, 5, 500, 500};
    WorkspacePreviewViewModel model(fixed(workspace({app(chrome, {first, second})})));
    ASSERT_TRUE(tp.clock().runUntilDone(model.captureForUpdate(workspace({savedBrowser}))));
    const AppSnapshot& browser = model.capturedWorkspace()->appSnapshots[0];
    ASSERT_EQ(browser.windowSnapshots.size(), 2);
    EXPECT_EQ(browser.windowSnapshots[0].frame, first.frame);
    EXPECT_EQ(browser.windowSnapshots[1], second);
}

// An update keeps the profile each saved browser window was saved in, even where the window it
// pairs with shows another; a window saved before profiles were recorded takes today's, and a new
// window comes with its own.
TEST(WorkspacePreviewViewModel, UpdateKeepsEachBrowserWindowsProfile) {
    TestPlatform tp;
    const BrowserProfile work{QStringLiteral("/home/me/work"), QStringLiteral("Default")};
    const BrowserProfile play{QStringLiteral("/home/me/play"), std::nullopt};
    WindowSnapshot savedWork = window("w", std::nullopt, {tab("https://work")});
    savedWork.browserProfile = work;
    const WindowSnapshot savedOld = window("o", std::nullopt, {tab("https://old")});
    WindowSnapshot todayWork = window("w", std::nullopt, {tab("https://work"), tab("https://more")});
    todayWork.browserProfile = play;
    WindowSnapshot todayOld = window("o", std::nullopt, {tab("https://old")});
    todayOld.browserProfile = play;
    WindowSnapshot todayNew = window("n", std::nullopt, {tab("https://new")});
    todayNew.browserProfile = work;
    WorkspacePreviewViewModel model(fixed(workspace({app(chrome, {todayNew, todayOld, todayWork})})));
    ASSERT_TRUE(
        tp.clock().runUntilDone(model.captureForUpdate(workspace({app(chrome, {savedWork, savedOld})}))));
    const AppSnapshot& browser = model.capturedWorkspace()->appSnapshots[0];
    ASSERT_EQ(browser.windowSnapshots.size(), 3);
    EXPECT_EQ(urls(browser.windowSnapshots[0]), (QStringList{"https://work", "https://more"}));
    EXPECT_EQ(browser.windowSnapshots[0].browserProfile, work);
    EXPECT_EQ(browser.windowSnapshots[1].browserProfile, play);
    EXPECT_EQ(browser.windowSnapshots[2].browserProfile, work);
    // And the kept profile is what is saved.
    const std::optional<Workspace> kept = model.filteredWorkspace(QStringLiteral("Work"));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->appSnapshots[0].windowSnapshots[0].browserProfile, work);
}

// A fresh tab that differs from a saved one only by letter case or trailing slashes is the same tab.
TEST(WorkspacePreviewViewModel, UpdateKnowsATabByItsNormalisedAddress) {
    TestPlatform tp;
    const AppSnapshot savedBrowser =
        app(chrome, {window("s", std::nullopt, {tab("https://case.example"), tab("https://slash.example")})});
    const WindowSnapshot today = window(
        "t", std::nullopt, {tab("https://CASE.example"), tab("https://slash.example//"), tab("https://new")});
    WorkspacePreviewViewModel model(fixed(workspace({app(chrome, {today})})));
    ASSERT_TRUE(tp.clock().runUntilDone(model.captureForUpdate(workspace({savedBrowser}))));
    const AppSnapshot& browser = model.capturedWorkspace()->appSnapshots[0];
    ASSERT_EQ(browser.windowSnapshots.size(), 1);
    EXPECT_EQ(urls(browser.windowSnapshots[0]),
              (QStringList{"https://case.example", "https://slash.example", "https://new"}));
}

// An ordinary application takes today's hidden flag, and each saved window the minimised state of
// the fresh window with its document, else its title, else (with neither) the first fresh window.
TEST(WorkspacePreviewViewModel, UpdateOfAnOrdinaryApplicationTakesTodaysState) {
    TestPlatform tp;
    const AppSnapshot saved = app(editor, {window("Two", "file:///gone"), window("Two"), window()});
    WindowSnapshot first = window("One", "file:///one");
    first.isMinimized = true;
    AppSnapshot fresh = app(editor, {first, window("Two", "file:///two")});
    fresh.isHidden = true;
    WorkspacePreviewViewModel model(fixed(workspace({fresh})));
    ASSERT_TRUE(tp.clock().runUntilDone(model.captureForUpdate(workspace({saved}))));
    const AppSnapshot& merged = model.capturedWorkspace()->appSnapshots[0];
    EXPECT_TRUE(merged.isHidden);
    ASSERT_EQ(merged.windowSnapshots.size(), 3);
    EXPECT_FALSE(merged.windowSnapshots[0].isMinimized); // by title: "Two"
    EXPECT_FALSE(merged.windowSnapshots[1].isMinimized); // by title: "Two"
    EXPECT_TRUE(merged.windowSnapshots[2].isMinimized);  // the first fresh window
    EXPECT_EQ(merged.windowSnapshots[0].documentURL, std::optional<QString>("file:///gone"));
}

TEST(WorkspacePreviewViewModel, FailedUpdateCaptureKeepsThePreviousState) {
    TestPlatform tp;
    WorkspacePreviewViewModel model(fixed(std::nullopt));
    ASSERT_TRUE(tp.clock().runUntilDone(model.captureForUpdate(workspace({app(editor)}))));
    EXPECT_EQ(model.captureError(), std::optional<QString>("Failed to capture workspace"));
    EXPECT_FALSE(model.capturedWorkspace());
    EXPECT_TRUE(model.savedAppIDs().isEmpty());
    EXPECT_FALSE(model.isCapturing());
}

TEST(WorkspacePreviewViewModel, ModelClosedDuringCaptureIsNotTouched) {
    TestPlatform tp;
    auto* model = new WorkspacePreviewViewModel(fixed(workspace({app(editor)})));
    auto task = model->capture();
    delete model; // the capture finishes after the panel is gone
    EXPECT_TRUE(tp.clock().runUntilDone(std::move(task)));
}
