#include "ViewModels/AppSelectionRowModel.h"
#include "ViewModels/BrowserSelectionRowModel.h"
#include "ViewModels/TabCellModel.h"
#include "ViewModels/WindowCellModel.h"
#include "ViewModels/WorkspacePreviewViewModel.h"

#include "Support/ScriptedDesktop.h"
#include "Support/SnapshotBuilders.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

using namespace Snapshots;

namespace {

const QString chrome = "com.google.Chrome";
const QString editor = "org.example.Editor";
const QString spotify = "com.spotify.client";

// A capture of the given applications in a preview model, with a rows made for each.
class SelectionRowModelTest : public SimulatedDesktopFixture {
protected:
    void capture(const QList<AppSnapshot>& apps) {
        preview = std::make_unique<WorkspacePreviewViewModel>(fixed(workspace(apps)));
        ASSERT_TRUE(clock().runUntilDone(preview->capture()));
    }
    template <typename Row> Row* row(int index, PreviewBadge::Kind badge = PreviewBadge::Kind::None) {
        const AppSnapshot& app = preview->capturedWorkspace()->appSnapshots[index];
        if constexpr (std::is_same_v<Row, BrowserSelectionRowModel>) {
            return new Row(preview.get(), app, badge, preview.get());
        } else {
            return new Row(preview.get(), app, badge, 5, preview.get());
        }
    }
    template <typename Cell> static QList<Cell*> cells(const SelectionRowModel& row) {
        QList<Cell*> list;
        for (QObject* cell : row.cells()) {
            list << qobject_cast<Cell*>(cell);
        }
        return list;
    }
    const AppSnapshot& captured(int index) const { return preview->capturedWorkspace()->appSnapshots[index]; }

    std::unique_ptr<WorkspacePreviewViewModel> preview;
};

QList<WindowSnapshot> documents(int n) {
    QList<WindowSnapshot> windows;
    for (int i = 1; i <= n; ++i) {
        windows << window(QString("Window %1").arg(i), QString("file:///home/demo/doc%1.txt").arg(i));
    }
    return windows;
}

} // namespace

TEST_F(SelectionRowModelTest, DocumentApplicationSwitchesBetweenFilesAndAppOnly) {
    const qint32 pid = addApp(editor, {QRectF(0, 0, 800, 600)});
    capture({app(editor, documents(7))});
    auto* row = this->row<AppSelectionRowModel>(0, PreviewBadge::Kind::Saved);
    EXPECT_FALSE(row->isBrowser());
    EXPECT_EQ(row->badge(), PreviewBadge::Kind::Saved);
    EXPECT_TRUE(row->showsModeSelector());
    EXPECT_TRUE(row->showsWindowCount());
    EXPECT_EQ(row->windowCountText(), "7 windows");
    EXPECT_TRUE(row->restoreFilesMode());
    QList<WindowCellModel*> cards = cells<WindowCellModel>(*row);
    ASSERT_EQ(cards.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(cards[i]->isDocument());
        EXPECT_EQ(cards[i]->pid(), pid);
        EXPECT_EQ(cards[i]->windowIndex(), i);
    }
    EXPECT_EQ(cards[2]->label(), "doc3.txt");

    // Choosing the side already chosen does not reach the model.
    int modes = 0;
    QObject::connect(preview.get(), &WorkspacePreviewViewModel::appOnlyModeIDsChanged, [&modes] { ++modes; });
    row->chooseFiles();
    EXPECT_EQ(modes, 0);
    row->chooseAppOnly();
    EXPECT_TRUE(preview->appOnlyModeIDs().contains(captured(0).id));
    EXPECT_FALSE(row->restoreFilesMode());
    cards = cells<WindowCellModel>(*row);
    ASSERT_EQ(cards.size(), 1);
    EXPECT_FALSE(cards[0]->isDocument());
    row->chooseAppOnly();
    EXPECT_EQ(modes, 1);
    row->chooseFiles();
    EXPECT_EQ(cells<WindowCellModel>(*row).size(), 5);
}

TEST_F(SelectionRowModelTest, TogglesReachThePreviewModel) {
    addApp(editor, {QRectF(0, 0, 800, 600)});
    capture({app(editor, documents(2))});
    auto* row = this->row<AppSelectionRowModel>(0);
    WindowCellModel* card = cells<WindowCellModel>(*row)[1];
    int cardChanged = 0;
    QObject::connect(card, &SelectionCellModel::selectionChanged, [&cardChanged] { ++cardChanged; });

    card->toggleIgnore();
    EXPECT_TRUE(preview->ignoredWindowIDs().contains(captured(0).windowSnapshots[1].id));
    EXPECT_TRUE(card->isIgnored());
    EXPECT_DOUBLE_EQ(card->cardOpacity(), 0.5);

    row->toggleIgnore();
    EXPECT_TRUE(preview->ignoredAppIDs().contains(captured(0).id));
    EXPECT_TRUE(row->isIgnored());
    EXPECT_DOUBLE_EQ(row->iconOpacity(), 0.5);
    EXPECT_FALSE(row->showsModeSelector());
    EXPECT_FALSE(row->showsStrip());
    EXPECT_DOUBLE_EQ(card->cardOpacity(), 0.4);
    EXPECT_FALSE(card->canToggle());
    card->toggleIgnore(); // the application is left out: nothing changes
    EXPECT_TRUE(preview->ignoredWindowIDs().contains(captured(0).windowSnapshots[1].id));
    EXPECT_EQ(cardChanged, 2);

    row->toggleIgnore();
    EXPECT_TRUE(row->showsStrip());
    EXPECT_TRUE(row->showsModeSelector());
    card->toggleIgnore();
    EXPECT_TRUE(preview->ignoredWindowIDs().isEmpty());
    EXPECT_DOUBLE_EQ(card->cardOpacity(), 1.0);
}

