#include "Support/RowFixture.h"
#include "Support/Views/ViewHarness.h"
#include "ViewModels/DisplayPickerModel.h"
#include "ViewModels/IconPickerModel.h"

#include <QSignalSpy>

#include <functional>

#include <gtest/gtest.h>

class PickersViewTest : public RowFixture {
protected:
    ViewHarness ui;
};

TEST_F(PickersViewTest, IconPickerFiltersAndReportsAClick) {
    IconPickerModel picker;
    picker.setCurrentIcon("photo.fill");
    ui.show("IconPickerPopover", {{"picker", QVariant::fromValue(&picker)}});
    EXPECT_EQ(ui.items("iconCategory").size(), 13);
    EXPECT_EQ(ui.items("iconCell").size(), 224);
    int marked = 0;
    for (QQuickItem* cell : ui.items("iconCell")) {
        marked += cell->property("isSelected").toBool();
    }
    EXPECT_EQ(marked, 2); // photo.fill stands in Design and in Personal
    ui.screenshots("IconPickerPopover");

    ui.click("searchField");
    ui.typeText("bolt");
    EXPECT_EQ(picker.searchText(), "bolt");
    QStringList titles;
    for (QQuickItem* title : ui.items("iconCategoryTitle")) {
        titles << title->property("text").toString();
    }
    EXPECT_EQ(titles, QStringList({"CODING", "NATURE", "MISC"}));
    EXPECT_TRUE(ui.isShown("searchClearButton"));
    ui.screenshots("IconPickerPopover-search");

    QSignalSpy selected(&picker, &IconPickerModel::iconSelected);
    ui.click(ui.items("iconCell").last());
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0][0].toString(), "battery.100.bolt");

    ui.click("searchClearButton");
    EXPECT_EQ(ui.items("iconCell").size(), 224);
    ui.click("searchField");
    ui.typeText("Travel");
    EXPECT_TRUE(ui.isShown("iconsEmptyState"));
    EXPECT_TRUE(ui.items("iconCell").isEmpty());
}

TEST_F(PickersViewTest, ColorPickerMarksTheCurrentPairAndReportsAClick) {
    ui.show("ColorPickerPopover", {{"currentIndex", 12}});
    const QList<QQuickItem*> swatches = ui.items("colorSwatch");
    ASSERT_EQ(swatches.size(), 32);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(swatches[i]->property("isSelected").toBool(), i == 12) << i;
    }
    QSignalSpy selected(ui.root(), SIGNAL(selected(int)));
    ui.click(swatches[0]);
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0][0].toInt(), 0);
    ui.screenshots("ColorPickerPopover");
}

TEST_F(PickersViewTest, DisplayPickerListsTheConnectedDisplays) {
    DisplayPickerModel picker(DisplayPickerModel::Kind::disconnected);
    ui.show("DisplayPickerPopover", {{"picker", QVariant::fromValue(&picker)}});
    EXPECT_EQ(ui.text("displayPickerTitle"), "Display disconnected");
    const QList<QQuickItem*> rows = ui.items("displayRow");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1]->property("name").toString(), "Studio Monitor");
    QSignalSpy chosen(&picker, &DisplayPickerModel::triggerChosen);
    ui.click(rows[1]);
    ASSERT_EQ(chosen.size(), 1);
    ui.screenshots("DisplayPickerPopover");

    desktop().setScreens({});
    picker.refresh();
    EXPECT_TRUE(ui.items("displayRow").isEmpty());
    EXPECT_TRUE(ui.isShown("noDisplays"));
    ui.screenshots("DisplayPickerPopover-empty");
}

TEST_F(PickersViewTest, RowOpensEachPickerBelowItsControl) {
    auto row = makeRow(sample());
    row->setExpanded(true);
    ui.setMinimumSize(QSize(426, 780));
    ui.show("WorkspaceRowView", {{"row", QVariant::fromValue(row.get())}}, 426);

    ui.click("iconPickerRow");
    EXPECT_TRUE(row->showingIconPicker());
    EXPECT_TRUE(ui.isShown("iconCell"));
    ui.screenshots("WorkspaceRowView-iconPicker");
    row->setShowingIconPicker(false);

    row->setShowingColorPicker(true);
    ui.settle();
    EXPECT_TRUE(ui.isShown("colorSwatch"));
    ui.screenshots("WorkspaceRowView-colorPicker");
    row->setShowingColorPicker(false);

    ui.click("addTriggerButton");
    EXPECT_TRUE(row->showingTriggerPicker());
    ui.screenshots("WorkspaceRowView-triggerMenu");
    ui.click("displayConnectedOption");
    EXPECT_FALSE(row->showingTriggerPicker());
    EXPECT_TRUE(row->showingDisplayPicker());
    EXPECT_TRUE(ui.isShown("displayRow"));
    ui.screenshots("WorkspaceRowView-displayPicker");
}

TEST_F(PickersViewTest, ASecondClickAnywhereOnThePickerLineClosesThePicker) {
    auto row = makeRow(sample());
    row->setExpanded(true);
    ui.setMinimumSize(QSize(426, 780));
    ui.show("WorkspaceRowView", {{"row", QVariant::fromValue(row.get())}}, 426);
    struct Line {
        const char* caption;
        const char* pill;
        std::function<bool()> showing;
    };
    for (const Line& line : {Line{"iconCaption", "iconPill", [&] { return row->showingIconPicker(); }},
                             Line{"colorCaption", "colorPill", [&] { return row->showingColorPicker(); }}}) {
        ui.click(line.caption);
        EXPECT_TRUE(line.showing()) << line.caption;
        ui.click(line.caption);
        EXPECT_FALSE(line.showing()) << line.caption;
        ui.click(line.pill);
        EXPECT_TRUE(line.showing()) << line.pill;
        ui.click(line.caption);
        EXPECT_FALSE(line.showing()) << line.pill;
    }
    // The symbols of the icon pill sit on its middle line, as the colour pill's swatch does.
    const QQuickItem* pill = ui.item("iconPill");
    for (const char* name : {"iconPillSymbol", "iconPillChevron"}) {
        const QQuickItem* symbol = ui.item(name);
        EXPECT_NEAR(symbol->mapToItem(pill, QPointF(0, symbol->height() / 2)).y(), pill->height() / 2, 0.5)
            << name;
    }
}
