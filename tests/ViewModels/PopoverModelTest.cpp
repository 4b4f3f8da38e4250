// The menu-bar window's state and operations, in virtual time on the simulated desktop.
#include "ViewModels/PopoverModel.h"
#include "Models/WorkspaceJson.h"
#include "Services/Capture/WorkspaceCapturer.h"
#include "Services/Coordination/GlobalHotkeyManager.h"
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Storage/SettingsManager.h"
#include "Services/Storage/WorkspaceStore.h"
#include "Support/ScriptedDesktop.h"
#include "Support/WorkspaceSamples.h"
#include "ViewModels/IconPickerModel.h"
#include "ViewModels/SelectionRowModel.h"
#include "ViewModels/ShortcutRecorderModel.h"
#include "ViewModels/StatusTexts.h"
#include "ViewModels/WorkspaceListModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"
#include "ViewModels/WorkspaceRowModel.h"

#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

using namespace std::chrono_literals;

RestoreReport report(RestoreStatus status, QStringList missingDisplays = {},
                     QList<AppRestoreResult> apps = {
                         {"org.example.App", "App", RestoreStatus::restored, "", {}}}) {
    RestoreReport r;
    r.workspaceName = "Work";
    r.status = status;
    r.appResults = std::move(apps);
    r.missingDisplays = std::move(missingDisplays);
    return r;
}

class PopoverModelTest : public SimulatedDesktopFixture {
protected:
    PopoverModelTest() {
        addScreen(1920, 1080);
        // The settings file is shared by the tests of this program.
        settings.setWorkspaceSortOption("updatedAt");
    }

    PopoverModel::Services services() {
        return {&store, &coordinator, &revertStates, &hotkeys, nullptr, &settings, platform().clock};
    }
    static QCoro::Task<RestoreReport> engine(PopoverModelTest* t, Workspace) {
        co_await t->clock().sleep(1s);
        co_return t->nextReport;
    }
    Workspace add(const QString& name, int seconds = 0) {
        Workspace w = WorkspaceSamples::plain(name, WorkspaceSamples::date(seconds));
        EXPECT_TRUE(store.save(w));
        return w;
    }
    // A preview model whose capture holds one application, or nothing.
    std::unique_ptr<WorkspacePreviewViewModel> captured(bool succeeds) {
        auto vm = std::make_unique<WorkspacePreviewViewModel>([succeeds](QString name) {
            return [](QString n, bool ok) -> QCoro::Task<std::optional<Workspace>> {
                if (!ok) {
                    co_return std::nullopt;
                }
                Workspace w = WorkspaceSamples::plain(n, WorkspaceSamples::date(0));
                w.appSnapshots = {{QUuid::createUuid(), "org.example.Editor", "Editor", {}, false}};
                co_return w;
            }(std::move(name), succeeds);
        });
        clock().runUntilDone(vm->capture());
        return vm;
    }
    void settle() {
        clock().runUntil([] { return false; }, 1ms);
    }
    std::optional<QString> message() const { return model.statusMessage(); }

    QTemporaryDir folder;
    WorkspaceStore store{folder.path()};
    RevertStateManager revertStates;
    RestoreReport nextReport = report(RestoreStatus::restored);
    RestoreCoordinator coordinator{[this](Workspace w, bool) { return engine(this, std::move(w)); },
                                   &revertStates};
    GlobalHotkeyManager hotkeys{platform().hotKeys};
    SettingsManager settings;
    PopoverModel model{services()};
};

