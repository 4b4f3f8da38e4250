#include "Platform/Simulated/SimulatedHotKeys.h"
#include "Support/RowFixture.h"
#include "Support/WorkspaceSamples.h"
#include "ViewModels/DisplayPickerModel.h"
#include "ViewModels/IconPickerModel.h"
#include "ViewModels/ShortcutRecorderModel.h"
#include "ViewModels/WorkspaceColors.h"
#include "ViewModels/WorkspaceEditor.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using WorkspaceRowModelTest = RowFixture;

TEST_F(WorkspaceRowModelTest, HeaderTextsCountAppsWindowsAndAge) {
    const QStringList installed = {"org.example.Editor", "com.google.Chrome",    "com.apple.finder",
                                   "com.apple.Terminal", "org.example.Calendar", "org.example.Mail"};
    struct Case {
        QStringList apps;
        int windowsEach;
        QStringList icons;
        const char* overflow;
    };
    const QList<Case> cases = {
        {{}, 0, {}, ""},
        {{"org.example.Editor"}, 1, {"org.example.Editor"}, ""},
        {installed, 2, installed, ""},
        // An application that is not installed leaves no icon; the count still counts it.
        {QStringList{"org.example.Gone"} + installed + QStringList{"org.example.Other"}, 3,
         installed.first(5), "+2"},
    };
    for (const Case& c : cases) {
        auto row = makeRow(WorkspaceSamples::withApps("W", c.apps, c.windowsEach));
        EXPECT_EQ(row->appCount(), c.apps.size());
        EXPECT_EQ(row->windowCount(), c.apps.size() * c.windowsEach);
        EXPECT_EQ(row->appIcons(), c.icons);
        EXPECT_EQ(row->overflowText(), c.overflow);
    }
    Workspace w = sample();
    auto row = makeRow(w);
    EXPECT_EQ(row->ageText(), "5m");
    EXPECT_FALSE(row->hasShortcut());
    w.globalShortcut = GlobalKeyShortcut{0, GlobalKeyShortcut::commandFlag, "⌘A"};
    w.updatedAt = now().addDays(-1);
    row->setWorkspace(w);
    EXPECT_EQ(row->shortcutText(), "⌘A");
    EXPECT_EQ(row->ageText(), "yesterday");
    EXPECT_EQ(row->deleteQuestion(), "Are you sure you want to delete \"Work\"?");
}

TEST_F(WorkspaceRowModelTest, RenameReportsOnlyAChangedTrimmedName) {
    struct Case {
        const char* typed;
        std::optional<QString> reported;
        const char* textAfter;
    };
    for (const Case& c :
         {Case{"  Home  ", QStringLiteral("Home"), "  Home  "}, Case{"Work", std::nullopt, "Work"},
          Case{"\t Work ", std::nullopt, "\t Work "}, Case{"   ", std::nullopt, ""},
          Case{"Home\n", QStringLiteral("Home\n"), "Home\n"}}) {
        auto row = makeRow(sample());
        QSignalSpy renamed(row.get(), &WorkspaceRowModel::renameRequested);
        row->startRename();
        EXPECT_EQ(row->renameText(), "Work");
        row->setRenameText(QString::fromUtf8(c.typed));
        row->confirmRename();
        EXPECT_FALSE(row->isRenaming());
        EXPECT_EQ(renamed.isEmpty() ? std::nullopt : std::optional(renamed[0][0].toString()), c.reported)
            << c.typed;
        EXPECT_EQ(row->renameText(), QString::fromUtf8(c.textAfter));
    }
    auto row = makeRow(sample());
    QSignalSpy toggled(row.get(), &WorkspaceRowModel::toggleExpandRequested);
    row->startRename();
    row->tapHeader();
    EXPECT_TRUE(toggled.isEmpty());
    row->cancelRename();
    EXPECT_EQ(row->renameText(), "");
    row->tapHeader();
    EXPECT_EQ(toggled.size(), 1);
}

