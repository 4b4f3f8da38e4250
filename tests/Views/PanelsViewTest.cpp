// The save and update panels in the menu-bar window on the demo desktop, from the footer button or
// the row's Update to the stored file, with every state of the capture area rendered.
#include "Platform/RunningApplications.h"
#include "Platform/Simulated/SimulatedScreenCapture.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/RowFixture.h"
#include "Support/Views/LocalFavicons.h"
#include "Support/Views/ViewHarness.h"
#include "ViewModels/PopoverModel.h"
#include "ViewModels/SelectionRowModel.h"
#include "ViewModels/StatusTexts.h"
#include "ViewModels/ThumbnailQueue.h"
#include "ViewModels/WorkspaceListModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

QQuickItem* descendant(QQuickItem* item, const QString& objectName, int index = 0) {
    QList<QQuickItem*> pending{item};
    while (!pending.isEmpty()) {
        QQuickItem* next = pending.takeFirst();
        if (next != item && next->objectName() == objectName && index-- == 0) {
            return next;
        }
        pending = next->childItems() + pending;
    }
    ADD_FAILURE() << "no " << objectName.toStdString();
    return nullptr;
}

QString idText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// The menu-bar window on the demo desktop, with window pictures and site icons.
class PanelsViewTest : public RowFixture {
protected:
    PanelsViewTest()
        : capture(desktop()) {
        capture.installInto(platform());
        settings.setWorkspaceSortOption("updatedAt");
    }

    void show() { ui.show("PopoverView", {{"popover", QVariant::fromValue(&model)}}, 450); }
    // Lets the capture, the pictures and the icons arrive, then the view settle.
    void load(const CapturePanelModel& panel) {
        ui.settle();
        EXPECT_TRUE(clock().runUntil([&] {
            return !panel.showsLoading() && ThumbnailQueue::pending() == 0 && !LocalFavicons::busy();
        })) << clock().lastFailure().toStdString();
        ui.settle();
    }
    // The row of the application of that name in the open panel, scrolled into view.
    QQuickItem* row(const CapturePanelModel& panel, const QString& bundleIdentifier) {
        for (qsizetype i = 0; i < panel.rows().size(); ++i) {
            if (panel.rows()[i]->bundleIdentifier() != bundleIdentifier) {
                continue;
            }
            QMetaObject::invokeMethod(ui.item("captureRows"), "positionViewAtIndex", Q_ARG(int, int(i)),
                                      Q_ARG(int, 4 /* ListView.Contain */));
            ui.settle();
            const QString name = panel.rows()[i]->appName();
            for (const QString& kind :
                 {QStringLiteral("appPreviewRow"), QStringLiteral("browserPreviewRow")}) {
                for (QQuickItem* r : ui.items(kind)) {
                    if (descendant(r, "appName")->property("text").toString() == name) {
                        return r;
                    }
                }
            }
        }
        ADD_FAILURE() << "no row for " << bundleIdentifier.toStdString();
        return nullptr;
    }
    void removeEveryApplication() {
        for (const RunningApplication& app : platform().runningApplications->runningApplications()) {
            desktop().removeApplication(app.processIdentifier);
        }
    }
    QJsonObject storedFile(const QUuid& id) {
        QFile file(store.filePath(id));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    static QHash<QString, QJsonObject> appsByIdentifier(const QJsonObject& workspace) {
        QHash<QString, QJsonObject> apps;
        for (const QJsonValue& a : workspace["appSnapshots"].toArray()) {
            apps.insert(a["bundleIdentifier"].toString(), a.toObject());
        }
        return apps;
    }
    static const AppSnapshot& app(const CapturePanelModel& panel, const QString& bundleIdentifier) {
        for (const AppSnapshot& a : panel.preview()->capturedWorkspace()->appSnapshots) {
            if (a.bundleIdentifier == bundleIdentifier) {
                return a;
            }
        }
        ADD_FAILURE() << bundleIdentifier.toStdString();
        return panel.preview()->capturedWorkspace()->appSnapshots.first();
    }
    bool saveEnabled(const QString& button) const { return ui.item(button)->isEnabled(); }

    SimulatedScreenCapture capture;
    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[](Workspace, bool) -> QCoro::Task<RestoreReport> { co_return {}; },
                                   &revertStates};
    SettingsManager settings;
    PopoverModel model{{&store, &coordinator, &revertStates, &hotkeys, nullptr, &settings, platform().clock}};
    ViewHarness ui;
    // After the harness, which turns every favicon service off.
    LocalFavicons favicons{clock()};
};

} // namespace