TEST_F(PopoverModelTest, RestoreShowsProgressThenTheResultWithRevertThenClears) {
    model.restoreWorkspace(add("Work"));
    EXPECT_EQ(message(), StatusTexts::restoring);
    EXPECT_TRUE(model.isProcessing());
    EXPECT_EQ(model.statusIcon(), "arrow.triangle.2.circlepath");
    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    EXPECT_EQ(message(), StatusTexts::restored);
    ASSERT_TRUE(model.currentRevertStateID());
    EXPECT_TRUE(model.showRevertButton());
    EXPECT_TRUE(model.statusVisible());

    clock().advanceBy(9900ms);
    EXPECT_EQ(message(), StatusTexts::restored);
    clock().advanceBy(200ms);
    EXPECT_EQ(message(), std::nullopt);
    EXPECT_EQ(model.currentRevertStateID(), std::nullopt);
    EXPECT_FALSE(model.statusVisible());
}

TEST_F(PopoverModelTest, EachRestoreResultSetsItsTextAndRevertOffer) {
    struct Case {
        RestoreReport report;
        QString text;
        bool keepsRevertID;
        bool showsRevert;
    };
    const QList<Case> cases{
        {report(RestoreStatus::restored), StatusTexts::restored, true, true},
        {report(RestoreStatus::partiallyRestored, {},
                {{"org.example.Mail", "Mail", RestoreStatus::failed, "not installed", {}}}),
         "Partially restored — failed: Mail", true, true},
        // Only missing displays: the id is held, but the text offers no Revert.
        {report(RestoreStatus::partiallyRestored, {"Studio"}), "Display not connected: Studio", true, false},
        {report(RestoreStatus::skipped, {}, {}), "Restore skipped", false, false},
        {report(RestoreStatus::failed, {}, {}), StatusTexts::restoreFailed, false, false},
        {report(RestoreStatus::cancelled), StatusTexts::cancelled, false, false},
    };
    for (const Case& c : cases) {
        RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::restoringWorkspace("Work"));
        EXPECT_EQ(message(), StatusTexts::restoring);
        EXPECT_TRUE(model.isProcessing());
        RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::result(c.report, QString("revert-1")));
        EXPECT_EQ(message(), c.text);
        EXPECT_FALSE(model.isProcessing());
        EXPECT_EQ(model.currentRevertStateID().has_value(), c.keepsRevertID) << c.text.toStdString();
        EXPECT_EQ(model.showRevertButton(), c.showsRevert) << c.text.toStdString();
    }
    // A result without a report, or without a status, changes nothing.
    RestoreStatusNotifier::shared().post({"restored", {}, {}, QString("revert-2")});
    RestoreStatusNotifier::shared().post({QString(), {}, report(RestoreStatus::restored), {}});
    EXPECT_EQ(message(), StatusTexts::cancelled);
}

// A revert started from the notification is worded as the status line's own Revert words it.
TEST_F(PopoverModelTest, NotificationRevertEndsWithRevertTextsAndNoRevert) {
    const QList<std::pair<RestoreReport, QString>> cases{
        {report(RestoreStatus::restored), StatusTexts::reverted},
        {report(RestoreStatus::failed, {}, {}), StatusTexts::revertFailed},
        {report(RestoreStatus::partiallyRestored, {},
                {{"org.example.Mail", "Mail", RestoreStatus::failed, "not installed", {}}}),
         "Partially restored — failed: Mail"},
        {report(RestoreStatus::cancelled), StatusTexts::cancelled},
    };
    for (const auto& [result, text] : cases) {
        RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::revertingWorkspace());
        EXPECT_EQ(message(), StatusTexts::reverting);
        EXPECT_EQ(model.statusColor(), "purple");
        EXPECT_TRUE(model.isProcessing());
        WorkspaceRestoreStatus reverted = WorkspaceRestoreStatus::revertResult(result);
        // Even with an id, a revert offers no Revert of its own.
        reverted.revertStateID = "revert-1";
        RestoreStatusNotifier::shared().post(reverted);
        EXPECT_EQ(message(), text);
        EXPECT_FALSE(model.isProcessing());
        EXPECT_FALSE(model.showRevertButton()) << text.toStdString();
    }
    // The notification's Revert after the restore was reverted already.
    RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::nothingLeftToRevert());
    EXPECT_EQ(message(), StatusTexts::nothingToRevert);
    EXPECT_FALSE(model.isProcessing());
}

