#include "ViewModels/UpdateWorkspacePanelModel.h"

#include "Models/WorkspaceAppearance.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/ScriptedDesktop.h"
#include "ViewModels/SelectionRowModel.h"
#include "ViewModels/WorkspaceColors.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using State = CapturePanelModel::CaptureState;

// A desktop with an editor, a terminal and a browser, saved as "Work" in a store of the test's own.
class UpdatePanel : public SimulatedDesktopFixture {
protected:
    UpdatePanel() {
        addScreen();
        editor = addApp("org.example.Editor", {QRectF(0, 25, 800, 600), QRectF(40, 60, 800, 600)},
                        {"notes.txt", "todo.md"});
        terminal = addApp("com.apple.Terminal", {QRectF(100, 100, 700, 500)}, {"zsh"});
        chrome = addApp("com.google.Chrome", "Google Chrome");
        addBrowserWindow(chrome, {"https://example.com/a*", "https://example.com/b"});
        WorkspacePreviewViewModel capture;
        EXPECT_TRUE(clock().runUntilDone(capture.capture()));
        store.save(*capture.filteredWorkspace("Work"));
        saved = store.workspaces().first();
    }

    // Shows a panel for the saved workspace and lets its capture finish.
    void show(UpdateWorkspacePanelModel& panel) {
        panel.appeared();
        ASSERT_TRUE(clock().runUntil([&] { return panel.captureState() != State::capturing; }))
            << clock().lastFailure().toStdString();
    }
    QStringList bundleIDs(const UpdateWorkspacePanelModel& panel) const {
        QStringList ids;
        for (const AppSnapshot& a : panel.preview()->capturedWorkspace()->appSnapshots) {
            ids << a.bundleIdentifier;
        }
        return ids;
    }
    const AppSnapshot& app(const UpdateWorkspacePanelModel& panel, const QString& bundleID) const {
        for (const AppSnapshot& a : panel.preview()->capturedWorkspace()->appSnapshots) {
            if (a.bundleIdentifier == bundleID) {
                return a;
            }
        }
        ADD_FAILURE() << bundleID.toStdString();
        return panel.preview()->capturedWorkspace()->appSnapshots.first();
    }

    QTemporaryDir folder;
    WorkspaceStore store{folder.path()};
    Workspace saved;
    qint32 editor = 0;
    qint32 terminal = 0;
    qint32 chrome = 0;
};

} // namespace

TEST_F(UpdatePanel, NewApplicationsStartUntickedAndSelectAllTicksThem) {
    addApp("org.example.Notes", {QRectF(10, 10, 300, 300)});
    addApp("org.example.Music", {QRectF(20, 20, 300, 300)});
    UpdateWorkspacePanelModel panel(saved);
    EXPECT_EQ(panel.workspaceName(), "Work");
    EXPECT_EQ(panel.iconName(), saved.resolvedIconName());
    show(panel);
    ASSERT_EQ(panel.captureState(), State::captured);
    EXPECT_EQ(bundleIDs(panel).size(), 5);
    const WorkspacePreviewViewModel& preview = *panel.preview();
    EXPECT_EQ(preview.savedAppIDs().size(), 3);
    EXPECT_TRUE(preview.ignoredAppIDs().contains(app(panel, "org.example.Notes").id));
    EXPECT_TRUE(preview.ignoredAppIDs().contains(app(panel, "org.example.Music").id));
    EXPECT_EQ(panel.summaryText(), "3 apps, 4 windows, 2 tabs");
    EXPECT_EQ(panel.selectionButtonTitle(), "Select All");
    panel.toggleSelectAll();
    EXPECT_TRUE(preview.ignoredAppIDs().isEmpty());
    EXPECT_EQ(panel.selectionButtonTitle(), "Deselect All");
    panel.toggleSelectAll();
    EXPECT_FALSE(panel.canUpdate());
    int updates = 0;
    QObject::connect(&panel, &UpdateWorkspacePanelModel::updateRequested, [&] { ++updates; });
    panel.update();
    EXPECT_EQ(updates, 0);
}

// Every row has a badge: Saved for what the workspace held (running or not), New for what runs
// besides, Hidden before either for a hidden application.
TEST_F(UpdatePanel, EveryRowCarriesSavedNewOrHidden) {
    desktop().removeApplication(terminal);
    addApp("org.example.Notes", {QRectF(10, 10, 300, 300)});
    const qint32 music = addApp("org.example.Music", {QRectF(20, 20, 300, 300)});
    desktop().setHidden(music, true);
    UpdateWorkspacePanelModel panel(saved);
    show(panel);
    QHash<QString, PreviewBadge::Kind> badges;
    QHash<QString, bool> ticked;
    for (const SelectionRowModel* row : panel.rows()) {
        badges.insert(row->bundleIdentifier(), row->badge());
        ticked.insert(row->bundleIdentifier(), !row->isIgnored());
    }
    using K = PreviewBadge::Kind;
    const QHash<QString, K> expected{{"org.example.Editor", K::Saved},
                                     {"com.apple.Terminal", K::Saved},
                                     {"com.google.Chrome", K::Saved},
                                     {"org.example.Notes", K::New},
                                     {"org.example.Music", K::Hidden}};
    EXPECT_EQ(badges, expected);
    EXPECT_TRUE(ticked["com.apple.Terminal"]); // quit since the save, still ticked
    EXPECT_FALSE(ticked["org.example.Notes"]);
    EXPECT_FALSE(ticked["org.example.Music"]); // hidden and new: unticked all the same
}