// The road of a save: the footer's button opens the panel, which captures the desktop; what the
// user unticks in the panel is exactly what the stored file leaves out.
TEST_F(PanelsViewTest, SaveFromTheFooterButtonToTheStoredFile) {
    show();
    EXPECT_EQ(ui.text("newWorkspaceTitle"), "Create New Workspace");
    ui.click("newWorkspaceButton");
    ASSERT_EQ(model.screen(), "save");
    SaveWorkspacePanelModel* panel = model.savePanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(ui.isShown("saveWorkspaceInlineView"));
    EXPECT_FALSE(ui.isShown("mainContent"));
    EXPECT_TRUE(ui.isShown("captureLoading"));
    EXPECT_EQ(ui.text("captureLoadingText"), "Capturing workspace...");
    EXPECT_EQ(ui.text("panelTitle"), "New Workspace");
    EXPECT_EQ(ui.text("panelSubtitle"), "Give your workspace a name to save it");
    EXPECT_TRUE(ui.item("nameField")->hasActiveFocus());
    EXPECT_FALSE(saveEnabled("saveButton"));
    ui.screenshots("SaveWorkspaceInlineView-capturing");

    load(*panel);
    ASSERT_TRUE(panel->showsList());
    EXPECT_FALSE(ui.isShown("captureLoading"));
    EXPECT_EQ(ui.text("listTitle"), "What will be saved");
    EXPECT_EQ(ui.text("summaryText"), panel->summaryText());
    EXPECT_EQ(ui.text("selectionButtonTitle"), "Deselect All");
    EXPECT_FALSE(saveEnabled("saveButton")); // no name yet
    ui.screenshots("SaveWorkspaceInlineView-captured");

    const AppSnapshot editor = app(*panel, "org.example.Editor");
    const AppSnapshot chrome = app(*panel, "com.google.Chrome");
    QStringList kept;
    for (const AppSnapshot& a : panel->preview()->capturedWorkspace()->appSnapshots) {
        if (a.bundleIdentifier != "com.apple.finder") {
            kept << a.bundleIdentifier;
        }
    }
    kept.sort();
    ASSERT_GE(kept.size(), 3);
    ui.click(descendant(row(*panel, "com.apple.finder"), "appIncludeSwitch"));
    ui.click(descendant(row(*panel, "com.google.Chrome"), "includeSwitch", 1));  // its second tab
    ui.click(descendant(row(*panel, "org.example.Editor"), "includeSwitch", 1)); // todo.md
    EXPECT_EQ(ui.text("selectionButtonTitle"), "Select All");
    ui.click("nameField");
    ui.typeText("  Deep work ");
    EXPECT_EQ(panel->name(), "  Deep work ");
    EXPECT_TRUE(saveEnabled("saveButton"));
    ui.screenshots("SaveWorkspaceInlineView-edited");

    int saves = 0;
    QObject::connect(panel, &SaveWorkspacePanelModel::saveRequested, [&] { ++saves; });
    ui.pressKey(Qt::Key_Return); // in the name field
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(model.screen(), "list");
    EXPECT_EQ(model.savePanel(), nullptr);
    EXPECT_TRUE(ui.isShown("mainContent"));
    EXPECT_EQ(model.statusMessage(), StatusTexts::saving);
    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    EXPECT_EQ(model.statusMessage(), StatusTexts::saved);
    ASSERT_EQ(store.workspaces().size(), 1);

    const QJsonObject saved = storedFile(store.workspaces().first().id);
    EXPECT_EQ(saved["name"].toString(), "Deep work");
    const QHash<QString, QJsonObject> apps = appsByIdentifier(saved);
    QStringList identifiers = apps.keys();
    identifiers.sort();
    EXPECT_EQ(identifiers, kept);
    const QJsonArray editorWindows = apps["org.example.Editor"]["windowSnapshots"].toArray();
    ASSERT_EQ(editorWindows.size(), 1);
    EXPECT_EQ(editorWindows[0]["id"].toString(), idText(editor.windowSnapshots[0].id));
    const QJsonArray chromeWindows = apps["com.google.Chrome"]["windowSnapshots"].toArray();
    ASSERT_EQ(chromeWindows.size(), 2);
    const QJsonArray firstTabs = chromeWindows[0]["tabSnapshots"].toArray();
    ASSERT_EQ(firstTabs.size(), 1);
    EXPECT_EQ(firstTabs[0]["id"].toString(), idText(chrome.windowSnapshots[0].tabSnapshots[0].id));
    EXPECT_EQ(chromeWindows[1]["tabSnapshots"].toArray().size(), 1);
    ui.screenshots("PopoverView-saved");
}