TEST_F(PopoverModelTest, StatusClearsTenSecondsAfterTheLastTextUnlessAnOperationRuns) {
    RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::result(report(RestoreStatus::restored), {}));
    clock().advanceBy(5s);
    // A newer text keeps its own ten seconds.
    RestoreStatusNotifier::shared().post(
        WorkspaceRestoreStatus::result(report(RestoreStatus::cancelled), {}));
    clock().advanceBy(9s);
    EXPECT_EQ(message(), StatusTexts::cancelled);
    clock().advanceBy(2s);
    EXPECT_EQ(message(), std::nullopt);

    // A clearing that comes while an operation runs leaves the line alone.
    RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::result(report(RestoreStatus::restored), {}));
    clock().advanceBy(5s);
    RestoreStatusNotifier::shared().post(WorkspaceRestoreStatus::restoringWorkspace("Work"));
    clock().advanceBy(20s);
    EXPECT_EQ(message(), StatusTexts::restoring);
}

TEST_F(PopoverModelTest, RevertFromTheStatusLine) {
    RestoreStatusNotifier::shared().post(
        WorkspaceRestoreStatus::result(report(RestoreStatus::restored), "missing"));
    ASSERT_TRUE(model.showRevertButton());
    model.revert();
    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    // The manager holds no such record.
    EXPECT_EQ(message(), StatusTexts::revertFailed);
    EXPECT_FALSE(model.showRevertButton());
    // Without a held id the button does nothing.
    model.revert();
    EXPECT_EQ(message(), StatusTexts::revertFailed);
}

TEST_F(PopoverModelTest, SaveAndUpdateThroughTheirPanels) {
    ASSERT_EQ(model.screen(), "list");
    EXPECT_EQ(model.dynamicPopoverHeight(), 280);
    model.newWorkspace();
    EXPECT_EQ(model.screen(), "save");
    EXPECT_EQ(model.dynamicPopoverHeight(), 600);
    auto saving = captured(true);
    model.saveFromPanel("Desk", *saving);
    EXPECT_EQ(model.screen(), "list");
    EXPECT_EQ(message(), StatusTexts::saving);
    settle();
    EXPECT_EQ(message(), StatusTexts::saved);
    ASSERT_EQ(store.workspaces().size(), 1);
    const Workspace saved = store.workspaces().first();
    EXPECT_EQ(saved.name, "Desk");

    // An update within ten seconds of a restore keeps the restore's revert id.
    RestoreStatusNotifier::shared().post(
        WorkspaceRestoreStatus::result(report(RestoreStatus::restored), "r1"));
    model.openUpdatePanel(saved);
    EXPECT_EQ(model.screen(), "update");
    auto updating = captured(true);
    model.updateFromPanel(*updating);
    EXPECT_EQ(model.screen(), "list");
    settle();
    EXPECT_EQ(message(), StatusTexts::updated);
    EXPECT_TRUE(model.showRevertButton());
    EXPECT_EQ(store.workspaces().first().id, saved.id);
    EXPECT_EQ(store.workspaces().first().name, "Desk");

    auto failing = captured(false);
    model.newWorkspace();
    model.saveFromPanel("Nothing", *failing);
    settle();
    EXPECT_EQ(message(), StatusTexts::captureFailed);
    EXPECT_EQ(model.statusColor(), "red");
    EXPECT_EQ(store.workspaces().size(), 1);
}