TEST(UpdatePanelHeader, TakesTheWorkspaceColoursAsItsRowDoes) {
    Workspace w;
    w.name = "Work";
    for (const std::optional<qint64> index : {std::optional<qint64>(), std::optional<qint64>(33)}) {
        w.gradientIndex = index;
        const UpdateWorkspacePanelModel panel(w, new WorkspacePreviewViewModel());
        const qint64 pair = index ? 1 : WorkspaceAppearance::resolvedGradientIndex(std::nullopt, w.name);
        EXPECT_EQ(panel.gradientStart(), WorkspaceColors::startColor(pair));
        EXPECT_EQ(panel.gradientEnd(), WorkspaceColors::endColor(pair));
    }
}

TEST_F(UpdatePanel, AFailedCaptureOffersNoUpdate) {
    desktop().setTrusted(false);
    UpdateWorkspacePanelModel panel(saved);
    int updates = 0;
    QObject::connect(&panel, &UpdateWorkspacePanelModel::updateRequested, [&] { ++updates; });
    show(panel);
    EXPECT_EQ(panel.captureState(), State::failed);
    EXPECT_EQ(panel.captureError(), "Failed to capture workspace");
    EXPECT_FALSE(panel.canUpdate());
    panel.update();
    EXPECT_EQ(updates, 0);
    int cancels = 0;
    QObject::connect(&panel, &CapturePanelModel::cancelled, [&] { ++cancels; });
    panel.cancel();
    EXPECT_EQ(cancels, 1);
}

TEST_F(UpdatePanel, AnEmptyWorkspaceWithNothingRunningIsEmpty) {
    for (qint32 pid : {editor, terminal, chrome}) {
        desktop().removeApplication(pid);
    }
    Workspace empty = saved;
    empty.appSnapshots.clear();
    UpdateWorkspacePanelModel panel(empty);
    show(panel);
    EXPECT_EQ(panel.captureState(), State::empty);
    EXPECT_FALSE(panel.showsSelectionButton());
    EXPECT_EQ(panel.summaryText(), "");
    EXPECT_FALSE(panel.canUpdate());
}

// The road of an update on the simulated desktop: a quit application stays, a new one ticked in
// the panel joins, an unticked window and tab leave, and nothing but the snapshots changes.
TEST_F(UpdatePanel, TheUpdatedFileHoldsExactlyWhatWasTicked) {
    desktop().removeApplication(terminal);
    addApp("org.example.Notes", {QRectF(10, 10, 300, 300)}, {"Ideas"});
    addApp("org.example.Music", {QRectF(20, 20, 300, 300)});
    store.updateCloseOtherApps(saved, true);
    saved = store.workspaces().first();

    UpdateWorkspacePanelModel panel(saved);
    QObject::connect(&panel, &UpdateWorkspacePanelModel::updateRequested,
                     [this, &panel](WorkspacePreviewViewModel* preview) {
                         // What the window's update action does with the hand-over.
                         const std::optional<Workspace> w =
                             preview->filteredWorkspace(panel.workspace().name);
                         store.updateSnapshots(panel.workspace(), w->appSnapshots, w->displaySnapshots);
                     });
    show(panel);
    WorkspacePreviewViewModel& preview = *panel.preview();
    EXPECT_TRUE(preview.savedAppIDs().contains(app(panel, "com.apple.Terminal").id)); // quit, still saved
    preview.toggleAppIgnore(app(panel, "org.example.Notes").id);
    preview.toggleWindowIgnore(app(panel, "org.example.Editor").windowSnapshots[1].id);
    preview.toggleTabIgnore(app(panel, "com.google.Chrome").windowSnapshots[0].tabSnapshots[1].id);
    panel.update();

    QFile file(store.filePath(saved.id));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject updated = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(updated["name"].toString(), "Work");
    EXPECT_TRUE(updated["closeOtherApps"].toBool());
    QStringList apps;
    QHash<QString, QJsonArray> windows;
    for (const QJsonValue& a : updated["appSnapshots"].toArray()) {
        apps << a["bundleIdentifier"].toString();
        windows.insert(apps.last(), a["windowSnapshots"].toArray());
    }
    apps.sort();
    EXPECT_EQ(apps, (QStringList{"com.apple.Terminal", "com.google.Chrome", "org.example.Editor",
                                 "org.example.Notes"}));
    ASSERT_EQ(windows["org.example.Editor"].size(), 1);
    EXPECT_EQ(windows["org.example.Editor"].at(0)["windowTitle"].toString(), "notes.txt");
    EXPECT_EQ(windows["com.apple.Terminal"].size(), 1);
    EXPECT_EQ(windows["org.example.Notes"].at(0)["windowTitle"].toString(), "Ideas");
    const QJsonArray tabs = windows["com.google.Chrome"].at(0)["tabSnapshots"].toArray();
    ASSERT_EQ(tabs.size(), 1);
    EXPECT_EQ(tabs[0]["url"].toString(), "https://example.com/a");
}
