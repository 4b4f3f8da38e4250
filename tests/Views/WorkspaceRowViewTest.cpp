#include "Support/RowFixture.h"
#include "Support/Views/ViewHarness.h"
#include "Support/WorkspaceSamples.h"
#include "ViewModels/ShortcutRecorderModel.h"

#include <QSignalSpy>

#include <QFontMetricsF>

#include <gtest/gtest.h>

class WorkspaceRowViewTest : public RowFixture {
protected:
    QQuickItem* show(WorkspaceRowModel& row) {
        return ui.show(QStringLiteral("WorkspaceRowView"), {{"row", QVariant::fromValue(&row)}}, 426);
    }

    ViewHarness ui;
};

TEST_F(WorkspaceRowViewTest, CollapsedRowShowsTheWorkspace) {
    Workspace w = sample(QStringLiteral("Client Work"));
    w.globalShortcut =
        GlobalKeyShortcut{40, GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::shiftFlag, "⌘⇧K"};
    auto row = makeRow(w);
    show(*row);
    EXPECT_EQ(ui.text("workspaceName"), "Client Work");
    EXPECT_EQ(ui.text("ageText"), "5m");
    EXPECT_EQ(ui.text("shortcutText"), "⌘⇧K");
    EXPECT_TRUE(ui.isShown("appIconsStack"));
    EXPECT_FALSE(ui.isShown("renameButton"));
    EXPECT_FALSE(ui.isShown("expandChevron"));
    ui.screenshots("WorkspaceRowView-collapsed");
    ui.hover("workspaceName");
    EXPECT_TRUE(row->isHovered());
    EXPECT_TRUE(ui.isShown("renameButton"));
    ui.hover("restoreButton");
    ui.screenshots("WorkspaceRowView-hovered");
}

// A name (typed, imported, or taken from a window's title) that holds markup is shown as typed.
TEST_F(WorkspaceRowViewTest, MarkupInANameIsShownAsTyped) {
    const QString name = QStringLiteral("<b>B</b><i>x</i>");
    auto row = makeRow(sample(name));
    show(*row);
    QQuickItem* label = ui.item("workspaceName");
    EXPECT_EQ(label->property("text").toString(), name);
    const QFontMetricsF metrics(label->property("font").value<QFont>());
    EXPECT_GE(label->property("contentWidth").toReal(), 0.9 * metrics.horizontalAdvance(name));
}

TEST_F(WorkspaceRowViewTest, ExpandedRowShowsTheEditingPanel) {
    Workspace w = sample();
    w.triggers = {{QUuid::createUuid(), WorkspaceTrigger::DisplayConnected{"X", "Studio Monitor"}},
                  {QUuid::createUuid(), WorkspaceTrigger::Login{}}};
    w.closeOtherApps = true;
    auto row = makeRow(w);
    row->setExpanded(true);
    show(*row);
    EXPECT_TRUE(ui.isShown("editingPanel"));
    EXPECT_EQ(ui.text("triggerText"), "When \"Studio Monitor\" connected");
    ui.screenshots("WorkspaceRowView-expanded");
}