// A capture whose file cannot be written is not reported as saved or updated: after a restart the
// workspace would be gone.
TEST_F(PopoverModelTest, ASaveOrUpdateThatCannotBeWrittenSaysSo) {
    const Workspace desk = add("Desk");
    // A file where the folder was: no write can succeed, whoever runs the test.
    ASSERT_TRUE(QDir(folder.path()).removeRecursively());
    QFile blocker(folder.path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const QList<std::function<void(WorkspacePreviewViewModel&)>> operations{
        [&](WorkspacePreviewViewModel& vm) { model.saveWorkspace("Office", vm); },
        [&](WorkspacePreviewViewModel& vm) { model.performUpdate(desk, vm); },
    };
    for (const auto& operation : operations) {
        auto capture = captured(true);
        operation(*capture);
        settle();
        EXPECT_EQ(message(), StatusTexts::writeFailed);
        EXPECT_EQ(model.statusColor(), "red");
        EXPECT_FALSE(model.isProcessing());
    }
}

// An update panel left open while its workspace was deleted (from the settings window, say) has
// nothing to update: it does not say the workspace was updated, and nothing comes back.
TEST_F(PopoverModelTest, UpdatingAWorkspaceDeletedMeanwhileSaysItFailed) {
    const Workspace desk = add("Desk");
    model.openUpdatePanel(desk);
    ASSERT_TRUE(store.deleteAll());
    auto capture = captured(true);
    model.updateFromPanel(*capture);
    settle();
    EXPECT_EQ(message(), StatusTexts::writeFailed);
    EXPECT_TRUE(store.workspaces().isEmpty());
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

// A row's edit or deletion whose file cannot be written or removed says so in the status line:
// the row shows the change, but it would be undone at the next start.
TEST_F(PopoverModelTest, ARowEditOrDeletionThatCannotBeStoredSaysSo) {
    const Workspace desk = add("Desk");
    const QString file = folder.filePath(WorkspaceJson::uuidString(desk.id) + ".json");
    WorkspaceRowModel* row = model.workspaceList()->row(0);
    ASSERT_TRUE(row);
    // A file where the folder was: no write can succeed, whoever runs the test.
    const auto blockWrites = [&] {
        ASSERT_TRUE(QDir(folder.path()).removeRecursively());
        QFile blocker(folder.path());
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    };
    const auto unblock = [&] {
        QFile::remove(folder.path());
        ASSERT_TRUE(QDir().mkpath(folder.path()));
    };
    const QList<std::pair<const char*, std::function<void()>>> edits{
        {"rename",
         [&] {
             row->startRename();
             row->setRenameText("Office");
             row->confirmRename();
         }},
        {"icon", [&] { row->iconPicker()->select("leaf.fill"); }},
        {"colour", [&] { row->selectGradient(3); }},
        {"close other apps", [&] { row->setCloseOtherApps(true); }},
        {"add trigger",
         [&] {
             emit row->triggerAddRequested({QUuid::createUuid(), WorkspaceTrigger::Login{}});
         }},
        {"remove trigger", [&] { emit row->triggerRemoveRequested(QUuid::createUuid()); }},
        {"remove shortcut", [&] { row->recorder()->removeShortcut(); }},
    };
    for (const auto& [what, edit] : edits) {
        SCOPED_TRACE(what);
        blockWrites();
        edit();
        EXPECT_EQ(message(), StatusTexts::writeFailed);
        EXPECT_EQ(model.statusColor(), "red");
        EXPECT_FALSE(model.isProcessing());
        clock().advanceBy(PopoverModel::statusClearDelay);
        settle();
        EXPECT_EQ(message(), std::nullopt);
        // The same edit that can be written says nothing.
        unblock();
        edit();
        EXPECT_EQ(message(), std::nullopt);
    }

    // During a restore the line says so too, and the restore still ends with its own result.
    blockWrites();
    model.restoreWorkspace(desk);
    row->selectGradient(5);
    EXPECT_EQ(message(), StatusTexts::writeFailed);
    EXPECT_TRUE(model.isProcessing());
    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    EXPECT_EQ(message(), StatusTexts::restored);
    unblock();

    // A file that cannot be removed would bring the workspace back at the next start.
    ASSERT_TRUE(QDir().mkpath(file + "/kept"));
    model.deleteWorkspace(desk);
    EXPECT_EQ(message(), StatusTexts::deleteFailed);
    EXPECT_EQ(model.statusColor(), "red");
    EXPECT_EQ(model.storedCount(), 0);
    ASSERT_TRUE(QDir(file).removeRecursively());
    const Workspace gone = add("Gone");
    clock().advanceBy(PopoverModel::statusClearDelay);
    settle();
    model.deleteWorkspace(gone);
    EXPECT_EQ(message(), std::nullopt);
}

// The window makes a panel for every opening; its capture starts as it comes on screen, and its
// Save, Update and Cancel close it.
TEST_F(PopoverModelTest, EachOpeningHasAPanelOfItsOwn) {
    addApp("org.example.Editor", {QRectF(0, 25, 800, 600)}, {"notes.txt"});
    EXPECT_EQ(model.savePanel(), nullptr);
    model.newWorkspace();
    SaveWorkspacePanelModel* first = model.savePanel();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->showsLoading());
    ASSERT_TRUE(clock().runUntil([&] { return first->showsList(); }));
    first->cancel();
    EXPECT_EQ(model.screen(), "list");
    EXPECT_EQ(model.savePanel(), nullptr);
    EXPECT_TRUE(store.workspaces().isEmpty());

    model.newWorkspace();
    SaveWorkspacePanelModel* second = model.savePanel();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->name(), "");
    ASSERT_TRUE(clock().runUntil([&] { return second->showsList(); }));
    second->setName(" Desk ");
    second->save();
    EXPECT_EQ(model.screen(), "list");
    settle();
    EXPECT_EQ(message(), StatusTexts::saved);
    ASSERT_EQ(store.workspaces().size(), 1);
    EXPECT_EQ(store.workspaces().first().name, "Desk");
    EXPECT_EQ(store.workspaces().first().appSnapshots.size(), 1);

    // An update asked for while the save panel is open waits behind it.
    model.newWorkspace();
    model.openUpdatePanel(store.workspaces().first());
    EXPECT_EQ(model.screen(), "save");
    UpdateWorkspacePanelModel* update = model.updatePanel();
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(update->captureState(), CapturePanelModel::CaptureState::notStarted);
    model.savePanel()->cancel();
    EXPECT_EQ(model.screen(), "update");
    EXPECT_TRUE(update->showsLoading());
    ASSERT_TRUE(clock().runUntil([&] { return update->showsList(); }));
    EXPECT_EQ(update->rows().first()->badge(), PreviewBadge::Kind::Saved);
    update->update();
    EXPECT_EQ(model.screen(), "list");
    EXPECT_EQ(model.updatePanel(), nullptr);
    settle();
    EXPECT_EQ(message(), StatusTexts::updated);
}

