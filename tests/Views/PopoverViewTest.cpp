// The menu-bar window's views on the demo desktop: the list in its states, the status line, the
// root's onboarding switch.
#include "Services/Coordination/RestoreCoordinator.h"
#include "Services/Coordination/RestoreStatusNotifier.h"
#include "Services/Coordination/RevertStateManager.h"
#include "Services/Coordination/WorkspaceRestoreStatus.h"
#include "Services/Storage/JsonSettingsFormat.h"
#include "Services/Storage/SettingsManager.h"
#include "Support/RowFixture.h"
#include "Support/Views/ViewHarness.h"
#include "ViewModels/AppRootModel.h"
#include "ViewModels/PopoverModel.h"
#include "ViewModels/StatusStyle.h"
#include "ViewModels/StatusTexts.h"
#include "ViewModels/WorkspaceListModel.h"
#include "ViewModels/WorkspaceRowModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class PopoverViewTest : public RowFixture {
protected:
    PopoverViewTest() { settings.setWorkspaceSortOption("updatedAt"); }

    static QCoro::Task<RestoreReport> engine(PopoverViewTest* t, Workspace w) {
        co_await t->clock().sleep(2s);
        RestoreReport report;
        report.workspaceName = w.name;
        report.status = RestoreStatus::restored;
        co_return report;
    }
    void addWorkspaces(int count) {
        const QStringList names{"Client Work", "Deep Focus", "Research", "Morning Email", "Design Review"};
        for (int i = 0; i < count; ++i) {
            Workspace w = sample(i < names.size() ? names[i] : QString("Project %1").arg(i + 1));
            ASSERT_TRUE(store.save(w));
        }
    }
    void show() { ui.show("PopoverView", {{"popover", QVariant::fromValue(&model)}}, 450); }
    // The text item of the tooltip on screen; null without one.
    QQuickItem* shownToolTipText() const {
        QList<std::pair<QQuickItem*, bool>> pending{{ui.window()->contentItem(), false}};
        while (!pending.isEmpty()) {
            const auto [item, inPopup] = pending.takeLast();
            if (!item->isVisible()) {
                continue;
            }
            if (inPopup && item->inherits("QQuickText")) {
                return item;
            }
            for (QQuickItem* child : item->childItems()) {
                pending.append({child, inPopup || item->inherits("QQuickPopupItem")});
            }
        }
        return nullptr;
    }
    QString shownToolTip() const {
        const QQuickItem* text = shownToolTipText();
        return text ? text->property("text").toString() : QString();
    }
    // The shown tooltip keeps inside the window, its whole text plain, and reads in either theme.
    void expectToolTipFitsAndReads(const std::string& name) {
        QQuickItem* text = shownToolTipText();
        ASSERT_NE(text, nullptr) << name;
        QQuickItem* box = text->parentItem();
        const QRectF window(0, 0, ui.window()->width(), ui.window()->height());
        EXPECT_TRUE(window.contains(box->mapRectToScene(QRectF(0, 0, box->width(), box->height())))) << name;
        EXPECT_EQ(text->property("textFormat").toInt(), int(Qt::PlainText)) << name;
        // A text longer than the box wraps instead of running off it.
        EXPECT_LE(text->property("contentWidth").toReal(), text->width() + 1) << name;
        const QList<QQuickItem*> parts = box->childItems();
        const auto found = std::find_if(parts.begin(), parts.end(), [](const QQuickItem* i) {
            return i->objectName() == "toolTipBackground";
        });
        QQuickItem* background = found != parts.end() ? *found : nullptr;
        ASSERT_NE(background, nullptr) << name;
        const AppTheme before = SettingsManager::shared().appTheme();
        for (const AppTheme theme : {AppTheme::light, AppTheme::dark}) {
            ui.setTheme(theme);
            const QColor ink = text->property("color").value<QColor>();
            const QColor fill = background->property("color").value<QColor>();
            EXPECT_GT(std::abs(ink.lightness() - fill.lightness()), 150) << name << " theme " << int(theme);
            EXPECT_EQ(fill.alpha(), 255) << name;
        }
        ui.setTheme(before);
    }
    int height() const { return qRound(ui.root()->height()); }

    RevertStateManager revertStates;
    RestoreCoordinator coordinator{[this](Workspace w, bool) { return engine(this, std::move(w)); },
                                   &revertStates};
    SettingsManager settings;
    PopoverModel model{{&store, &coordinator, &revertStates, &hotkeys, nullptr, &settings, platform().clock}};
    ViewHarness ui;
};

