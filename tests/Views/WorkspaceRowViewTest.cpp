#include "Support/RowFixture.h"
#include "Support/Views/ViewHarness.h"
#include "ViewModels/ShortcutRecorderModel.h"

#include <QSignalSpy>

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