TEST_F(PopoverModelTest, NewWorkspaceWithoutWindowAccessAsksForIt) {
    desktop().setTrusted(false);
    prompts().queueAlertAnswer(0);
    model.newWorkspace();
    settle();
    EXPECT_EQ(model.screen(), "list");
    ASSERT_EQ(prompts().shownAlerts().size(), 1);
    EXPECT_EQ(prompts().shownAlerts()[0].messageText, "Accessibility Permission Required");
    EXPECT_EQ(prompts().shownAlerts()[0].buttons, QStringList({"Open Settings", "Cancel"}));
    EXPECT_EQ(prompts().openedUrls().size(), 1);

    model.showDuplicateShortcutAlert();
    settle();
    ASSERT_EQ(prompts().shownAlerts().size(), 2);
    EXPECT_EQ(prompts().shownAlerts()[1].messageText,
              "This shortcut is already assigned to another workspace");
    EXPECT_EQ(prompts().openedUrls().size(), 1);
}

TEST_F(PopoverModelTest, ExpandedRowFollowsTogglesSearchesAndDeletes) {
    const Workspace a = add("Alpha", 10);
    const Workspace b = add("Beta", 20);
    model.toggleExpand(a.id);
    model.toggleExpand(b.id);
    EXPECT_EQ(model.expandedWorkspaceID(), b.id);
    model.toggleExpand(b.id);
    EXPECT_EQ(model.expandedWorkspaceID(), std::nullopt);

    model.toggleExpand(a.id);
    model.setSearchText("alp");
    EXPECT_EQ(model.expandedWorkspaceID(), a.id);
    model.setSearchText("bet");
    EXPECT_EQ(model.expandedWorkspaceID(), std::nullopt);
    model.clearSearch();
    EXPECT_EQ(model.expandedWorkspaceID(), std::nullopt);
    EXPECT_EQ(model.listedCount(), 2);

    model.toggleExpand(a.id);
    model.deleteWorkspace(b);
    EXPECT_EQ(model.expandedWorkspaceID(), a.id);
    model.deleteWorkspace(a);
    EXPECT_EQ(model.expandedWorkspaceID(), std::nullopt);
    EXPECT_EQ(model.storedCount(), 0);
    EXPECT_EQ(model.emptyStateText(), "No workspaces saved yet");
}

