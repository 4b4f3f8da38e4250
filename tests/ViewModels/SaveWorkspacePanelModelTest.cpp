#include "ViewModels/SaveWorkspacePanelModel.h"

#include "Platform/Simulated/SimulatedScene.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/ScriptedDesktop.h"
#include "ViewModels/AppSelectionRowModel.h"
#include "ViewModels/BrowserSelectionRowModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using State = CapturePanelModel::CaptureState;

// What the window's save action does with the panel's hand-over: the selection becomes the stored
// workspace.
struct SavedBy {
    explicit SavedBy(SaveWorkspacePanelModel& panel, WorkspaceStore& store) {
        QObject::connect(&panel, &SaveWorkspacePanelModel::saveRequested,
                         [this, &store](const QString& name, WorkspacePreviewViewModel* preview) {
                             names << name;
                             if (std::optional<Workspace> w = preview->filteredWorkspace(name)) {
                                 store.save(*w);
                             }
                         });
    }
    QStringList names;
};

class SavePanel : public SimulatedDesktopFixture {
protected:
    // Shows the panel and lets its capture finish.
    void show(SaveWorkspacePanelModel& panel) {
        panel.appeared();
        ASSERT_TRUE(clock().runUntil([&] { return panel.captureState() != State::capturing; }))
            << clock().lastFailure().toStdString();
    }
    const AppSnapshot& app(SaveWorkspacePanelModel& panel, const QString& bundleID) {
        for (const AppSnapshot& a : panel.preview()->capturedWorkspace()->appSnapshots) {
            if (a.bundleIdentifier == bundleID) {
                return a;
            }
        }
        ADD_FAILURE() << bundleID.toStdString();
        return panel.preview()->capturedWorkspace()->appSnapshots.first();
    }
};

} // namespace

TEST(SaveWorkspacePanelName, TrimsSpacesAndTabsOnly) {
    const QList<std::pair<QString, QString>> rows = {
        {"  Deep work  ", "Deep work"},
        {"\tCode\t", "Code"},
        {QString::fromUtf8("\u00a0\u2003Night\u3000"), "Night"},
        {" \t \u00a0", ""},
        {"", ""},
        {"\nMail\n", "\nMail\n"}, // line breaks are not blanks
    };
    for (const auto& [typed, trimmed] : rows) {
        EXPECT_EQ(SaveWorkspacePanelModel::trimmedName(typed), trimmed) << typed.toStdString();
    }
}

TEST_F(SavePanel, CaptureAreaFollowsTheCapture) {
    struct Row {
        const char* what;
        bool trusted;
        bool scene;
        State state;
        QString error;
        bool selectionButton;
    };
    const QList<Row> rows = {
        {"fails without access to windows", false, true, State::failed, "Failed to capture workspace", false},
        {"finds nothing", true, false, State::empty, "", false},
        {"the demo scene", true, true, State::captured, "", true},
    };
    for (const Row& row : rows) {
        ScriptedDesktop desktop;
        if (row.scene) {
            desktop.loadScene(SimulatedScene::demoScenePath());
        } else {
            desktop.addScreen();
        }
        desktop.desktop().setTrusted(row.trusted);
        SaveWorkspacePanelModel panel;
        panel.setName("Work");
        EXPECT_EQ(panel.captureState(), State::notStarted);
        QList<State> states;
        QList<bool> savable;
        QObject::connect(&panel, &CapturePanelModel::captureStateChanged, [&] {
            states << panel.captureState();
            savable << panel.canSave();
        });
        panel.appeared();
        ASSERT_TRUE(desktop.clock().runUntil([&] { return panel.captureState() == row.state; })) << row.what;
        EXPECT_EQ(states.first(), State::capturing) << row.what;
        EXPECT_FALSE(savable.first()) << row.what << " while capturing";
        desktop.clock().drainEvents();
        EXPECT_EQ(panel.captureState(), row.state) << row.what;
        EXPECT_EQ(panel.captureError(), row.error) << row.what;
        EXPECT_EQ(panel.showsSelectionButton(), row.selectionButton) << row.what;
        EXPECT_EQ(panel.canSave(), row.selectionButton) << row.what;
        EXPECT_EQ(panel.summaryText().isEmpty(), !row.selectionButton) << row.what;
    }
}

