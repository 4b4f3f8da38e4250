#include "ViewModels/WorkspaceListRules.h"
#include "Support/QtPrinters.h"
#include "Support/WorkspaceSamples.h"
#include "ViewModels/StatusStyle.h"
#include "ViewModels/StatusTexts.h"
#include "ViewModels/WorkspaceSortOption.h"

#include <gtest/gtest.h>

namespace {

QStringList names(const QList<Workspace>& list) {
    QStringList result;
    for (const Workspace& w : list) {
        result << w.name;
    }
    return result;
}

// Three workspaces in store order (newest change first), created in another order.
QList<Workspace> stored() {
    Workspace a = WorkspaceSamples::plain("Desk 10", WorkspaceSamples::date(300));
    a.createdAt = WorkspaceSamples::date(10);
    Workspace b = WorkspaceSamples::plain("desk 2", WorkspaceSamples::date(200));
    b.createdAt = WorkspaceSamples::date(30);
    Workspace c = WorkspaceSamples::plain("Admin", WorkspaceSamples::date(200));
    c.createdAt = WorkspaceSamples::date(30);
    return {a, b, c};
}

TEST(WorkspaceListRules, EachSortOptionOrdersTheList) {
    struct Case {
        QString stored;
        QStringList order;
    };
    const QList<Case> cases{
        // Numbers by value, letter case aside.
        {"Name", {"Admin", "desk 2", "Desk 10"}},
        // Equal dates keep the store's order.
        {"Date Created", {"desk 2", "Admin", "Desk 10"}},
        {"Last Modified", {"Desk 10", "desk 2", "Admin"}},
        // The setting's default and any other text mean "Last Modified".
        {"updatedAt", {"Desk 10", "desk 2", "Admin"}},
        {"name", {"Desk 10", "desk 2", "Admin"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(names(WorkspaceListRules::filteredWorkspaces(stored(), c.stored, QString())), c.order)
            << c.stored.toStdString();
    }
}

TEST(WorkspaceListRules, SortOptionsReadFromTheirStoredText) {
    EXPECT_EQ(WorkspaceSortOptions::fromStored("Name"), WorkspaceSortOption::name);
    EXPECT_EQ(WorkspaceSortOptions::fromStored("Date Created"), WorkspaceSortOption::createdAt);
    EXPECT_EQ(WorkspaceSortOptions::fromStored("Last Modified"), WorkspaceSortOption::updatedAt);
    EXPECT_EQ(WorkspaceSortOptions::fromStored("date created"), WorkspaceSortOption::updatedAt);
    EXPECT_EQ(WorkspaceSortOptions::fromStored(QString()), WorkspaceSortOption::updatedAt);
    EXPECT_EQ(WorkspaceSortOptions::fromRawValue("updatedAt"), std::nullopt);
}

TEST(WorkspaceListRules, SearchLooksAtNamesAppsWindowTitlesAndTabs) {
    Workspace w = WorkspaceSamples::plain("Research", WorkspaceSamples::date(0));
    TabSnapshot tab{QUuid::createUuid(), "https://tracker.example.org/issues?q=42", QString("Issue list"),
                    true};
    WindowSnapshot window{};
    window.id = QUuid::createUuid();
    window.windowTitle = QString("Quarterly Report.odt");
    window.tabSnapshots = {tab};
    w.appSnapshots = {{QUuid::createUuid(), "org.example.browser", "web browser", {window}, false}};
    const QList<Workspace> list{w, WorkspaceSamples::plain("Other", WorkspaceSamples::date(0))};
    struct Case {
        QString search;
        QStringList found;
    };
    const QList<Case> cases{
        {"", {"Other", "Research"}},
        {"RESEARCH", {"Research"}},
        {"Web Browser", {"Research"}},
        {"quarterly report", {"Research"}},
        {"issue LIST", {"Research"}},
        {"q=42", {"Research"}},
        {"nowhere", {}},
        // A blank is a real search, not trimmed away.
        {" ", {"Research"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(names(WorkspaceListRules::filteredWorkspaces(list, "Name", c.search)), c.found)
            << c.search.toStdString();
    }
}

TEST(WorkspaceListRules, WindowHeightFollowsTheList) {
    struct Case {
        bool panelOpen;
        qsizetype stored;
        qsizetype listed;
        double height;
    };
    const QList<Case> cases{
        {false, 0, 0, 280},
        {true, 0, 0, 600},
        {false, 1, 1, 600},
        {false, 6, 6, 600},
        {false, 7, 7, 655},
        {false, 12, 12, 980},
        {false, 13, 13, 1000},
        {false, 200, 200, 1000},
        // A search that matches nothing in a full store keeps the list window's height.
        {false, 200, 0, 600},
        {true, 200, 200, 600},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WorkspaceListRules::dynamicPopoverHeight(c.panelOpen, c.stored, c.listed), c.height)
            << c.stored << " stored, " << c.listed << " listed";
    }
}

TEST(StatusStyle, EveryStatusTextHasItsColourSymbolAndRevertRule) {
    const QString done = "checkmark.circle.fill";
    const QString problem = "exclamationmark.circle.fill";
    const QString progress = "arrow.triangle.2.circlepath";
    struct Case {
        std::optional<QString> message;
        StatusStyle style;
    };
    const QList<Case> cases{
        {std::nullopt, {"secondary", "", false}},
        {StatusTexts::saved, {"green", done, false}},
        {StatusTexts::restored, {"green", done, true}},
        {StatusTexts::updated, {"green", done, true}},
        {StatusTexts::reverted, {"green", done, false}},
        {StatusTexts::nothingToRevert, {"green", done, false}},
        {StatusTexts::captureFailed, {"red", problem, false}},
        {StatusTexts::writeFailed, {"red", problem, false}},
        {StatusTexts::deleteFailed, {"red", problem, false}},
        {StatusTexts::restoreFailed, {"red", problem, false}},
        {StatusTexts::revertFailed, {"red", problem, false}},
        {QString("Partially restored (failed: Mail)"), {"orange", "exclamationmark.triangle.fill", true}},
        {QString("Display not connected: Studio | Partially restored"),
         {"orange", "exclamationmark.triangle.fill", true}},
        {StatusTexts::cancelled, {"orange", "xmark.circle.fill", false}},
        {StatusTexts::reverting, {"purple", "arrow.uturn.backward.circle.fill", false}},
        {StatusTexts::saving, {"blue", progress, false}},
        {StatusTexts::updating, {"blue", progress, false}},
        {StatusTexts::restoring, {"blue", progress, false}},
        // A partial restore whose summary names only missing displays, and a failure's reason.
        {QString("Display not connected: Studio"), {"blue", progress, false}},
        {QString("Mail could not be launched"), {"blue", progress, false}},
        // Case-sensitive.
        {QString("partially restored"), {"blue", progress, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusStyle::forMessage(c.message), c.style) << c.message.value_or("none").toStdString();
    }
}

} // namespace