TEST_F(PopoverModelTest, DeletingAWorkspaceUnregistersItsHotKey) {
    Workspace w = add("Keys");
    const GlobalKeyShortcut shortcut{40, GlobalKeyShortcut::commandFlag, "⌘K"};
    ASSERT_TRUE(hotkeys.registerShortcut(shortcut, w.id));
    model.deleteWorkspace(w);
    EXPECT_EQ(hotkeys.registeredShortcut(w.id), std::nullopt);
}

TEST_F(PopoverModelTest, SortChoiceIsStoredAndReordersTheList) {
    for (const char* name : {"b 10", "B 2", "a"}) {
        add(name);
        clock().advanceBy(1s);
    }
    EXPECT_EQ(model.filteredWorkspaces().first().name, "a");
    EXPECT_EQ(model.sortHelpText(), "Sort: Last Modified");
    model.toggleSortPopover();
    model.chooseSortOption(0);
    EXPECT_FALSE(model.showSortPopover());
    EXPECT_EQ(SettingsManager().workspaceSortOption(), "Name");
    QStringList order;
    for (const Workspace& w : model.filteredWorkspaces()) {
        order << w.name;
    }
    EXPECT_EQ(order, QStringList({"a", "B 2", "b 10"}));
    EXPECT_EQ(model.sortHelpText(), "Sort: Name");
    EXPECT_TRUE(model.sortOptions()[0].toMap()["selected"].toBool());
    model.setSearchText("zzz");
    EXPECT_EQ(model.emptyStateSymbol(), "magnifyingglass");
    EXPECT_EQ(model.dynamicPopoverHeight(), 600);
}

} // namespace

namespace {

// The window's Restore and Revert through the real restore engine and revert.
TEST_F(PopoverModelTest, RestoreAndRevertFromTheWindowEndToEnd) {
    const qint32 pid = addApp("org.example.Editor", {QRectF(40, 60, 800, 600)}, {"Notes"});
    const quint32 window = windowsFrontToBack(pid).first();
    auto capturedNow = clock().runUntilDone(WorkspaceCapturer::capture("Writing"));
    ASSERT_TRUE(capturedNow && *capturedNow);
    Workspace w = **capturedNow;
    w.appSnapshots[0].windowSnapshots[0].frame = {500, 300, 700, 500};
    ASSERT_TRUE(store.save(w));

    RestoreCoordinator real(RestoreCoordinator::desktopEngine(), &revertStates);
    PopoverModel::Services s = services();
    s.coordinator = &real;
    PopoverModel popover(s);
    popover.restoreWorkspace(store.workspaces().first());
    ASSERT_TRUE(clock().runUntil([&] { return !popover.isProcessing(); }));
    EXPECT_EQ(popover.statusMessage(), StatusTexts::restored);
    EXPECT_EQ(desktop().window(window)->frame, QRectF(500, 300, 700, 500));
    ASSERT_TRUE(popover.showRevertButton());

    // The window takes a moment to move back: meanwhile the window says it is reverting.
    desktop().updateWindow(window,
                           [](SimulatedDesktop::Window& w) { w.faults.moveDelay = Clock::Duration(100); });
    popover.revert();
    EXPECT_EQ(popover.statusMessage(), StatusTexts::reverting);
    ASSERT_TRUE(clock().runUntil([&] { return !popover.isProcessing(); }));
    EXPECT_EQ(popover.statusMessage(), StatusTexts::reverted);
    EXPECT_FALSE(popover.showRevertButton());
    EXPECT_EQ(desktop().window(window)->frame, QRectF(40, 60, 800, 600));
}

} // namespace