TEST_F(PopoverViewTest, EmptyStore) {
    show();
    EXPECT_EQ(height(), 280);
    EXPECT_EQ(ui.text("productName"), "Ordella");
    EXPECT_EQ(ui.text("countText"), "0");
    EXPECT_FALSE(ui.isShown("searchRow"));
    EXPECT_TRUE(ui.isShown("searchEmptyState"));
    EXPECT_EQ(ui.text("emptyStateText"), "No workspaces saved yet");
    EXPECT_FALSE(ui.isShown("statusPill"));
    ui.screenshots("PopoverView-empty");
}

TEST_F(PopoverViewTest, ListOfThreeSearchedAndSorted) {
    addWorkspaces(3);
    show();
    EXPECT_EQ(height(), 600);
    EXPECT_EQ(ui.text("countText"), "3");
    EXPECT_EQ(ui.items("workspaceName").size(), 3);
    ui.screenshots("PopoverView-3");

    ui.click("searchField");
    ui.typeText("deep");
    EXPECT_EQ(model.searchText(), "deep");
    EXPECT_EQ(ui.text("countText"), "1");
    EXPECT_TRUE(ui.isShown("searchClearButton"));
    ui.screenshots("PopoverView-searching");
    ui.typeText("zz");
    EXPECT_EQ(ui.text("emptyStateText"), "No workspaces match your search");
    EXPECT_EQ(height(), 600);
    ui.screenshots("PopoverView-search-empty");
    ui.click("searchClearButton");
    EXPECT_EQ(model.searchText(), "");

    ui.click("sortButton");
    EXPECT_TRUE(model.showSortPopover());
    ui.screenshots("PopoverView-sort");
    ui.click(ui.items("sortOption").first());
    EXPECT_FALSE(model.showSortPopover());
    EXPECT_EQ(SettingsManager().workspaceSortOption(), "Name");
    EXPECT_EQ(ui.items("workspaceName").first()->property("text").toString(), "Client Work");
}

TEST_F(PopoverViewTest, FortyWorkspacesScroll) {
    addWorkspaces(40);
    show();
    EXPECT_EQ(height(), 1000);
    EXPECT_EQ(ui.text("countText"), "40");
    // Only the rows on screen are built.
    EXPECT_LT(model.workspaceList()->madeRowCount(), 20);
    ui.screenshots("PopoverView-40");

    // A row under the pointer that the list scrolls off is not highlighted when it comes back.
    QQuickItem* list = ui.item("workspaceList");
    list->setProperty("contentY", 2000);
    ui.settle();
    for (QQuickItem* name : ui.items("workspaceName")) {
        if (name->mapToScene(QPointF(0, 0)).y() > 400 && name->mapToScene(QPointF(0, 0)).y() < 800) {
            ui.hover(name);
            break;
        }
    }
    const auto hovered = [this] {
        QList<int> rows;
        for (int i = 0; i < model.workspaceList()->rowCount(); ++i) {
            if (model.workspaceList()->row(i)->isHovered()) {
                rows << i;
            }
        }
        return rows;
    };
    const QList<int> far = hovered();
    ASSERT_EQ(far.size(), 1);
    list->setProperty("contentY", 0);
    ui.settle();
    EXPECT_FALSE(hovered().contains(far.first()));
}

TEST_F(PopoverViewTest, RestoreInProgressThenRestoredWithRevert) {
    addWorkspaces(3);
    show();
    ui.click(ui.items("restoreButton").first());
    EXPECT_EQ(model.statusMessage(), StatusTexts::restoring);
    EXPECT_TRUE(ui.isShown("statusSpinner"));
    EXPECT_FALSE(ui.isShown("revertButton"));
    ui.screenshots("PopoverView-restoring");

    ASSERT_TRUE(clock().runUntil([&] { return !model.isProcessing(); }));
    ui.settle();
    EXPECT_EQ(ui.text("statusMessage"), "Workspace restored");
    EXPECT_TRUE(ui.isShown("revertButton"));
    ui.screenshots("PopoverView-restored");
    clock().advanceBy(11s);
    ui.settle();
    EXPECT_FALSE(ui.isShown("statusPill"));
}

TEST_F(PopoverViewTest, DeleteConfirmation) {
    addWorkspaces(3);
    show();
    WorkspaceRowModel* row = model.workspaceList()->row(0);
    model.toggleExpand(row->workspace().id);
    row->askDelete();
    ui.settle();
    EXPECT_TRUE(row->isConfirmingDelete());
    // The question stands at the foot of the expanded row.
    QMetaObject::invokeMethod(ui.item("workspaceList"), "positionViewAtIndex", Q_ARG(int, 0), Q_ARG(int, 2));
    ui.settle();
    ui.screenshots("PopoverView-delete");
    row->confirmDelete();
    ui.settle();
    EXPECT_EQ(ui.text("countText"), "2");
}