TEST_F(PanelsViewTest, SavePanelWhenTheCaptureFailsOrFindsNothing) {
    show();
    ui.click("newWorkspaceButton");
    desktop().setTrusted(false); // lost before the capture reads the windows
    SaveWorkspacePanelModel* panel = model.savePanel();
    load(*panel);
    EXPECT_TRUE(ui.isShown("captureError"));
    EXPECT_EQ(ui.text("captureMessage"), "Failed to capture workspace");
    EXPECT_FALSE(ui.isShown("captureList"));
    ui.click("nameField");
    ui.typeText("Work");
    EXPECT_FALSE(saveEnabled("saveButton"));
    ui.screenshots("SaveWorkspaceInlineView-failed");
    ui.pressKey(Qt::Key_Escape);
    EXPECT_EQ(model.screen(), "list");
    EXPECT_TRUE(store.workspaces().isEmpty());

    desktop().setTrusted(true);
    removeEveryApplication();
    ui.click("newWorkspaceButton");
    panel = model.savePanel();
    load(*panel);
    EXPECT_EQ(ui.text("nameField"), ""); // a new panel starts afresh
    EXPECT_TRUE(panel->showsEmptyBlock());
    EXPECT_TRUE(ui.isShown("captureEmpty"));
    EXPECT_EQ(ui.text("captureMessage"), "No applications are currently running");
    EXPECT_FALSE(ui.isShown("selectionButton"));
    EXPECT_FALSE(ui.isShown("summaryText"));
    ui.click("nameField");
    ui.typeText("Work");
    EXPECT_FALSE(saveEnabled("saveButton"));
    ui.screenshots("SaveWorkspaceInlineView-empty");
    ui.click("cancelButton");
    EXPECT_EQ(model.screen(), "list");
}

TEST_F(PanelsViewTest, ReturnAwayFromTheNameFieldSavesOnce) {
    show();
    ui.click("newWorkspaceButton");
    SaveWorkspacePanelModel* panel = model.savePanel();
    load(*panel);
    int saves = 0;
    QObject::connect(panel, &SaveWorkspacePanelModel::saveRequested, [&] { ++saves; });
    ui.typeText("Desk"); // the name field has the focus from the start
    ui.click(descendant(row(*panel, "com.apple.finder"), "appIncludeSwitch"));
    ui.item("saveWorkspaceInlineView")->forceActiveFocus(); // the focus is no longer in the field
    ASSERT_FALSE(ui.item("nameField")->hasActiveFocus());
    ui.pressKey(Qt::Key_Return);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(model.screen(), "list");
    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    ASSERT_EQ(store.workspaces().size(), 1);
    EXPECT_EQ(store.workspaces().first().name, "Desk");
}