TEST_F(SavePanel, SaveNeedsANameAndATickedApplication) {
    loadScene(SimulatedScene::demoScenePath());
    SaveWorkspacePanelModel panel;
    int saves = 0;
    QObject::connect(&panel, &SaveWorkspacePanelModel::saveRequested, [&] { ++saves; });
    panel.save();
    panel.setName("Work");
    panel.save(); // nothing captured yet
    EXPECT_EQ(saves, 0);
    show(panel);

    panel.setName(" \t ");
    EXPECT_FALSE(panel.canSave());
    panel.save();
    EXPECT_EQ(saves, 0);

    panel.setName("Work");
    EXPECT_EQ(panel.selectionButtonTitle(), "Deselect All");
    panel.toggleSelectAll();
    EXPECT_EQ(panel.selectionButtonTitle(), "Select All");
    EXPECT_FALSE(panel.canSave());
    panel.save();
    EXPECT_EQ(saves, 0);

    panel.preview()->toggleAppIgnore(app(panel, "com.apple.Terminal").id);
    EXPECT_EQ(panel.selectionButtonTitle(), "Select All"); // the others are still unticked
    EXPECT_TRUE(panel.canSave());
    panel.save();
    EXPECT_EQ(saves, 1);
}

TEST_F(SavePanel, SelectAllLeavesUntickedWindowsAndTabsAlone) {
    loadScene(SimulatedScene::demoScenePath());
    SaveWorkspacePanelModel panel;
    show(panel);
    const AppSnapshot terminal = app(panel, "com.apple.Terminal");
    const AppSnapshot chrome = app(panel, "com.google.Chrome");
    WorkspacePreviewViewModel& preview = *panel.preview();
    // The terminal's inspector is no window of its own in a capture: its main window is the one.
    ASSERT_EQ(terminal.windowSnapshots.size(), 1);
    ASSERT_FALSE(chrome.windowSnapshots.isEmpty() || chrome.windowSnapshots[0].tabSnapshots.isEmpty());
    preview.toggleWindowIgnore(terminal.windowSnapshots[0].id);
    preview.toggleTabIgnore(chrome.windowSnapshots[0].tabSnapshots[0].id);
    preview.toggleAppIgnore(terminal.id);
    panel.toggleSelectAll(); // one unticked: ticks all
    EXPECT_TRUE(preview.ignoredAppIDs().isEmpty());
    EXPECT_EQ(preview.ignoredWindowIDs().size(), 1);
    EXPECT_EQ(preview.ignoredTabIDs().size(), 1);
    panel.toggleSelectAll();
    EXPECT_EQ(preview.ignoredAppIDs().size(), preview.capturedWorkspace()->appSnapshots.size());
    EXPECT_EQ(preview.ignoredWindowIDs().size(), 1);
}

TEST_F(SavePanel, FocusesTheNameNowAndAMomentLaterAndCapturesOnce) {
    loadScene(SimulatedScene::demoScenePath());
    SaveWorkspacePanelModel panel;
    QList<qint64> focusedAt;
    QObject::connect(&panel, &SaveWorkspacePanelModel::focusRequested, [&] {
        focusedAt << std::chrono::duration_cast<std::chrono::milliseconds>(clock().elapsed()).count();
    });
    int captures = 0;
    QObject::connect(panel.preview(), &WorkspacePreviewViewModel::isCapturingChanged,
                     [&] { captures += panel.preview()->isCapturing() ? 1 : 0; });
    panel.appeared();
    ASSERT_TRUE(clock().runUntil([&] { return focusedAt.size() == 2; }));
    EXPECT_EQ(focusedAt, (QList<qint64>{0, 100}));
    show(panel); // shown again: focused again, not captured again
    EXPECT_EQ(focusedAt.size(), 3);
    EXPECT_EQ(captures, 1);
}

TEST_F(SavePanel, APanelClosedDuringItsCaptureLeavesNothingBehind) {
    loadScene(SimulatedScene::demoScenePath());
    auto* panel = new SaveWorkspacePanelModel();
    panel->appeared();
    delete panel;
    clock().advanceBy(std::chrono::seconds(5));
    EXPECT_EQ(clock().pendingCount(), 0);
}