TEST_F(WorkspaceRowModelTest, ButtonsDeleteConfirmationAndHover) {
    auto row = makeRow(sample());
    QSignalSpy restored(row.get(), &WorkspaceRowModel::restoreRequested);
    QSignalSpy deleted(row.get(), &WorkspaceRowModel::deleteRequested);
    row->setProcessing(true);
    row->restore();
    row->setProcessing(false);
    row->restore();
    EXPECT_EQ(restored.size(), 1);

    row->askDelete();
    EXPECT_TRUE(row->isConfirmingDelete());
    row->cancelDelete();
    row->askDelete();
    row->confirmDelete();
    EXPECT_FALSE(row->isConfirmingDelete());
    EXPECT_EQ(deleted.size(), 1);

    EXPECT_EQ(row->backgroundOpacity(), 0.0);
    EXPECT_FALSE(row->showsHoverControls());
    row->setHovered(true);
    EXPECT_EQ(row->backgroundOpacity(), 0.04);
    EXPECT_TRUE(row->showsHoverControls());
    row->setHovered(false);
    row->setExpanded(true);
    EXPECT_EQ(row->backgroundOpacity(), 0.06);
    EXPECT_TRUE(row->showsHoverControls());
}

TEST_F(WorkspaceRowModelTest, CollapsingEndsARecording) {
    auto row = makeRow(sample());
    row->setExpanded(true);
    row->recorder()->toggleRecording();
    row->setExpanded(false);
    EXPECT_FALSE(row->recorder()->isRecording());
}

TEST_F(WorkspaceRowModelTest, IconPickerFiltersByName) {
    const auto titles = [](const QString& search) {
        QStringList out;
        for (const auto& c : IconPickerModel::filteredCategories(search)) {
            out << c.name;
        }
        return out;
    };
    qsizetype all = 0;
    for (const auto& c : IconPickerModel::filteredCategories({})) {
        all += c.icons.size();
    }
    EXPECT_EQ(all, 224);
    EXPECT_EQ(titles("bolt"), QStringList({"Coding", "Nature", "Misc"}));
    EXPECT_EQ(titles("Travel"), QStringList());
    EXPECT_EQ(titles("  "), QStringList());
    for (const auto& c : IconPickerModel::filteredCategories("FILL")) {
        for (const QString& icon : c.icons) {
            EXPECT_TRUE(icon.contains("fill")) << icon.toStdString();
        }
    }
    EXPECT_EQ(titles("FILL"), titles("fill"));

    auto row = makeRow(sample());
    row->iconPicker()->setSearchText("bolt");
    row->setShowingIconPicker(true); // opening starts with an empty search
    EXPECT_EQ(row->iconPicker()->searchText(), "");
    EXPECT_EQ(row->iconPicker()->currentIcon(), "briefcase.fill");
}

TEST_F(WorkspaceRowModelTest, DisplayPickerListsConnectedDisplaysAndMakesTriggers) {
    DisplayPickerModel picker(DisplayPickerModel::Kind::connected);
    ASSERT_EQ(picker.displayList().size(), 2);
    EXPECT_EQ(picker.displayList()[0].name, "Built-in Display");
    EXPECT_EQ(picker.displayList()[1],
              (DisplayPickerModel::Display{"9C2E4B1A-5F3D-4E8B-A1C7-6D2F0E9B8A47", "Studio Monitor"}));
    QSignalSpy chosen(&picker, &DisplayPickerModel::triggerChosen);
    picker.select(1);
    picker.select(1);
    picker.select(2); // nothing there
    ASSERT_EQ(chosen.size(), 2);
    const auto first = chosen[0][0].value<WorkspaceTrigger>();
    const auto second = chosen[1][0].value<WorkspaceTrigger>();
    EXPECT_EQ(first.type, second.type);
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.type, (WorkspaceTrigger::TriggerType{WorkspaceTrigger::DisplayConnected{
                              "9C2E4B1A-5F3D-4E8B-A1C7-6D2F0E9B8A47", "Studio Monitor"}}));

    DisplayPickerModel disconnect(DisplayPickerModel::Kind::disconnected);
    QSignalSpy disconnectChosen(&disconnect, &DisplayPickerModel::triggerChosen);
    disconnect.select(0);
    EXPECT_TRUE(std::holds_alternative<WorkspaceTrigger::DisplayDisconnected>(
        disconnectChosen[0][0].value<WorkspaceTrigger>().type));

    Screen anonymous = desktop().screens().first();
    anonymous.identity.reset();
    desktop().setScreens({anonymous});
    picker.refresh();
    EXPECT_TRUE(picker.isEmpty());
}