TEST_F(WorkspaceRowViewTest, RenameDeleteAndRestoreFromTheRow) {
    auto row = makeRow(sample());
    row->setExpanded(true);
    show(*row);
    QSignalSpy renamed(row.get(), &WorkspaceRowModel::renameRequested);
    QSignalSpy deleted(row.get(), &WorkspaceRowModel::deleteRequested);
    QSignalSpy restored(row.get(), &WorkspaceRowModel::restoreRequested);
    QSignalSpy previewed(row.get(), &WorkspaceRowModel::showPreviewRequested);

    ui.click("renameButton");
    EXPECT_TRUE(ui.isShown("renameField"));
    EXPECT_EQ(ui.text("renameField"), "Work");
    ui.screenshots("WorkspaceRowView-renaming");
    ui.pressKey(Qt::Key_Escape);
    EXPECT_FALSE(row->isRenaming());
    EXPECT_TRUE(row->isExpanded());
    ui.click("renameButton");
    ui.pressKey(Qt::Key_A, Qt::ControlModifier);
    ui.typeText(" Deep Work ");
    ui.pressKey(Qt::Key_Return);
    ASSERT_EQ(renamed.size(), 1);
    EXPECT_EQ(renamed[0][0].toString(), "Deep Work");

    ui.click("rightAction");
    EXPECT_TRUE(ui.isShown("deleteQuestion"));
    EXPECT_EQ(ui.text("deleteQuestion"), "Are you sure you want to delete \"Work\"?");
    EXPECT_EQ(ui.item("leftAction")->property("label").toString(), "Cancel");
    ui.screenshots("WorkspaceRowView-confirmDelete");
    ui.click("leftAction");
    EXPECT_FALSE(ui.isShown("deleteQuestion"));
    ui.click("rightAction");
    ui.click("rightAction");
    EXPECT_EQ(deleted.size(), 1);

    row->setProcessing(true);
    ui.click("restoreButton");
    ui.click("previewButton");
    EXPECT_TRUE(restored.isEmpty());
    EXPECT_EQ(previewed.size(), 1);
    EXPECT_LT(ui.item("restoreButton")->opacity(), 1.0);
}

TEST_F(WorkspaceRowViewTest, EmptyWorkspaceShowsADash) {
    auto row = makeRow(WorkspaceSamples::withApps("Empty", {}, 0));
    show(*row);
    EXPECT_TRUE(ui.isShown("noApps"));
    EXPECT_FALSE(ui.isShown("appIconsStack"));
    EXPECT_FALSE(ui.isShown("shortcutItem"));
}

TEST_F(WorkspaceRowViewTest, RecorderShowsTheKeysWhileRecording) {
    auto row = makeRow(sample());
    row->setExpanded(true);
    show(*row);
    EXPECT_EQ(ui.text("recorderText"), "Assign Shortcut");
    ui.click("recorderButton");
    EXPECT_TRUE(row->recorder()->isRecording());
    EXPECT_TRUE(ui.isShown("recordingDot"));
    EXPECT_TRUE(ui.isShown("recorderDash"));
    row->recorder()->setPressedModifiers(GlobalKeyShortcut::commandFlag | GlobalKeyShortcut::optionFlag);
    EXPECT_EQ(ui.text("recorderText"), "Super+Alt+");
    EXPECT_FALSE(ui.isShown("recorderDash"));
    ui.screenshots("WorkspaceRowView-recording");

    QSignalSpy shortcut(row.get(), &WorkspaceRowModel::shortcutUpdateRequested);
    ui.pressKey(Qt::Key_K, Qt::MetaModifier | Qt::AltModifier, "k");
    ASSERT_EQ(shortcut.size(), 1);
    Workspace w = row->workspace();
    w.globalShortcut = shortcut[0][0].value<std::optional<GlobalKeyShortcut>>();
    row->setWorkspace(w);
    EXPECT_EQ(ui.text("recorderText"), "Super+Alt+K");
    EXPECT_TRUE(ui.isShown("removeShortcutButton"));
    // The keys read in a monospaced font: each drawn with the same advance, whatever the font
    // configuration calls the family.
    const QFontMetricsF keys(ui.item("recorderText")->property("font").value<QFont>());
    for (const QChar key : QStringLiteral("Super+Alt+K")) {
        EXPECT_NEAR(keys.horizontalAdvance(key), keys.horizontalAdvance(u'W'), 0.2)
            << QString(key).toStdString();
    }
    ui.screenshots("WorkspaceRowView-shortcut");

    // Hiding the window (the settings opening, say) ends a recording without a change: keys
    // typed elsewhere are not a shortcut.
    ui.click("recorderButton");
    ASSERT_TRUE(row->recorder()->isRecording());
    ui.window()->hide();
    EXPECT_FALSE(row->recorder()->isRecording());
    ui.pressKey(Qt::Key_J, Qt::MetaModifier, "j");
    EXPECT_EQ(shortcut.size(), 1);
}