// The road of an update: the row's Update opens the panel, which merges a new capture into the
// saved workspace; the stored file keeps the workspace's id, name and settings and holds what was
// ticked.
TEST_F(PanelsViewTest, UpdateFromTheRowToTheStoredFile) {
    // Saved without Finder and Calendar, which the new capture finds as new applications.
    WorkspacePreviewViewModel first;
    ASSERT_TRUE(clock().runUntilDone(first.capture()));
    for (const AppSnapshot& a : first.capturedWorkspace()->appSnapshots) {
        if (a.bundleIdentifier == "org.example.Calendar" || a.bundleIdentifier == "com.apple.finder") {
            first.toggleAppIgnore(a.id);
        }
    }
    Workspace work = *first.filteredWorkspace("Client Work");
    work.closeOtherApps = true;
    work.gradientIndex = 5;
    ASSERT_TRUE(store.save(work));
    work = store.workspaces().first();

    show();
    model.toggleExpand(work.id);
    ui.settle();
    QMetaObject::invokeMethod(ui.item("workspaceList"), "positionViewAtIndex", Q_ARG(int, 0),
                              Q_ARG(int, 2 /* ListView.End */));
    ui.settle();
    ui.click("leftAction"); // Update
    ASSERT_EQ(model.screen(), "update");
    UpdateWorkspacePanelModel* panel = model.updatePanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(model.expandedWorkspaceID().has_value());
    EXPECT_TRUE(ui.isShown("captureLoading"));
    EXPECT_EQ(ui.text("workspaceName"), "Client Work");
    EXPECT_EQ(ui.text("panelSubtitle"), "Review changes before updating");
    ui.screenshots("UpdateWorkspaceInlineView-capturing");

    load(*panel);
    EXPECT_EQ(ui.text("listTitle"), "What will be updated");
    EXPECT_EQ(ui.text("selectionButtonTitle"), "Select All"); // the new applications start unticked
    EXPECT_TRUE(saveEnabled("updateButton"));
    ui.screenshots("UpdateWorkspaceInlineView-merged");

    const AppSnapshot chrome = app(*panel, "com.google.Chrome");
    ui.click(descendant(row(*panel, "com.apple.finder"), "appIncludeSwitch")); // a new one joins
    ui.click(descendant(row(*panel, "org.example.Editor"), "appOnlyButton"));
    ui.click(descendant(row(*panel, "com.google.Chrome"), "includeSwitch", 0));
    ui.screenshots("UpdateWorkspaceInlineView-edited");
    ui.pressKey(Qt::Key_Return);
    EXPECT_EQ(model.screen(), "list");
    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    EXPECT_EQ(model.statusMessage(), StatusTexts::updated);

    ASSERT_EQ(store.workspaces().size(), 1);
    const QJsonObject updated = storedFile(work.id);
    EXPECT_EQ(updated["id"].toString(), idText(work.id));
    EXPECT_EQ(updated["name"].toString(), "Client Work");
    EXPECT_TRUE(updated["closeOtherApps"].toBool());
    EXPECT_EQ(updated["gradientIndex"].toInt(), 5);
    const QHash<QString, QJsonObject> apps = appsByIdentifier(updated);
    EXPECT_TRUE(apps.contains("com.apple.finder"));
    EXPECT_FALSE(apps.contains("org.example.Calendar")); // new, left unticked
    EXPECT_EQ(apps.size(), work.appSnapshots.size() + 1);
    EXPECT_TRUE(apps["org.example.Editor"]["windowSnapshots"].toArray().isEmpty());
    QStringList tabs;
    for (const QJsonValue& w : apps["com.google.Chrome"]["windowSnapshots"].toArray()) {
        for (const QJsonValue& t : w["tabSnapshots"].toArray()) {
            tabs << t["id"].toString();
        }
    }
    EXPECT_FALSE(tabs.contains(idText(chrome.windowSnapshots[0].tabSnapshots[0].id)));
    EXPECT_EQ(tabs.size(), 2);
}

TEST_F(PanelsViewTest, UpdatePanelWhenTheCaptureFailsOrFindsNothing) {
    Workspace empty = sample("Empty Desk");
    empty.appSnapshots.clear();
    ASSERT_TRUE(store.save(empty));
    show();
    model.openUpdatePanel(store.workspaces().first());
    desktop().setTrusted(false);
    load(*model.updatePanel());
    EXPECT_EQ(ui.text("captureMessage"), "Failed to capture workspace");
    EXPECT_FALSE(saveEnabled("updateButton"));
    ui.screenshots("UpdateWorkspaceInlineView-failed");
    ui.pressKey(Qt::Key_Return); // nothing to update
    EXPECT_EQ(model.screen(), "update");
    ui.pressKey(Qt::Key_Escape);
    EXPECT_EQ(model.screen(), "list");

    desktop().setTrusted(true);
    removeEveryApplication();
    model.openUpdatePanel(store.workspaces().first());
    load(*model.updatePanel());
    EXPECT_TRUE(ui.isShown("captureEmpty"));
    EXPECT_FALSE(ui.isShown("selectionButton"));
    EXPECT_FALSE(saveEnabled("updateButton"));
    ui.screenshots("UpdateWorkspaceInlineView-empty");
    ui.click("cancelButton");
    EXPECT_EQ(model.screen(), "list");
}