TEST_F(PopoverViewTest, EveryStatusLine) {
    struct Case {
        QString name;
        QString message;
        bool processing;
        bool revert;
    };
    const QList<Case> cases{
        {"saving", StatusTexts::saving, true, false},
        {"saved", StatusTexts::saved, false, false},
        {"capture-failed", StatusTexts::captureFailed, false, false},
        {"updated", StatusTexts::updated, false, true},
        {"restored", StatusTexts::restored, false, true},
        {"partial", "Partially restored — failed: Mail", false, true},
        {"displays-missing", "Display not connected: Studio Monitor", false, false},
        {"restore-failed", StatusTexts::restoreFailed, false, false},
        {"cancelled", StatusTexts::cancelled, false, false},
        {"reverting", StatusTexts::reverting, true, false},
        {"reverted", StatusTexts::reverted, false, false},
        {"revert-failed", StatusTexts::revertFailed, false, false},
    };
    for (const Case& c : cases) {
        const StatusStyle style = StatusStyle::forMessage(c.message);
        ViewHarness status;
        status.show("StatusIndicator", {{"message", c.message},
                                        {"shown", true},
                                        {"isProcessing", c.processing},
                                        {"colorName", style.color},
                                        {"iconName", style.icon},
                                        {"showsRevert", c.revert && style.offersRevert}});
        EXPECT_EQ(status.text("statusMessage"), c.message);
        EXPECT_EQ(status.isShown("revertButton"), c.revert && !c.processing) << c.name.toStdString();
        EXPECT_EQ(status.isShown("statusSpinner"), c.processing);
        status.screenshots("StatusIndicator-" + c.name);
    }
}

TEST_F(PopoverViewTest, LongStatusesShortenTheirTextAndKeepRevertWholeInsideTheWindow) {
    addWorkspaces(1);
    show();
    const auto failedApp = [](const QString& name) {
        return AppRestoreResult{"org.example." + name, name, RestoreStatus::failed, "Not installed", {}};
    };
    RestoreReport partial;
    partial.status = RestoreStatus::partiallyRestored;
    partial.appResults = {failedApp("Mail"), failedApp("Calendar"), failedApp("Notes"), failedApp("Music")};
    RestoreReport failed;
    failed.status = RestoreStatus::failed;
    failed.appResults = {{"org.example.Mail",
                          "Mail",
                          RestoreStatus::failed,
                          "Mail could not be launched: the application is not installed",
                          {}}};
    struct Case {
        QString name;
        WorkspaceRestoreStatus status;
        bool revert;
    };
    const QList<Case> cases{
        {"partial-short",
         WorkspaceRestoreStatus::result(
             [&] {
                 RestoreReport r = partial;
                 r.appResults = {failedApp("Mail")};
                 return r;
             }(),
             QString("revert-0")),
         true},
        {"partial-long", WorkspaceRestoreStatus::result(partial, QString("revert-1")), true},
        {"failed-long", WorkspaceRestoreStatus::result(failed, std::nullopt), false},
        {"failed-very-long",
         WorkspaceRestoreStatus::result(
             [&] {
                 RestoreReport r = partial;
                 for (int i = 0; i < 12; ++i) {
                     r.appResults.append(failedApp(QString("Application Number %1").arg(i)));
                 }
                 return r;
             }(),
             QString("revert-2")),
         true},
        {"reverting", WorkspaceRestoreStatus::revertingWorkspace(), false},
    };
    const QRectF window(0, 0, 450, height());
    for (const Case& c : cases) {
        model.handleRestoreStatusNotification(c.status);
        ui.settle();
        const QQuickItem* pill = ui.item("statusPill");
        const QRectF pillRect = pill->mapRectToScene(QRectF(0, 0, pill->width(), pill->height()));
        EXPECT_TRUE(window.contains(pillRect)) << c.name.toStdString();
        EXPECT_EQ(ui.isShown("revertButton"), c.revert) << c.name.toStdString();
        if (c.revert) {
            const QQuickItem* revert = ui.item("revertButton");
            const QRectF revertRect = revert->mapRectToScene(QRectF(0, 0, revert->width(), revert->height()));
            EXPECT_TRUE(pillRect.contains(revertRect)) << c.name.toStdString();
            EXPECT_GE(revert->width(), revert->implicitWidth()) << c.name.toStdString();
        }
        // The text gives way where the row has no room for all of it.
        const auto* text = ui.item("statusMessage");
        if (c.name.endsWith("long")) {
            EXPECT_TRUE(text->property("truncated").toBool()) << c.name.toStdString();
        }
        ui.screenshots("PopoverView-status-" + c.name);
        // Hovering the text shows all of it, only where it was cut.
        const QString whole = model.statusMessage().value_or(QString());
        ui.hover("statusMessage");
        EXPECT_EQ(shownToolTip() == whole, text->property("truncated").toBool()) << c.name.toStdString();
        if (text->property("truncated").toBool()) {
            expectToolTipFitsAndReads(c.name.toStdString());
            ui.screenshots("PopoverView-status-" + c.name + "-hovered");
        }
        ui.leave();
    }
    // Revert still works from a cut line with its tooltip shown.
    ui.hover("statusMessage");
    model.handleRestoreStatusNotification(cases[1].status);
    ui.settle();
    ui.hover("statusMessage");
    ASSERT_FALSE(shownToolTip().isEmpty());
    ui.screenshots("PopoverView-status-partial-long-hovered");
    ui.click("revertButton");
    // The state it names is not held here: the revert ran, and failed.
    EXPECT_EQ(model.statusMessage(), StatusTexts::revertFailed);
}