TEST_F(WorkspaceRowModelTest, EditsGoThroughTheStoreAndBackIntoTheRow) {
    Workspace w = sample();
    ASSERT_TRUE(store.save(w));
    auto row = makeRow(stored(w.id));
    WorkspaceEditor editor(store, hotkeys);
    editor.connectRow(row.get());

    row->iconPicker()->select("leaf.fill");
    row->selectGradient(0);
    row->setCloseOtherApps(true);
    EXPECT_EQ(stored(w.id).iconName, "leaf.fill");
    EXPECT_EQ(stored(w.id).gradientIndex, 0);
    EXPECT_TRUE(stored(w.id).closeOtherApps);
    EXPECT_EQ(row->iconName(), "leaf.fill");
    EXPECT_EQ(row->gradientStart(), WorkspaceColors::color("red"));

    row->setShowingTriggerPicker(true);
    row->chooseDisplayTrigger(false);
    EXPECT_FALSE(row->showingTriggerPicker());
    EXPECT_TRUE(row->showingDisplayDisconnectPicker());
    row->displayDisconnectPicker()->select(1);
    ASSERT_EQ(stored(w.id).triggers.size(), 1);
    EXPECT_EQ(row->triggers().size(), 1);
    EXPECT_EQ(row->triggers()[0].toMap()["text"], "When \"Studio Monitor\" disconnected");
    row->removeTrigger(row->triggers()[0].toMap()["id"].toString());
    EXPECT_TRUE(stored(w.id).triggers.isEmpty());

    row->recorder()->toggleRecording();
    row->recorder()->handleKeyEvent(40, GlobalKeyShortcut::commandFlag);
    EXPECT_EQ(stored(w.id).globalShortcut->displayString, "Super+K");
    EXPECT_EQ(row->shortcutText(), "Super+K");
    row->recorder()->removeShortcut();
    EXPECT_FALSE(stored(w.id).globalShortcut);
    EXPECT_FALSE(hotkeys.registeredShortcut(w.id));

    row->startRename();
    row->setRenameText("Home");
    row->confirmRename();
    EXPECT_EQ(stored(w.id).name, "Home");
    EXPECT_EQ(row->name(), "Home");
}

TEST(WorkspaceColorsTest, NamesAndPairs) {
    EXPECT_EQ(WorkspaceColors::startColor(0), WorkspaceColors::color("red"));
    EXPECT_EQ(WorkspaceColors::endColor(31), WorkspaceColors::color("cyan"));
    EXPECT_EQ(WorkspaceColors::startColor(32), WorkspaceColors::color("red"));
    EXPECT_EQ(WorkspaceColors::startColor(45), WorkspaceColors::color("pink"));
    EXPECT_EQ(WorkspaceColors::endColor(45), WorkspaceColors::color("orange"));
    for (const char* name : {"Red", " red", "grey", ""}) {
        EXPECT_EQ(WorkspaceColors::color(name), WorkspaceColors::gray()) << name;
    }
    EXPECT_NE(WorkspaceColors::color("red"), WorkspaceColors::gray());
}

// A shortcut another program takes later does nothing: the row and its recorder no longer show it,
// while the stored workspace keeps it; a newly recorded one shows again.
TEST_F(WorkspaceRowModelTest, AShortcutTakenByAnotherProgramIsNotShown) {
    Workspace w = sample();
    ASSERT_TRUE(store.save(w));
    auto row = makeRow(stored(w.id));
    WorkspaceEditor editor(store, hotkeys);
    editor.connectRow(row.get());
    row->recorder()->toggleRecording();
    row->recorder()->handleKeyEvent(40, GlobalKeyShortcut::commandFlag);
    ASSERT_EQ(row->shortcutText(), "Super+K");
    QSignalSpy rowChanges(row.get(), &WorkspaceRowModel::shortcutChanged);

    hotKeys().takeOver(40, GlobalKeyShortcut::commandFlag);
    EXPECT_FALSE(row->hasShortcut());
    EXPECT_EQ(row->shortcutText(), "");
    EXPECT_FALSE(row->recorder()->hasShortcut());
    EXPECT_FALSE(row->recorder()->showsRemoveButton());
    EXPECT_EQ(rowChanges.size(), 1);
    row->setWorkspace(stored(w.id));
    EXPECT_EQ(row->shortcutText(), "");
    EXPECT_EQ(stored(w.id).globalShortcut->displayString, "Super+K");

    row->recorder()->toggleRecording();
    row->recorder()->handleKeyEvent(38, GlobalKeyShortcut::commandFlag);
    EXPECT_EQ(row->shortcutText(), "Super+J");
    EXPECT_EQ(stored(w.id).globalShortcut->displayString, "Super+J");
}