TEST_F(SelectionRowModelTest, PlainApplicationsShowOneWindowAndNeverTheModeChoice) {
    addApp(spotify, {QRectF(0, 0, 800, 600)});
    addApp("org.example.Terminal", {QRectF(0, 0, 800, 600), QRectF(0, 0, 700, 500)});
    WindowSnapshot untitled = window(std::nullopt, "::not a url::");
    capture({app(spotify, documents(3)), app("org.example.Terminal", {window("zsh"), window("top")}),
             app("org.example.Mail", {window("Inbox")}),
             app(editor, {untitled, window("Title", "http://[x")})});

    auto* excluded = row<AppSelectionRowModel>(0);
    EXPECT_TRUE(preview->appOnlyModeIDs().contains(captured(0).id));
    EXPECT_TRUE(excluded->isAppOnlyExcluded());
    EXPECT_FALSE(excluded->showsModeSelector());
    EXPECT_FALSE(excluded->showsWindowCount());
    preview->toggleRestoreFilesMode(captured(0).id); // even in Files mode: one picture
    EXPECT_EQ(cells<WindowCellModel>(*excluded).size(), 1);
    EXPECT_FALSE(cells<WindowCellModel>(*excluded)[0]->isDocument());

    auto* plain = row<AppSelectionRowModel>(1);
    EXPECT_FALSE(plain->showsModeSelector());
    EXPECT_FALSE(plain->showsWindowCount());
    EXPECT_EQ(cells<WindowCellModel>(*plain).size(), 1);

    auto* notRunning = row<AppSelectionRowModel>(2); // nothing to take pictures of
    EXPECT_TRUE(notRunning->cells().isEmpty());
    EXPECT_FALSE(notRunning->showsStrip());

    EXPECT_EQ(AppSelectionRowModel::fileName(captured(3).windowSnapshots[0]), std::nullopt);
    EXPECT_EQ(AppSelectionRowModel::fileName(captured(3).windowSnapshots[1]), "Title");
    EXPECT_EQ(AppSelectionRowModel::fileName(window("t", "file:///x/y/report.pdf")), "report.pdf");
}

TEST_F(SelectionRowModelTest, BrowserRowSummarisesAndTicksOffTabs) {
    const struct {
        QList<WindowSnapshot> windows;
        QString summary;
    } cases[] = {
        {{window("1", {}, {tab("https://a"), tab("https://b"), tab("https://c")})}, "3 tabs"},
        {{window("1", {}, {tab("https://a"), tab("https://b"), tab("https://c"), tab("https://d")}),
          window("2", {}, {tab("https://e"), tab("https://f"), tab("https://g")})},
         "7 tabs across 2 windows"},
        {{window("1"), window("2", {}, {tab("https://a")})}, "1 tab"},
    };
    for (const auto& c : cases) {
        capture({app(chrome, c.windows)});
        EXPECT_EQ(row<BrowserSelectionRowModel>(0)->summaryText(), c.summary);
    }

    WindowSnapshot back = window("2", {}, {tab("https://mail.example.org/inbox")});
    back.isMinimized = true;
    TabSnapshot untitled = tab("about:blank");
    untitled.title = std::nullopt;
    capture({app(chrome, {window("1", {}, {tab("https://example.org/a?b=c"), untitled}), back})});
    auto* browser = row<BrowserSelectionRowModel>(0, PreviewBadge::Kind::New);
    EXPECT_TRUE(browser->isBrowser());
    const QList<TabCellModel*> tabs = cells<TabCellModel>(*browser);
    ASSERT_EQ(tabs.size(), 3);
    EXPECT_EQ(tabs[0]->host(), "example.org");
    EXPECT_EQ(tabs[1]->host(), "");
    EXPECT_EQ(tabs[1]->label(), "Untitled");
    EXPECT_TRUE(tabs[1]->isUntitled());
    EXPECT_FALSE(tabs[0]->isMinimized());
    EXPECT_TRUE(tabs[2]->isMinimized());

    tabs[2]->toggleIgnore();
    EXPECT_TRUE(preview->ignoredTabIDs().contains(captured(0).windowSnapshots[1].tabSnapshots[0].id));
    browser->toggleIgnore(); // the strip stays, every card told its browser is left out
    EXPECT_TRUE(browser->showsStrip());
    EXPECT_TRUE(tabs[0]->isParentAppIgnored());
    EXPECT_TRUE(preview->filteredWorkspace("x")->appSnapshots.isEmpty());

    capture({app(chrome, {window("no tabs")})});
    EXPECT_FALSE(row<BrowserSelectionRowModel>(0)->hasTabs());
    EXPECT_FALSE(row<BrowserSelectionRowModel>(0)->showsStrip());
}