// A name with directional marks reorders nothing around it: in its row, and in the status line
// among the other names.
TEST_F(PopoverViewTest, NamesWithDirectionalMarksAreShownIsolated) {
    const QString spoof = QStringLiteral("\u202Egnp.exe");
    const QString fsi = QStringLiteral("\u2068");
    const QString pdi = QStringLiteral("\u2069");
    ASSERT_TRUE(store.save(sample(spoof)));
    show();
    EXPECT_EQ(ui.text("workspaceName"), fsi + spoof + pdi);
    RestoreReport partial;
    partial.status = RestoreStatus::partiallyRestored;
    partial.appResults = {{"org.example.a", spoof, RestoreStatus::failed, "Not installed", {}},
                          {"org.example.b", "Notes", RestoreStatus::failed, "Not installed", {}}};
    model.handleRestoreStatusNotification(WorkspaceRestoreStatus::result(partial, QString("revert-1")));
    ui.settle();
    EXPECT_EQ(ui.text("statusMessage"),
              QStringLiteral("Partially restored \u2014 failed: ") + fsi + spoof + pdi + ", Notes");
    EXPECT_TRUE(ui.isShown("revertButton"));
    ui.screenshots("PopoverView-directional-marks");
}

TEST_F(PopoverViewTest, EscapeClosesTheSortMenuThenAsksToCloseTheWindow) {
    addWorkspaces(1);
    JsonSettingsFormat::userSettings()->setValue(AppRootModel::onboardingCompleteKey, true);
    AppRootModel root;
    ui.show("AppRootView",
            {{"appRoot", QVariant::fromValue(&root)}, {"popover", QVariant::fromValue(&model)}}, 450);
    QSignalSpy closing(&model, &PopoverModel::closeRequested);
    model.toggleSortPopover();
    ui.settle();
    ASSERT_TRUE(ui.isShown("sortOption"));
    ui.pressKey(Qt::Key_Escape);
    EXPECT_FALSE(model.showSortPopover());
    EXPECT_EQ(closing.size(), 0);
    ui.pressKey(Qt::Key_Escape);
    EXPECT_EQ(closing.size(), 1);
}

TEST_F(PopoverViewTest, RootShowsOnboardingUntilItIsComplete) {
    JsonSettingsFormat::userSettings()->remove(AppRootModel::onboardingCompleteKey);
    AppRootModel root;
    ui.show("AppRootView",
            {{"appRoot", QVariant::fromValue(&root)}, {"popover", QVariant::fromValue(&model)}}, 450);
    EXPECT_TRUE(ui.isShown("onboardingView"));
    EXPECT_FALSE(ui.isShown("popoverView"));
    root.finishOnboarding();
    ui.settle();
    EXPECT_TRUE(ui.isShown("popoverView"));
    EXPECT_FALSE(ui.has("onboardingView"));
    EXPECT_TRUE(AppRootModel().isOnboardingComplete());
}

} // namespace

namespace {

TEST_F(PopoverViewTest, PreviewReplacesTheListUntilBack) {
    addWorkspaces(3);
    show();
    ui.click(ui.items("previewButton").first());
    EXPECT_EQ(model.screen(), "preview");
    EXPECT_TRUE(ui.isShown("previewSlot"));
    EXPECT_FALSE(ui.isShown("mainContent"));
    EXPECT_EQ(height(), 600);
    ui.screenshots("PopoverView-preview");
    model.preview()->close();
    ui.settle();
    EXPECT_TRUE(ui.isShown("mainContent"));
}

} // namespace