// One row per captured application, in the capture's order: browsers list their tabs, the others
// their windows; only a hidden application carries a badge, and an application on the app-only
// list starts without its files.
TEST_F(SavePanel, RowsFollowTheCapture) {
    loadScene(SimulatedScene::demoScenePath());
    addApp("com.spotify.client", {QRectF(30, 30, 500, 400)}, {"Focus mix"});
    SaveWorkspacePanelModel panel;
    int rebuilt = 0;
    QObject::connect(&panel, &CapturePanelModel::rowsChanged, [&] { ++rebuilt; });
    EXPECT_TRUE(panel.rows().isEmpty());
    show(panel);
    EXPECT_EQ(rebuilt, 1);
    const QList<AppSnapshot>& apps = panel.preview()->capturedWorkspace()->appSnapshots;
    ASSERT_EQ(panel.rows().size(), apps.size());
    ASSERT_EQ(panel.rowList().size(), apps.size());
    for (qsizetype i = 0; i < apps.size(); ++i) {
        const SelectionRowModel* row = panel.rows()[i];
        const AppSnapshot& app = apps[i];
        EXPECT_EQ(row->appSnapshot().id, app.id);
        const bool browser = app.bundleIdentifier == "com.google.Chrome";
        EXPECT_EQ(row->isBrowser(), browser) << app.bundleIdentifier.toStdString();
        EXPECT_EQ(qobject_cast<const BrowserSelectionRowModel*>(row) != nullptr, browser);
        EXPECT_EQ(row->badge(), app.isHidden ? PreviewBadge::Kind::Hidden : PreviewBadge::Kind::None)
            << app.bundleIdentifier.toStdString();
    }
    const auto music = std::find_if(panel.rows().begin(), panel.rows().end(), [](SelectionRowModel* r) {
        return r->bundleIdentifier() == "com.spotify.client";
    });
    ASSERT_NE(music, panel.rows().end());
    const auto* musicRow = qobject_cast<AppSelectionRowModel*>(*music);
    ASSERT_NE(musicRow, nullptr);
    EXPECT_TRUE(musicRow->isAppOnlyExcluded());
    EXPECT_FALSE(musicRow->restoreFilesMode());

    // A row reads the model: unticking through the model shows in the row at once.
    SelectionRowModel* first = panel.rows().first();
    panel.preview()->toggleAppIgnore(first->appSnapshot().id);
    EXPECT_TRUE(first->isIgnored());
    first->toggleIgnore();
    EXPECT_FALSE(panel.preview()->ignoredAppIDs().contains(first->appSnapshot().id));
}

// The road of a save on the simulated desktop: what the user unticks and switches in the panel is
// exactly what the stored file holds.
TEST_F(SavePanel, TheSavedFileHoldsExactlyWhatWasTicked) {
    loadScene(SimulatedScene::demoScenePath());
    QTemporaryDir folder;
    WorkspaceStore store(folder.path());
    SaveWorkspacePanelModel panel;
    SavedBy window(panel, store);
    show(panel);
    WorkspacePreviewViewModel& preview = *panel.preview();
    const AppSnapshot editor = app(panel, "org.example.Editor");
    const AppSnapshot chrome = app(panel, "com.google.Chrome");
    const AppSnapshot terminal = app(panel, "com.apple.Terminal");
    const AppSnapshot finder = app(panel, "com.apple.finder");
    ASSERT_EQ(terminal.windowSnapshots.size(), 1);
    ASSERT_EQ(chrome.windowSnapshots.size(), 2);
    ASSERT_EQ(chrome.windowSnapshots[0].tabSnapshots.size(), 2);
    preview.toggleRestoreFilesMode(editor.id);                             // app only
    preview.toggleTabIgnore(chrome.windowSnapshots[0].tabSnapshots[1].id); // one tab
    preview.toggleWindowIgnore(chrome.windowSnapshots[1].id);              // one window
    preview.toggleAppIgnore(finder.id);                                    // one application
    panel.setName("  Deep work ");
    panel.save();
    ASSERT_EQ(window.names, QStringList{"Deep work"});
    ASSERT_EQ(store.workspaces().size(), 1);

    QFile file(store.filePath(store.workspaces().first().id));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(saved["name"].toString(), "Deep work");
    QHash<QString, QJsonObject> apps;
    for (const QJsonValue& a : saved["appSnapshots"].toArray()) {
        apps.insert(a["bundleIdentifier"].toString(), a.toObject());
    }
    const QStringList expected{"org.example.Editor", "com.google.Chrome", "com.apple.Terminal",
                               "org.example.Calendar"};
    EXPECT_EQ(QSet<QString>(apps.keyBegin(), apps.keyEnd()), QSet<QString>(expected.begin(), expected.end()));
    EXPECT_TRUE(apps["org.example.Editor"]["windowSnapshots"].toArray().isEmpty());
    const QJsonArray chromeWindows = apps["com.google.Chrome"]["windowSnapshots"].toArray();
    ASSERT_EQ(chromeWindows.size(), 1);
    const QJsonArray tabs = chromeWindows[0]["tabSnapshots"].toArray();
    ASSERT_EQ(tabs.size(), 1);
    EXPECT_EQ(tabs[0]["id"].toString(),
              chrome.windowSnapshots[0].tabSnapshots[0].id.toString(QUuid::WithoutBraces).toUpper());
    const QJsonArray terminalWindows = apps["com.apple.Terminal"]["windowSnapshots"].toArray();
    ASSERT_EQ(terminalWindows.size(), 1);
    EXPECT_EQ(terminalWindows[0]["windowTitle"].toString(), terminal.windowSnapshots[0].windowTitle.value());
    EXPECT_TRUE(apps["org.example.Calendar"]["isHidden"].toBool());
}