namespace {

TEST_F(PopoverModelTest, AgesStayCurrentWhileTheWindowShows) {
    ASSERT_TRUE(store.save(WorkspaceSamples::plain("Fresh", clock().wallNow())));
    WorkspaceRowModel* row = model.workspaceList()->row(0);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->ageText(), "now");
    model.setWindowVisible(true);
    clock().advanceBy(6min);
    EXPECT_EQ(row->ageText(), "6m");
    // Hidden, nothing is read; shown again, the label is current at once.
    model.setWindowVisible(false);
    clock().advanceBy(10min);
    EXPECT_EQ(row->ageText(), "6m");
    model.setWindowVisible(true);
    EXPECT_EQ(row->ageText(), "16m");
    model.setWindowVisible(false);
    EXPECT_EQ(clock().pendingCount(), 0);
}

TEST_F(PopoverModelTest, EscapeClosesTheSortMenuOrThePanelBeforeTheWindow) {
    const Workspace w = add("Work");
    QSignalSpy closing(&model, &PopoverModel::closeRequested);
    model.toggleSortPopover();
    model.escapePressed();
    EXPECT_FALSE(model.showSortPopover());
    model.showPreview(w);
    model.escapePressed();
    EXPECT_EQ(model.screen(), "list");
    model.openUpdatePanel(w);
    model.escapePressed();
    EXPECT_EQ(model.screen(), "list");
    EXPECT_EQ(closing.size(), 0);
    model.escapePressed();
    EXPECT_EQ(closing.size(), 1);
}

TEST_F(PopoverModelTest, ListRowsAreMadeOnDemandAndReportToTheWindow) {
    for (int i = 0; i < 200; ++i) {
        add(QString("Workspace %1").arg(i));
    }
    WorkspaceListModel& list = *model.workspaceList();
    EXPECT_EQ(list.rowCount(), 200);
    EXPECT_EQ(list.madeRowCount(), 0);
    WorkspaceRowModel* row = list.row(3);
    ASSERT_TRUE(row);
    EXPECT_EQ(list.madeRowCount(), 1);

    row->tapHeader();
    EXPECT_EQ(model.expandedWorkspaceID(), row->workspace().id);
    EXPECT_TRUE(row->isExpanded());
    // A rename re-sorts the list; the row keeps its model and its state.
    clock().advanceBy(1s);
    row->startRename();
    row->setRenameText("Zeta");
    row->confirmRename();
    EXPECT_EQ(list.row(0), row);
    EXPECT_EQ(row->name(), "Zeta");
    EXPECT_TRUE(row->isExpanded());

    row->restore();
    EXPECT_TRUE(row->isProcessing());
    EXPECT_EQ(message(), StatusTexts::restoring);
    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    EXPECT_FALSE(row->isProcessing());

    row->requestUpdate();
    EXPECT_EQ(model.screen(), "update");
    EXPECT_EQ(model.expandedWorkspaceID(), std::nullopt);
    model.cancelUpdatePanel();
    list.row(1)->askDelete();
    list.row(1)->confirmDelete();
    EXPECT_EQ(list.rowCount(), 199);
}

} // namespace
